#include "comm/SerialDeviceScan.h"

#include "comm/PortDiscoveryError.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

namespace fs = std::filesystem;

namespace
{
std::string ReadText(const fs::path& file)
{
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The first line of a sysfs attribute without surrounding white space.
std::string ReadAttribute(const fs::path& file)
{
    std::string text = ReadText(file);
    text = text.substr(0, text.find('\n'));
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::string LinkName(const fs::path& link)
{
    std::error_code error;
    const fs::path target = fs::read_symlink(link, error);
    return error ? std::string() : target.filename().string();
}

std::string UeventValue(const fs::path& uevent, const std::string& key)
{
    std::istringstream lines(ReadText(uevent));
    for (std::string line; std::getline(lines, line);)
    {
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    }
    return {};
}

// Natural order: the text before the trailing digits, then the number they form.
bool NaturalLess(const std::string& a, const std::string& b)
{
    const auto split = [](const std::string& s)
    {
        const auto digits = s.find_last_not_of("0123456789") + 1;
        const std::string tail = s.substr(digits);
        return std::make_tuple(s.substr(0, digits), tail.size(), tail);
    };
    return split(a) < split(b);
}

// The nearest ancestor of the device folder that is a USB device (it carries idVendor), or empty.
fs::path UsbAncestor(const fs::path& deviceDir, const fs::path& sysRoot)
{
    std::error_code error;
    for (fs::path dir = deviceDir; !dir.empty() && dir != sysRoot && dir != dir.root_path();
         dir = dir.parent_path())
    {
        if (fs::exists(dir / "idVendor", error))
            return dir;
    }
    return {};
}

// Current device node -> by-id link, first link in name order winning.
std::map<std::string, std::string> ByIdLinks(const fs::path& devRoot)
{
    std::vector<fs::path> links;
    std::error_code error;
    for (fs::directory_iterator it(devRoot / "serial" / "by-id", error), end; !error && it != end;
         it.increment(error))
        links.push_back(it->path());
    std::sort(links.begin(), links.end());
    std::map<std::string, std::string> byTarget;
    for (const fs::path& link : links)
    {
        const fs::path target = fs::weakly_canonical(link, error);
        if (!error)
            byTarget.emplace(target.string(), link.string());
    }
    return byTarget;
}

std::string Description(const std::map<std::string, std::string>& udev, const fs::path& usbDir)
{
    const auto property = [&](const char* key)
    {
        const auto found = udev.find(key);
        return found == udev.end() ? std::string() : found->second;
    };
    if (std::string text = property("ID_MODEL_FROM_DATABASE"); !text.empty())
        return text;
    if (std::string text = DecodeUdevText(property("ID_MODEL_ENC")); !text.empty())
        return text.substr(0, text.find_last_not_of(' ') + 1);
    if (std::string text = property("ID_MODEL"); !text.empty())
    {
        std::replace(text.begin(), text.end(), '_', ' ');
        return text;
    }
    if (!usbDir.empty())
    {
        if (std::string text = ReadAttribute(usbDir / "product"); !text.empty())
            return text;
    }
    return "Serial Port";
}

std::string Location(const std::map<std::string, std::string>& udev, const fs::path& usbDir,
                     const fs::path& deviceDir)
{
    const auto bus = udev.find("ID_BUS");
    if (bus != udev.end() && !bus->second.empty())
        return bus->second;
    if (!usbDir.empty())
        return "usb";
    return LinkName(deviceDir / "subsystem");
}

// The serial core makes a port for every UART slot a driver could serve; the empty ones carry type 0
// (no UART found). Other tty drivers have no type at all.
bool IsEmptyUartSlot(const fs::path& classDir)
{
    return ReadAttribute(classDir / "type") == "0";
}

bool Describe(const fs::path& classDir, const SDeviceRoots& roots,
              const std::map<std::string, std::string>& byId, SSerialDevice& device)
{
    std::error_code error;
    const fs::path deviceDir = fs::canonical(classDir / "device", error);
    if (error || IsEmptyUartSlot(classDir))
        return false;
    device.name = classDir.filename().string();
    std::string nodeName = UeventValue(classDir / "uevent", "DEVNAME");
    device.devicePath = (fs::path(roots.devRoot) / (nodeName.empty() ? device.name : nodeName)).string();
    if (!fs::exists(device.devicePath, error))
        return false;

    const std::string number = ReadAttribute(classDir / "dev");
    const auto udev = number.empty()
                          ? std::map<std::string, std::string>()
                          : ParseUdevProperties(ReadText(fs::path(roots.udevDataRoot) / ("c" + number)));
    const fs::path usbDir = UsbAncestor(deviceDir, fs::canonical(roots.sysRoot, error));
    device.description = Description(udev, usbDir);
    device.location = Location(udev, usbDir, deviceDir);

    const auto link = byId.find(fs::weakly_canonical(device.devicePath, error).string());
    device.identity = link == byId.end() ? device.devicePath : link->second;
    return true;
}
} // namespace

std::vector<SSerialDevice> ScanSerialDevices(const SDeviceRoots& roots)
{
    const fs::path classRoot = fs::path(roots.sysRoot) / "class" / "tty";
    std::vector<fs::path> entries;
    std::error_code error;
    for (fs::directory_iterator it(classRoot, error), end; !error && it != end; it.increment(error))
        entries.push_back(it->path());
    if (error)
    {
        char text[64];
        std::snprintf(text, sizeof text, ". (err=%lx)", static_cast<unsigned long>(error.value()));
        throw CPortDiscoveryError("Could not read from " + classRoot.string() + text);
    }
    std::sort(entries.begin(), entries.end(),
              [](const fs::path& a, const fs::path& b)
              { return NaturalLess(a.filename().string(), b.filename().string()); });

    const auto byId = ByIdLinks(roots.devRoot);
    std::vector<SSerialDevice> devices;
    for (const fs::path& entry : entries)
    {
        SSerialDevice device;
        if (fs::exists(entry / "device", error) && Describe(entry, roots, byId, device))
            devices.push_back(std::move(device));
    }
    return devices;
}

std::map<std::string, std::string> ParseUdevProperties(const std::string& text)
{
    std::map<std::string, std::string> properties;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
    {
        const auto equals = line.find('=');
        if (line.rfind("E:", 0) == 0 && equals != std::string::npos)
            properties[line.substr(2, equals - 2)] = line.substr(equals + 1);
    }
    return properties;
}

std::string DecodeUdevText(const std::string& text)
{
    const auto hexValue = [](char c)
    {
        const std::string digits = "0123456789abcdef";
        const auto at = digits.find(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        return at == std::string::npos ? -1 : static_cast<int>(at);
    };
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const bool escape = text.compare(i, 2, "\\x") == 0 && i + 4 <= text.size() &&
                            hexValue(text[i + 2]) >= 0 && hexValue(text[i + 3]) >= 0;
        if (escape)
        {
            decoded.push_back(static_cast<char>(hexValue(text[i + 2]) * 16 + hexValue(text[i + 3])));
            i += 3;
        }
        else
            decoded.push_back(text[i]);
    }
    return decoded;
}

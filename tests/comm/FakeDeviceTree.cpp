#include "FakeDeviceTree.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace
{
void WriteFile(const fs::path& file, const std::string& text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}
} // namespace

FakeDeviceTree::FakeDeviceTree()
{
    std::string pattern = (fs::temp_directory_path() / "tamrix-devtree-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_root = pattern;
    fs::create_directories(m_root + "/sys/class/tty");
    fs::create_directories(m_root + "/dev");
    fs::create_directories(m_root + "/run/udev/data");
}

FakeDeviceTree::~FakeDeviceTree()
{
    std::error_code error;
    fs::remove_all(m_root, error);
}

SDeviceRoots FakeDeviceTree::Roots() const
{
    return SDeviceRoots{m_root + "/sys", m_root + "/dev", m_root + "/run/udev/data"};
}

void FakeDeviceTree::Plug(const Tty& tty)
{
    const fs::path sys = m_root + "/sys";
    fs::path deviceDir;
    if (!tty.usbProduct.empty())
    {
        const fs::path usbDevice = sys / "devices/pci0000:00/usb1" / ("1-" + std::to_string(++m_minor));
        WriteFile(usbDevice / "idVendor", "10c4\n");
        WriteFile(usbDevice / "product", tty.usbProduct + "\n");
        deviceDir = usbDevice / (usbDevice.filename().string() + ":1.0") / tty.name;
    }
    else
    {
        deviceDir = sys / "devices" / tty.subsystem / tty.name;
        fs::create_directories(sys / "bus" / tty.subsystem);
        fs::create_directories(deviceDir);
        std::error_code exists;
        fs::create_directory_symlink(sys / "bus" / tty.subsystem, deviceDir / "subsystem", exists);
    }
    fs::create_directories(deviceDir);

    const std::string number = "188:" + std::to_string(++m_minor);
    const fs::path classDir = sys / "class/tty" / tty.name;
    WriteFile(classDir / "dev", number + "\n");
    WriteFile(classDir / "uevent", "MAJOR=188\nDEVNAME=" + tty.name + "\n");
    if (!tty.uartType.empty())
        WriteFile(classDir / "type", tty.uartType + "\n");
    fs::create_directory_symlink(deviceDir, classDir / "device");
    WriteFile(NodePath(tty.name), "");
    if (!tty.byId.empty())
    {
        fs::create_directories(m_root + "/dev/serial/by-id");
        fs::create_symlink("../../" + tty.name, ByIdPath(tty.byId));
    }
    if (!tty.udevProperties.empty())
    {
        std::istringstream lines(tty.udevProperties);
        std::string text;
        for (std::string line; std::getline(lines, line);)
            text += "E:" + line + "\n";
        WriteFile(m_root + "/run/udev/data/c" + number, text);
    }
}

void FakeDeviceTree::Unplug(const std::string& name, const std::string& byId)
{
    fs::remove_all(m_root + "/sys/class/tty/" + name);
    fs::remove(NodePath(name));
    if (!byId.empty())
        fs::remove(ByIdPath(byId));
}

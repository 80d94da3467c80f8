#include "BridgeOptions.h"

#include "CliArgs.h"
#include "comm/PortDescriptor.h"
#include "diag/IniFile.h"
#include "instrument/session/InstrBase.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr int kMaxInstruments = 255;

bool IsDescriptor(const std::string& text)
{
    const auto parsed = PortDescriptor::Parse(text);
    return parsed && (parsed->kind == "COM" || parsed->kind == "TCP");
}

// Whitespace and a CR at either end go; a password may hold blanks inside.
std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The bridge's own files are small; a CA bundle may hold every public authority.
constexpr off_t kKiB = 1024;
constexpr off_t kMiB = kKiB * kKiB;
constexpr off_t kMaxFileBytes = 64 * kKiB;
constexpr off_t kMaxCaFileBytes = kMiB;

std::string SizeText(off_t bytes)
{
    return bytes >= kMiB ? std::to_string(bytes / kMiB) + " MiB" : std::to_string(bytes / kKiB) + " KiB";
}

// A FIFO would block the start and a device may never end: only a small regular file is taken.
bool CheckFile(const std::string& path, const std::string& what, off_t maxBytes, struct stat& info,
               std::string& error)
{
    if (stat(path.c_str(), &info) != 0)
        error = "cannot read the " + what + " " + path + ": " + std::strerror(errno);
    else if (S_ISDIR(info.st_mode))
        error = "the " + what + " " + path + " is a folder, not a file";
    else if (!S_ISREG(info.st_mode))
        error = "the " + what + " " + path + " is not a regular file";
    else if (info.st_size > maxBytes)
        error = "the " + what + " " + path + " is larger than " + SizeText(maxBytes);
    return error.empty();
}

bool ReadSmallFile(const std::string& path, const std::string& what, struct stat& info, std::string& text,
                   std::string& error)
{
    if (!CheckFile(path, what, kMaxFileBytes, info, error))
        return false;
    // Without blocking, and checked again once open: the name may have been switched meanwhile.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat opened
    {
    };
    if (fd < 0 || fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode))
    {
        error =
            "cannot read the " + what + " " + path + (fd < 0 ? std::string(": ") + std::strerror(errno) : "");
        if (fd >= 0)
            close(fd);
        return false;
    }
    text.clear();
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
    {
        text.append(buffer, static_cast<size_t>(std::max<ssize_t>(got, 0)));
        if (text.size() > static_cast<size_t>(kMaxFileBytes))
            break;
    }
    close(fd);
    if (got < 0)
        error = "cannot read the " + what + " " + path + ": " + std::strerror(errno);
    else if (text.size() > static_cast<size_t>(kMaxFileBytes))
        error = "the " + what + " " + path + " is larger than " + SizeText(kMaxFileBytes);
    return error.empty();
}

bool ReadCredentials(const std::string& path, SBridgeOptions& options, std::string& error)
{
    SBrokerOptions& broker = options.broker;
    struct stat info
    {
    };
    std::string text;
    if (!ReadSmallFile(path, "credentials file", info, text, error))
        return false;
    // As for a key of ssh: a password others may read is no secret.
    if (info.st_mode & (S_IRGRP | S_IROTH))
        options.warnings.push_back("the credentials file " + path +
                                   " is readable by others than its owner (chmod 600 it)");
    std::istringstream file(text);
    for (std::string line; std::getline(file, line);)
    {
        const std::string trimmed = Trim(line);
        const size_t equals = trimmed.find('=');
        if (trimmed.empty() || trimmed[0] == '#' || equals == std::string::npos)
            continue;
        const std::string key = Trim(trimmed.substr(0, equals));
        if (key == "username")
            broker.username = Trim(trimmed.substr(equals + 1));
        else if (key == "password")
            broker.password = Trim(trimmed.substr(equals + 1));
    }
    if (broker.username.empty())
    {
        error = "the credentials file " + path + " has no \"username=\" line";
        return false;
    }
    return true;
}

bool SetPort(const std::string& text, SBrokerOptions& broker, std::string& error)
{
    const auto port = ParseCliInt(text);
    if (!port || *port < 1 || *port > 65535)
    {
        error = "\"" + text + "\" is no TCP port (1 to 65535)";
        return false;
    }
    broker.port = *port;
    return true;
}

bool SetReconnectMax(const std::string& text, SBrokerOptions& broker, std::string& error)
{
    const auto seconds = ParseCliInt(text);
    if (!seconds || *seconds < broker.reconnectMinS || *seconds > 3600)
    {
        error = "\"" + text + "\" is no longest reconnection wait in seconds (" +
                std::to_string(broker.reconnectMinS) + " to 3600)";
        return false;
    }
    broker.reconnectMaxS = *seconds;
    return true;
}

bool SetMaxRate(const std::string& text, SBridgeOptions& options, std::string& error)
{
    const auto rate = ParseCliNumber(text);
    if (!rate || !(*rate > 0) || *rate > 1000)
    {
        error = "\"" + text + "\" is no rate in publications a second (above 0, up to 1000)";
        return false;
    }
    options.minInterval = std::chrono::milliseconds(std::lround(1000.0 / *rate));
    return true;
}

bool SetPeriod(const std::string& text, SBridgeOptions& options, std::string& error)
{
    const auto seconds = ParseCliNumber(text);
    if (!seconds || *seconds < 0 || *seconds > 86400)
    {
        error = "\"" + text + "\" is no period in seconds (0 to 86400)";
        return false;
    }
    options.period = std::chrono::milliseconds(std::lround(*seconds * 1000));
    return true;
}

bool SetPollPeriod(const std::string& text, SBridgeOptions& options, std::string& error)
{
    const auto seconds = ParseCliNumber(text);
    const double floor = CInstrBase::MinPollPeriodMs / 1000.0;
    if (!seconds || !(*seconds >= floor) || *seconds > 3600)
    {
        char bound[32];
        std::snprintf(bound, sizeof bound, "%g", floor);
        error = "\"" + text + "\" is no poll period in seconds (" + bound + " to 3600)";
        return false;
    }
    options.pollPeriod = std::chrono::milliseconds(std::lround(*seconds * 1000));
    return true;
}

// One named value, from the command line or the file.
bool Apply(const std::string& name, const std::string& value, SBridgeOptions& options, std::string& error)
{
    if (value.empty())
    {
        error = "--" + name + " needs a value";
        return false;
    }
    if (name == "host")
        options.broker.host = value;
    else if (name == "port")
        return SetPort(value, options.broker, error);
    else if (name == "client-id")
        options.broker.clientId = value;
    else if (name == "credentials")
        return ReadCredentials(value, options, error);
    else if (name == "cafile")
    {
        // Read by the MQTT library when it connects; checked here so that a bad one stops the start.
        struct stat info
        {
        };
        if (!CheckFile(value, "CA file", kMaxCaFileBytes, info, error))
            return false;
        options.broker.caFile = value;
    }
    else if (name == "reconnect-max")
        return SetReconnectMax(value, options.broker, error);
    else if (name == "period")
        return SetPeriod(value, options, error);
    else if (name == "max-rate")
        return SetMaxRate(value, options, error);
    else if (name == "poll-period")
        return SetPollPeriod(value, options, error);
    return true;
}

bool LoadConfig(const std::string& path, std::map<std::string, std::string>& values,
                std::vector<std::string>& instruments, bool& allowSet, std::string& error)
{
    struct stat info
    {
    };
    std::string text;
    if (!ReadSmallFile(path, "configuration file", info, text, error))
        return false;
    const CIniFile ini = CIniFile::Parse(text);
    for (const char* key : {"host", "port", "client-id", "credentials", "cafile", "reconnect-max"})
    {
        if (auto value = ini.Find("Broker", key))
            values[key] = Trim(*value);
    }
    for (const char* key : {"period", "max-rate", "poll-period"})
    {
        if (auto value = ini.Find("Bridge", key))
            values[key] = Trim(*value);
    }
    allowSet = Trim(ini.Get("Bridge", "allow-set")) == "1";
    for (int index = 1; index <= kMaxInstruments; ++index)
    {
        const std::string descriptor = Trim(ini.Get("Instruments", "Instrument" + std::to_string(index)));
        if (!descriptor.empty())
            instruments.push_back(descriptor);
    }
    return true;
}

const std::vector<std::string>& ValueOptions()
{
    static const std::vector<std::string> names{"config",      "host",       "port",   "client-id",
                                                "credentials", "cafile",     "period", "reconnect-max",
                                                "max-rate",    "poll-period"};
    return names;
}
} // namespace

bool SBridgeOptions::Parse(const std::vector<std::string>& args, SBridgeOptions& options, std::string& error)
{
    std::map<std::string, std::string> given;
    std::vector<std::string> descriptors;
    bool allowSet = false;
    for (size_t index = 0; index < args.size(); ++index)
    {
        const std::string& word = args[index];
        if (word == "--help" || word == "-h")
        {
            options.help = true;
            return true;
        }
        if (word == "--allow-set")
        {
            allowSet = true;
            continue;
        }
        if (word.rfind("--", 0) != 0)
        {
            descriptors.push_back(word);
            continue;
        }
        const size_t equals = word.find('=');
        const std::string name = word.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        if (name == "password" || name == "username")
        {
            error = "--" + name +
                    ": credentials are read from a file (--credentials FILE), never from the "
                    "command line";
            return false;
        }
        if (std::find(ValueOptions().begin(), ValueOptions().end(), name) == ValueOptions().end())
        {
            error = "unknown option \"--" + name + "\"";
            return false;
        }
        if (equals != std::string::npos)
            given[name] = word.substr(equals + 1);
        else if (index + 1 < args.size())
            given[name] = args[++index];
        else
        {
            error = "--" + name + " needs a value";
            return false;
        }
    }

    std::map<std::string, std::string> values;
    if (given.count("config") &&
        !LoadConfig(given["config"], values, options.instruments, options.allowSet, error))
        return false;
    for (const auto& [name, value] : given)
    {
        if (name != "config")
            values[name] = value;
    }
    options.allowSet = options.allowSet || allowSet;
    for (const auto& [name, value] : values)
    {
        if (!Apply(name, value, options, error))
            return false;
    }
    options.instruments.insert(options.instruments.end(), descriptors.begin(), descriptors.end());
    for (const std::string& descriptor : options.instruments)
    {
        if (!IsDescriptor(descriptor))
        {
            error =
                "\"" + descriptor + "\" is not a port descriptor (COM:<port>:<baud> or TCP:<host>:<port>)";
            return false;
        }
    }
    if (options.instruments.empty())
    {
        error = "no instrument given (a DESCRIPTOR, or [Instruments] in --config FILE)";
        return false;
    }
    return true;
}

std::string SBridgeOptions::Usage()
{
    return "usage: tamrix-bridge [DESCRIPTOR...] [--config FILE] [--host HOST] [--port N] [--client-id ID]\n"
           "                     [--credentials FILE] [--cafile FILE] [--reconnect-max S] [--period S]\n"
           "                     [--max-rate N] [--poll-period S] [--allow-set]\n"
           "\n"
           "Polls the instruments and publishes them to an MQTT broker as Homie 5 devices\n"
           "(homie/5/<model>-<serial>/...). DESCRIPTOR is \"COM:<port>:<baud>\" or \"TCP:<host>:<port>\".\n"
           "A serial instrument that is unplugged comes back under whatever port it reappears on.\n"
           "\n"
           "options:\n"
           "  --config FILE       INI file: [Broker] host, port, client-id, credentials, cafile,\n"
           "                      reconnect-max; [Bridge] period, max-rate, poll-period,\n"
           "                      allow-set;\n"
           "                      [Instruments] Instrument1=DESCRIPTOR, ...\n"
           "  --host HOST         the broker (default localhost)\n"
           "  --port N            its port (default 1883)\n"
           "  --client-id ID      prefix of the client ids (default tamrix-bridge-<host name>)\n"
           "  --credentials FILE  \"username=\" and \"password=\" lines (at most 64 KiB; a warning\n"
           "                      when others than its owner may read it)\n"
           "  --cafile FILE       connect with TLS, checking the broker against this CA certificate\n"
           "  --reconnect-max S   the longest wait between attempts to reach the broker; the wait\n"
           "                      starts at 1 s and doubles while it fails (default 60)\n"
           "  --period S          republish unchanged values every S seconds (default 1; 0: never)\n"
           "  --max-rate N        publish a changing value at most N times a second (default 4)\n"
           "  --poll-period S     ask each instrument for its readings every S seconds (default 0.1,\n"
           "                      at least 0.01)\n"
           "  --allow-set         take set points, modes and outputs from \".../set\" topics\n";
}

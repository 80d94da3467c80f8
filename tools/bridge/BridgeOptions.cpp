#include "BridgeOptions.h"

#include "CliArgs.h"
#include "comm/PortDescriptor.h"
#include "diag/IniFile.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>

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

bool ReadCredentials(const std::string& path, SBrokerOptions& broker, std::string& error)
{
    std::ifstream file(path);
    if (!file)
    {
        error = "cannot read the credentials file " + path;
        return false;
    }
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
        return ReadCredentials(value, options.broker, error);
    else if (name == "cafile")
    {
        if (!std::ifstream(value))
        {
            error = "cannot read the CA file " + value;
            return false;
        }
        options.broker.caFile = value;
    }
    else if (name == "period")
        return SetPeriod(value, options, error);
    return true;
}

bool LoadConfig(const std::string& path, std::map<std::string, std::string>& values,
                std::vector<std::string>& instruments, bool& allowSet, std::string& error)
{
    std::ifstream probe(path);
    CIniFile ini;
    if (!probe || !ini.Load(path))
    {
        error = "cannot read the configuration file " + path;
        return false;
    }
    for (const char* key : {"host", "port", "client-id", "credentials", "cafile"})
    {
        if (auto value = ini.Find("Broker", key))
            values[key] = Trim(*value);
    }
    if (auto period = ini.Find("Bridge", "period"))
        values["period"] = Trim(*period);
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
    static const std::vector<std::string> names{"config",      "host",   "port",  "client-id",
                                                "credentials", "cafile", "period"};
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
           "                     [--credentials FILE] [--cafile FILE] [--period S] [--allow-set]\n"
           "\n"
           "Polls the instruments and publishes them to an MQTT broker as Homie 5 devices\n"
           "(homie/5/<model>-<serial>/...). DESCRIPTOR is \"COM:<port>:<baud>\" or \"TCP:<host>:<port>\".\n"
           "A serial instrument that is unplugged comes back under whatever port it reappears on.\n"
           "\n"
           "options:\n"
           "  --config FILE       INI file: [Broker] host, port, client-id, credentials, cafile;\n"
           "                      [Bridge] period, allow-set; [Instruments] Instrument1=DESCRIPTOR, ...\n"
           "  --host HOST         the broker (default localhost)\n"
           "  --port N            its port (default 1883)\n"
           "  --client-id ID      prefix of the client ids (default tamrix-bridge-<host name>)\n"
           "  --credentials FILE  \"username=\" and \"password=\" lines\n"
           "  --cafile FILE       connect with TLS, checking the broker against this CA certificate\n"
           "  --period S          republish unchanged values every S seconds (default 1; 0: never)\n"
           "  --allow-set         take set points, modes and outputs from \".../set\" topics\n";
}

#include "SimOptions.h"

#include "SimText.h"

#include <cmath>

namespace
{
// The next argument as the value of `option`, or a message.
bool TakeValue(const std::vector<std::string>& args, size_t& i, const std::string& option, std::string& value,
               std::string& error)
{
    if (i + 1 >= args.size())
    {
        error = "option " + option + " needs a value";
        return false;
    }
    value = args[++i];
    return true;
}

// An optional value: taken when the next argument is not another option.
bool TakeOptional(const std::vector<std::string>& args, size_t& i, std::string& value)
{
    if (i + 1 < args.size() && args[i + 1].rfind('-', 0) != 0)
    {
        value = args[++i];
        return true;
    }
    return false;
}

bool IntValue(const std::string& option, const std::string& text, long long low, long long high, int& out,
              std::string& error)
{
    const auto value = simtext::ToInt(text);
    if (!value || *value < low || *value > high)
    {
        error = "option " + option + " needs a whole number from " + std::to_string(low) + " to " +
                std::to_string(high) + ", not \"" + text + "\"";
        return false;
    }
    out = static_cast<int>(*value);
    return true;
}

// "TEC:1,3" -> ("TEC", 0b101).
bool FittedValue(const std::string& text, std::pair<std::string, unsigned>& out, std::string& error)
{
    const size_t colon = text.find(':');
    const std::string family = simtext::Upper(text.substr(0, colon));
    error =
        "option --fitted needs FAMILY:LIST such as TEC:1,3 (families TEC, LAS, LPS; channels 1-8), not \"" +
        text + "\"";
    if (colon == std::string::npos || (family != "TEC" && family != "LAS" && family != "LPS"))
        return false;
    unsigned mask = 0;
    for (std::string_view field : simtext::SplitArgs(std::string_view(text).substr(colon + 1)))
    {
        const auto number = simtext::ToInt(field);
        if (!number || *number < 1 || *number > 8)
            return false;
        mask |= 1u << (*number - 1);
    }
    out = {family, mask};
    error.clear();
    return true;
}

bool ParseOne(const std::vector<std::string>& args, size_t& i, SSimOptions& o, std::string& error)
{
    std::string arg = args[i];
    std::string inlineValue;
    const size_t equals = arg.find('=');
    const bool hasInline = arg.rfind("--", 0) == 0 && equals != std::string::npos;
    if (hasInline)
    {
        inlineValue = arg.substr(equals + 1);
        arg.resize(equals);
    }
    std::string value = inlineValue;
    const auto need = [&]() { return hasInline || TakeValue(args, i, arg, value, error); };
    const auto optional = [&]() { return hasInline || TakeOptional(args, i, value); };
    const auto flag = [&](bool& target)
    {
        if (hasInline)
        {
            error = "option " + arg + " takes no value";
            return false;
        }
        target = true;
        return true;
    };

    if (arg == "--help" || arg == "-h")
        return flag(o.help);
    if (arg == "--list-models")
        return flag(o.listModels);
    if (arg == "--model")
        return need() && (o.model = value, true);
    if (arg == "--pty")
    {
        o.pty = true;
        if (optional())
            o.ptyLink = value;
        return true;
    }
    if (arg == "--tcp")
    {
        o.tcp = true;
        return !optional() || IntValue(arg, value, 0, 65535, o.tcpPort, error);
    }
    if (arg == "--bind")
        return need() && (o.bind = value, true);
    if (arg == "--baud")
    {
        if (!need())
            return false;
        if (value != "38400" && value != "9600")
        {
            error = "option --baud takes 38400 or 9600, not \"" + value + "\"";
            return false;
        }
        o.baud = std::stoi(value);
        return true;
    }
    if (arg == "--serial")
        return need() && (o.serial = value, true);
    if (arg == "--time-scale")
    {
        if (!need())
            return false;
        const auto scale = simtext::ToDouble(value);
        if (!scale || *scale <= 0.0 || *scale > 1e6)
        {
            error = "option --time-scale needs a number above 0 (at most 1000000), not \"" + value + "\"";
            return false;
        }
        o.timeScale = *scale;
        return true;
    }
    if (arg == "--wire-timing")
        return flag(o.wireTiming);
    if (arg == "--echo")
        return flag(o.echo);
    if (arg == "--silent")
        return flag(o.silent);
    if (arg == "--truncate")
        return flag(o.truncate);
    if (arg == "--garble")
        return flag(o.garble);
    if (arg == "--wrong-channel")
        return flag(o.wrongChannel);
    if (arg == "--drop-every")
        return need() && IntValue(arg, value, 1, 1000000, o.dropEvery, error);
    if (arg == "--delay")
        return need() && IntValue(arg, value, 0, 600000, o.delayMs, error);
    if (arg == "--error")
    {
        int number = 0;
        if (!need() || !IntValue(arg, value, 1, 999, number, error))
            return false;
        o.errors.push_back(number);
        return true;
    }
    if (arg == "--sensor-open" || arg == "--sensor-short")
    {
        int channel = 0;
        if (!need() || !IntValue(arg, value, 1, 8, channel, error))
            return false;
        (arg == "--sensor-open" ? o.sensorOpen : o.sensorShort).push_back(channel);
        return true;
    }
    if (arg == "--unplug-after")
        return need() && IntValue(arg, value, 1, 86400, o.unplugAfterS, error);
    if (arg == "--fitted")
    {
        std::pair<std::string, unsigned> fitted;
        if (!need() || !FittedValue(value, fitted, error))
            return false;
        o.fitted.push_back(fitted);
        return true;
    }
    error = "unknown option \"" + args[i] + "\" (see --help)";
    return false;
}
} // namespace

bool ParseSimOptions(const std::vector<std::string>& args, SSimOptions& options, std::string& error)
{
    options = SSimOptions{};
    for (size_t i = 0; i < args.size(); ++i)
    {
        if (!ParseOne(args, i, options, error))
            return false;
    }
    if (!options.pty && !options.tcp)
        options.pty = options.tcp = true;
    return true;
}

std::string SimUsage()
{
    return "Usage: tamrix-sim [options]\n"
           "Simulates one instrument on a pseudo-terminal and/or a TCP port until interrupted.\n"
           "Without --pty and --tcp it opens both (TCP on port 10001).\n"
           "\n"
           "  --help                this text\n"
           "  --list-models         list the models and their identification, then exit\n"
           "  --model NAME          model to simulate (default K760)\n"
           "  --pty [LINK]          open a pseudo-terminal; with LINK, keep a symlink to it there\n"
           "  --tcp [PORT]          listen on TCP (default port 10001; 0 picks a free port)\n"
           "  --bind ADDR           address to listen on (default 127.0.0.1)\n"
           "  --baud N              the unit's own baud rate, 38400 (default) or 9600; on the\n"
           "                        pseudo-terminal the unit hears nothing at any other rate\n"
           "  --serial SN           serial number to report\n"
           "  --time-scale X        run the physics X times faster than real time (default 1)\n"
           "  --wire-timing         pace bytes at the baud rate (10 bits per byte), both ways\n"
           "  --echo                start with terminal echo on (as after TERMINAL ON)\n"
           "  --fitted FAMILY:LIST  channels fitted in a multi-channel unit, e.g. TEC:1,3 or LAS:2\n"
           "Faults:\n"
           "  --silent              hear and answer nothing\n"
           "  --drop-every N        drop every Nth reply line\n"
           "  --truncate            replies lose their last field\n"
           "  --garble              one byte of every reply is corrupted\n"
           "  --wrong-channel       channel queries answer another channel's number\n"
           "  --delay MS            extra delay before every reply [ms]\n"
           "  --error N             queue instrument error N at start (repeatable)\n"
           "  --sensor-open N       the sensor of TEC channel N reads open (repeatable)\n"
           "  --sensor-short N      the sensor of TEC channel N reads shorted (repeatable)\n"
           "  --unplug-after S      after S seconds close the pseudo-terminal and drop the TCP client,\n"
           "                        as an unplugged cable would\n";
}

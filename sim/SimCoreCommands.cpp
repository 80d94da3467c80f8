#include "SimCoreCommands.h"

#include "SimCommandRegistry.h"
#include "SimText.h"

#include <charconv>
#include <cstring>

namespace
{
using simtext::SplitArgs;
using simtext::ToInt;

constexpr int kUnknownCommand = 123;
constexpr int kBadParameter = 124;
constexpr int kWrongCount = 126;
constexpr int kOutOfRange = 201;
constexpr int kMessageTooLong = 102;
constexpr size_t kMessageLength = 32; // front-panel message [characters]
constexpr int kMaxRawChunk = 64;      // [bytes] per "!!READ"

std::string VersionText(const SSimModel& model)
{
    return "v" + std::to_string(model.versionMajor) + "." + std::to_string(model.versionMinor) + "." +
           std::to_string(model.versionRevision);
}

std::string Hex(const std::vector<uint8_t>& bytes)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : bytes)
    {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xF];
    }
    return text;
}

bool FromHex(std::string_view text, std::vector<uint8_t>& bytes)
{
    if (text.size() % 2 != 0)
        return false;
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 2)
    {
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
        if (ec != std::errc() || end != text.data() + i + 2)
            return false;
        bytes.push_back(static_cast<uint8_t>(value));
    }
    return true;
}

// "TEC:USER:" for 0x47xxxx, "LAS:FACT:" for 0x38xxxx, "USER:" for 0x27xxxx: the command prefix that
// keyed access to the key must carry.
std::string KeyPrefix(uint32_t key)
{
    const uint32_t family = (key >> 20) & 0xFF;
    const uint32_t area = (key >> 16) & 0xF;
    std::string prefix = family == 3 ? "LAS:" : family == 4 ? "TEC:" : "";
    prefix += area == 7 ? "USER:" : area == 8 ? "FACT:" : "";
    return prefix;
}

std::string FloatText(double value)
{
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(value));
    return ec == std::errc() ? std::string(buffer, end) : "0";
}

// Looks up the key of a keyed request and checks that it was sent under its own prefix (the bare
// form without prefix reaches every key).
const SSimKeyDef* KeyedTarget(CSimUnit& unit, const std::string& prefix, std::string_view keyText, int& error)
{
    error = 0;
    if (unit.Model().bagKind != ESimBagKind::Keyed)
        error = kUnknownCommand;
    const std::optional<long long> key = ToInt(keyText);
    const SSimKeyDef* def = key && *key >= 0 ? unit.Memory().Find(static_cast<uint32_t>(*key)) : nullptr;
    if (!error && (!def || (!prefix.empty() && KeyPrefix(def->key) != prefix)))
        error = kBadParameter;
    return error ? nullptr : def;
}

SSimResult KeyedGet(CSimUnit& unit, const std::string& prefix, std::string_view args)
{
    int error = 0;
    const SSimKeyDef* def = KeyedTarget(unit, prefix, args, error);
    if (!def)
        return SSimResult::Error(error);
    if (def->type == kSimArray || def->type == kSimString)
        return SSimResult::Answer(Hex(*unit.Memory().GetBytes(def->key)));
    const double value = *unit.Memory().GetNumber(def->key);
    if (def->type == kSimF32)
        return SSimResult::Answer(FloatText(value));
    return SSimResult::Answer(std::to_string(static_cast<long long>(value)));
}

// ":PUT key,value" with an integer, a decimal number, or "#E" and the float's 32-bit pattern.
SSimResult KeyedPut(CSimUnit& unit, const std::string& prefix, std::string_view args)
{
    const auto fields = SplitArgs(args);
    if (fields.size() != 2)
        return SSimResult::Error(kWrongCount);
    int error = 0;
    const SSimKeyDef* def = KeyedTarget(unit, prefix, fields[0], error);
    if (!def)
        return SSimResult::Error(error);
    std::string_view text = fields[1];
    std::optional<double> value;
    if (text.size() == 10 && (text.substr(0, 2) == "#E" || text.substr(0, 2) == "#e"))
    {
        uint32_t bits = 0;
        const auto [end, ec] = std::from_chars(text.data() + 2, text.data() + text.size(), bits, 16);
        if (def->type != kSimF32 || ec != std::errc() || end != text.data() + text.size())
            return SSimResult::Error(kBadParameter);
        float number;
        std::memcpy(&number, &bits, sizeof number);
        value = number;
    }
    else
        value = simtext::ToDouble(text);
    if (!value || def->type == kSimArray || def->type == kSimString)
        return SSimResult::Error(kBadParameter);
    return unit.Memory().SetNumber(def->key, *value) ? SSimResult::Done() : SSimResult::Error(kOutOfRange);
}

// ":PUTARRAY key,offset,length,hexbytes".
SSimResult KeyedPutArray(CSimUnit& unit, const std::string& prefix, std::string_view args)
{
    const auto fields = SplitArgs(args);
    if (fields.size() != 4)
        return SSimResult::Error(kWrongCount);
    int error = 0;
    const SSimKeyDef* def = KeyedTarget(unit, prefix, fields[0], error);
    if (!def)
        return SSimResult::Error(error);
    const auto offset = ToInt(fields[1]);
    const auto length = ToInt(fields[2]);
    std::vector<uint8_t> bytes;
    if (!offset || !length || !FromHex(fields[3], bytes) || static_cast<long long>(bytes.size()) != *length)
        return SSimResult::Error(kBadParameter);
    if (*offset < 0 || *offset + *length > def->size)
        return SSimResult::Error(kOutOfRange);
    const int area = CSimMemory::AreaOfKey(def->key);
    for (long long i = 0; i < *length; ++i)
        unit.Memory().Write(area, def->address + static_cast<int>(*offset + i), bytes[i]);
    return SSimResult::Done();
}

// Three integers "a, b, c" of the raw memory commands.
bool RawArgs(std::string_view args, long long (&values)[3])
{
    const auto fields = SplitArgs(args);
    if (fields.size() != 3)
        return false;
    for (int i = 0; i < 3; ++i)
    {
        const auto value = ToInt(fields[i]);
        if (!value)
            return false;
        values[i] = *value;
    }
    return true;
}

SSimResult RawRead(CSimUnit& unit, std::string_view args)
{
    long long v[3]; // address, count, area
    if (unit.Model().bagKind == ESimBagKind::None)
        return SSimResult::Error(kUnknownCommand);
    if (!RawArgs(args, v))
        return SSimResult::Error(kBadParameter);
    std::vector<uint8_t> bytes;
    if (v[1] < 1 || v[1] > kMaxRawChunk ||
        !unit.Memory().Read(static_cast<int>(v[2]), static_cast<int>(v[0]), static_cast<int>(v[1]), bytes))
        return SSimResult::Error(kOutOfRange);
    return SSimResult::Answer(Hex(bytes));
}

SSimResult RawWrite(CSimUnit& unit, std::string_view args)
{
    long long v[3]; // address, byte, area
    if (unit.Model().bagKind == ESimBagKind::None)
        return SSimResult::Error(kUnknownCommand);
    if (!RawArgs(args, v))
        return SSimResult::Error(kBadParameter);
    if (v[1] < 0 || v[1] > 255 ||
        !unit.Memory().Write(static_cast<int>(v[2]), static_cast<int>(v[0]), static_cast<uint8_t>(v[1])))
        return SSimResult::Error(kOutOfRange);
    return SSimResult::Done();
}

// "LAS:FACT:GETA? block,first,count": the factory data block 69 holds the maximum LDI of each current
// range as four unsigned 32-bit values.
SSimResult FactoryBlock(CSimUnit& unit, std::string_view args)
{
    const auto& ranges = unit.Model().rangeMaxLdi;
    if (ranges[0] == 0)
        return SSimResult::Error(kUnknownCommand);
    const auto fields = SplitArgs(args);
    if (fields.size() != 3)
        return SSimResult::Error(kWrongCount);
    const auto block = ToInt(fields[0]);
    const auto first = ToInt(fields[1]);
    const auto count = ToInt(fields[2]);
    if (!block || *block != 69 || !first || !count || *first < 0 || *count < 1 ||
        *first + *count > static_cast<long long>(ranges.size()))
        return SSimResult::Error(kOutOfRange);
    std::vector<uint8_t> bytes;
    for (long long i = *first; i < *first + *count; ++i)
    {
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<uint8_t>(ranges[i] >> shift));
    }
    return SSimResult::Answer(Hex(bytes));
}

void AddChannelCommands(CSimCommandRegistry& registry, const std::string& prefix, ESimFamily family)
{
    registry.Add(prefix + "CHAN",
                 [family](CSimUnit& unit, int, std::string_view args)
                 {
                     if (unit.ChannelCount(family) == 0)
                         return SSimResult::Error(kUnknownCommand);
                     const auto fields = SplitArgs(args); // channel[, sub-channel]
                     if (fields.empty() || fields.size() > 2)
                         return SSimResult::Error(kWrongCount);
                     const auto number = ToInt(fields[0]);
                     if (!number)
                         return SSimResult::Error(kBadParameter);
                     return unit.Select(family, static_cast<int>(*number)) ? SSimResult::Done()
                                                                           : SSimResult::Error(kOutOfRange);
                 });
    registry.Add(prefix + "CHAN?",
                 [family](CSimUnit& unit, int, std::string_view)
                 {
                     const int count = unit.ChannelCount(family);
                     if (count == 0)
                         return SSimResult::Error(kUnknownCommand);
                     int number = unit.SelectedNumber(family);
                     // With no channel fitted nothing is selected: no slot may claim to answer.
                     if (!unit.IsFitted(family, number))
                         number = 0;
                     if (unit.Faults().wrongChannel)
                         number = count > 1 ? number % count + 1 : 1;
                     return SSimResult::Answer(std::to_string(number));
                 });
}

void AddKeyedCommands(CSimCommandRegistry& registry, const std::string& prefix)
{
    registry.Add(prefix + "GET?", [prefix](CSimUnit& unit, int, std::string_view args)
                 { return KeyedGet(unit, prefix, args); });
    registry.Add(prefix + "PUT", [prefix](CSimUnit& unit, int, std::string_view args)
                 { return KeyedPut(unit, prefix, args); });
    registry.Add(prefix + "PUTARRAY", [prefix](CSimUnit& unit, int, std::string_view args)
                 { return KeyedPutArray(unit, prefix, args); });
}

// A command whose only argument must be one of the listed words (upper case).
SSimResult Choice(std::string_view args, std::initializer_list<const char*> allowed)
{
    const std::string word = simtext::Upper(simtext::Trim(args));
    for (const char* candidate : allowed)
    {
        if (word == candidate)
            return SSimResult::Done();
    }
    return SSimResult::Error(kBadParameter);
}

void AddIdentity(CSimCommandRegistry& registry)
{
    registry.Add("*IDN?",
                 [](CSimUnit& unit, int, std::string_view)
                 {
                     const SSimModel& m = unit.Model();
                     return SSimResult::Answer(m.maker + "," + m.modelText + "," + m.serial + "," +
                                               VersionText(m));
                 });
    registry.Add("REV?",
                 [](CSimUnit& unit, int, std::string_view)
                 {
                     const SSimModel& m = unit.Model();
                     if (!m.hasRevision)
                         return SSimResult::Error(kUnknownCommand);
                     if (!m.revisionText.empty())
                         return SSimResult::Answer(m.revisionText);
                     return SSimResult::Answer(
                         std::to_string(m.familyCode) + "." + std::to_string(m.modelCode) + "." +
                         std::to_string(m.variantCode) + "." + std::to_string(m.buildNumber));
                 });
    registry.Add("MODEL?", [](CSimUnit& unit, int, std::string_view)
                 { return SSimResult::Answer(unit.Model().modelText); });
    registry.Add("BUILD?", [](CSimUnit& unit, int, std::string_view)
                 { return SSimResult::Answer("B" + std::to_string(unit.Model().buildNumber)); });
    registry.Add("VER?", [](CSimUnit& unit, int, std::string_view)
                 { return SSimResult::Answer(VersionText(unit.Model())); });
    registry.Add("SN?", [](CSimUnit& unit, int, std::string_view)
                 { return SSimResult::Answer(unit.Model().serial); });
    registry.Add("CALDATE?", [](CSimUnit& unit, int, std::string_view)
                 { return SSimResult::Answer(unit.Model().calibrationDate); });
    registry.Add("MESSAGE?",
                 [](CSimUnit& unit, int, std::string_view) { return SSimResult::Answer(unit.message); });
    const auto setMessage = [](CSimUnit& unit, int, std::string_view args)
    {
        if (args.size() > kMessageLength)
            return SSimResult::Error(kMessageTooLong);
        unit.message = std::string(args);
        return SSimResult::Done();
    };
    registry.Add("MESS", setMessage);
    registry.Add("MESSAGE", setMessage);
    registry.Add("BRIGHT",
                 [](CSimUnit& unit, int, std::string_view args)
                 {
                     const auto value = ToInt(args);
                     if (!value)
                         return SSimResult::Error(kBadParameter);
                     if (*value < 0 || *value > 100)
                         return SSimResult::Error(kOutOfRange);
                     unit.brightness = static_cast<int>(*value);
                     return SSimResult::Done();
                 });
    registry.Add("BRIGHT?", [](CSimUnit& unit, int, std::string_view)
                 { return SSimResult::Answer(std::to_string(unit.brightness)); });
    registry.Add("REMSET",
                 [](CSimUnit& unit, int, std::string_view args)
                 {
                     if (!unit.Model().remoteSet)
                         return SSimResult::Error(kUnknownCommand);
                     const auto value = ToInt(args);
                     if (!value || (*value != 0 && *value != 1))
                         return SSimResult::Error(kBadParameter);
                     unit.remoteSet = static_cast<int>(*value);
                     return SSimResult::Done();
                 });
    registry.Add("REMSET?",
                 [](CSimUnit& unit, int, std::string_view)
                 {
                     if (!unit.Model().remoteSet)
                         return SSimResult::Error(kUnknownCommand);
                     return SSimResult::Answer(std::to_string(unit.remoteSet));
                 });
}

void AddSession(CSimCommandRegistry& registry)
{
    registry.Add("ERR?", [](CSimUnit& unit, int, std::string_view)
                 { return SSimResult::Answer(unit.Errors().TakeNumbers()); });
    registry.Add("ERRSTR?", [](CSimUnit& unit, int, std::string_view)
                 { return SSimResult::Answer(unit.Errors().TakeTexts()); });
    registry.Add("*CLS",
                 [](CSimUnit& unit, int, std::string_view)
                 {
                     unit.Errors().TakeNumbers();
                     return SSimResult::Done();
                 });
    registry.Add("TERMINAL",
                 [](CSimUnit& unit, int, std::string_view args)
                 {
                     const std::string word = simtext::Upper(simtext::Trim(args));
                     if (word != "ON" && word != "OFF")
                         return SSimResult::Error(kBadParameter);
                     unit.terminalEcho = word == "ON";
                     return SSimResult::Done();
                 });
    // Interface settings the program sets on every connection; the simulator only speaks these values.
    registry.Add("REMERR", [](CSimUnit&, int, std::string_view args) { return Choice(args, {"0", "1"}); });
    registry.Add("RADIX", [](CSimUnit&, int, std::string_view args) { return Choice(args, {"DEC"}); });
    registry.Add("HEXFLOAT", [](CSimUnit&, int, std::string_view args) { return Choice(args, {"0"}); });
    registry.Add("LOCAL",
                 [](CSimUnit& unit, int, std::string_view)
                 {
                     unit.SetRemote(false);
                     return SSimResult::Done();
                 });
}
} // namespace

void RegisterSimCoreCommands(CSimCommandRegistry& registry)
{
    AddIdentity(registry);
    AddSession(registry);
    AddChannelCommands(registry, "TEC:", ESimFamily::Tec);
    AddChannelCommands(registry, "LAS:", ESimFamily::Laser);
    AddChannelCommands(registry, "LPS:", ESimFamily::Lps);
    for (const char* prefix : {"", "USER:", "FACT:", "LAS:USER:", "LAS:FACT:", "TEC:USER:", "TEC:FACT:"})
        AddKeyedCommands(registry, prefix);
    registry.Add("!!READ", [](CSimUnit& unit, int, std::string_view args) { return RawRead(unit, args); });
    registry.Add("!!WRITE", [](CSimUnit& unit, int, std::string_view args) { return RawWrite(unit, args); });
    registry.Add("LAS:FACT:GETA?",
                 [](CSimUnit& unit, int, std::string_view args) { return FactoryBlock(unit, args); });
}

// Every reply parser of the TEC, laser and lamp-supply families and of the error queue, fed the same
// hostile text: none may crash, leak, read out of bounds or hit undefined behaviour.
#include "FuzzInput.h"
#include "instrument/lamp/LpsProtocol.h"
#include "instrument/laser/LaserProtocol.h"
#include "instrument/session/ErrorList.h"
#include "instrument/session/HexBytes.h"
#include "instrument/tec/TecProtocol.h"

#include <array>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const CFuzzInput input(data, size);
    const std::string_view text = input.Text();
    // The poll flags of the families come from the selector, so every combination of fields is tried.
    const uint32_t flags = static_cast<uint32_t>(input.Selector()) * 0x01010101u;

    (void)TecProtocol::ParseFloat(text);
    (void)TecProtocol::ParseInt(text);
    std::array<float, 4> values{};
    (void)TecProtocol::ParseFloatList(text, values);
    (void)TecProtocol::ParseModeName(text);
    (void)TecProtocol::ParseGain(text);
    (void)TecProtocol::ParseHeatCool(text);
    (void)TecProtocol::ParseFan(text);
    (void)TecProtocol::ParseVersionNumbers(text);

    (void)LaserProtocol::ParseNumber(text);
    (void)LaserProtocol::ParseInteger(text);
    (void)LaserProtocol::ParseModeName(text);
    (void)LaserProtocol::CountDecimals(text);
    (void)LaserProtocol::ParsePollReply(flags, input.Pieces());

    (void)LpsProtocol::ParsePollReply(flags, text);

    std::vector<uint8_t> bytes;
    (void)ParseHexBytes(text, bytes);

    CErrorList errors;
    errors.AddErrorsFromReply(text, input.Selector() % 8);
    while (errors.GetErrorCount() > 0)
        (void)errors.GetError(0, true);
    return 0;
}

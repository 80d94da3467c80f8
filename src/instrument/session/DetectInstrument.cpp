#include "instrument/session/DetectInstrument.h"

#include "comm/PortDescriptor.h"
#include "comm/Serial.h"
#include "instrument/session/Identification.h"

#include <array>
#include <chrono>
#include <optional>
#include <thread>

namespace
{

constexpr int kQuietReadMs = 100;
constexpr int kReplyMs = 250;
constexpr int kTalkPauseMs = 50;
constexpr int kAttempts = 6;

void PauseWhileTalking()
{
    // Pacing between reads while the unit is still sending; the reads themselves block with time-outs.
    std::this_thread::sleep_for(std::chrono::milliseconds(kTalkPauseMs));
}

std::string AskIdentity(CSerial& port)
{
    port.LockedWriteString("*IDN?\n");
    return port.ReadLine(kReplyMs);
}

// At 9600 baud after nothing answered at 38400: true when a supported maker answers there.
bool FoundAt9600(CSerial& port, int portNumber)
{
    port.Close();
    if (!port.OpenPort(portNumber, 9600))
        return false;
    port.LockedWriteString("\n");
    for (int i = 0; i < kAttempts; ++i)
    {
        if (port.ReadLine(kQuietReadMs).empty())
            return Identification::ContainsMaker(AskIdentity(port));
        PauseWhileTalking();
    }
    return false;
}

// Revision, or model/build/version for firmware without a usable one, then the version numbers.
void ReadCodes(CSerial& port, SIdentRecord& record)
{
    port.LockedWriteString("REV?\n");
    std::string revision = port.ReadLine(kReplyMs);
    // A bare "123" is the unit refusing "REV?" as an unknown command.
    if (Identification::IsNoRevision(revision))
        revision.clear();
    if (!revision.empty())
    {
        std::array<int, 4> codes{};
        const int fields = Identification::SplitRevision(revision, codes);
        record.unreadableReply = fields < 0;
        if (fields == 4)
        {
            record.familyCode = codes[0];
            record.modelCode = codes[1];
            record.variantCode = codes[2];
            record.buildNumber = codes[3];
        }
    }
    std::string version = port.Query("VER?\n", kReplyMs);

    const bool readModel =
        revision.empty() || (record.familyCode == 4 && record.modelCode == 16 && record.variantCode == 26);
    if (readModel)
    {
        port.LockedWriteString("MODEL?;BUILD?;VER?\n");
        std::string reply = port.ReadLine(kReplyMs);
        std::vector<std::string_view> fields = Identification::SplitFields(reply);
        if (!fields.empty())
        {
            if (fields.size() > 1)
            {
                const auto build = Identification::BuildNumberFromText(fields[1]);
                if (!build)
                {
                    record.unreadableReply = true;
                    return;
                }
                record.buildNumber = *build;
            }
            if (fields.size() > 2)
                version = std::string(fields[2]);
            Identification::SCodes codes{record.familyCode, record.modelCode, record.variantCode};
            if (Identification::ClassifyDetectionModel(fields[0], codes))
            {
                record.familyCode = codes.familyCode;
                record.modelCode = codes.modelCode;
                record.variantCode = codes.variantCode;
            }
        }
    }
    Identification::ParseVersion(version, record.versionMajor, record.versionMinor);
}

} // namespace

void DetectInstrument(const std::string& descriptor, SIdentRecord& record)
{
    record.familyCode = 0;
    record.modelCode = 0;
    record.variantCode = 0;
    record.buildNumber = 0;
    record.unreadableReply = false;
    record.queuedErrors.clear();

    std::optional<PortDescriptor> parsed = PortDescriptor::Parse(descriptor);
    const bool serial = parsed && parsed->kind == "COM";
    const int portNumber = serial ? PortDescriptor::ToInt(parsed->first) : 0;
    const bool automaticBaud = serial && PortDescriptor::ToInt(parsed->second) == 0;

    CSerial port;
    if (!port.OpenDescriptor(descriptor))
        return;
    for (int attempt = 0; attempt < kAttempts; ++attempt)
    {
        if (!port.ReadLine(kQuietReadMs).empty())
        {
            PauseWhileTalking();
            continue;
        }
        const std::string errors = port.Query("TERMINAL OFF;REMERR 0;RADIX DEC;HEXFLOAT 0;ERR?\n", kReplyMs);
        const bool found = Identification::ContainsMaker(AskIdentity(port));
        if (found)
            record.queuedErrors = errors;
        // A network port or a fixed baud rate goes on to the revision even without a maker reply.
        if (found || !automaticBaud || FoundAt9600(port, portNumber))
            ReadCodes(port, record);
        break;
    }
    port.Close();
}

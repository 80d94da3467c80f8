#include "instrument/session/DetectInstrument.h"

#include "comm/PortDescriptor.h"
#include "comm/Serial.h"
#include "instrument/session/Identification.h"

#include <algorithm>
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
// A network unit's first answer may take a far gateway's round trip; it is awaited as long as the
// session waits for any answer, and what it took sets the time-outs of the questions after it.
constexpr int kFirstContactMs = 2000;
constexpr int kLateReplyMs = 500;

using Clock = std::chrono::steady_clock;

// The port of one detection with the time a reply is awaited on it.
struct SDetectLink
{
    CSerial& port;
    int replyMs = kReplyMs;
};

// Writes one question and reads its answer. A reply still owed to an earlier question is read away
// first, and one that does not come in time is owed, so that it never answers the next question.
std::string Ask(SDetectLink& link, std::string_view question, int replyMs)
{
    link.port.GetLateReplies().Discard([&](int waitMs) { return link.port.ReadLine(waitMs); });
    link.port.LockedWriteString(question);
    std::string reply = link.port.ReadLine(replyMs);
    if (reply.empty())
        link.port.GetLateReplies().Owe(Clock::now() + std::chrono::milliseconds(kLateReplyMs));
    return reply;
}

std::string Ask(SDetectLink& link, std::string_view question)
{
    return Ask(link, question, link.replyMs);
}

int ElapsedMs(Clock::time_point since)
{
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// The reply time-out on a network link: the serial one plus twice the slower of the connect's round
// trip and the first answer's.
int NetworkReplyMs(const CSerial& port, int firstAnswerMs)
{
    return kReplyMs + 2 * std::max(port.GetConnectRoundTripMs(), firstAnswerMs);
}

void PauseWhileTalking()
{
    // Pacing between reads while the unit is still sending; the reads themselves block with time-outs.
    std::this_thread::sleep_for(std::chrono::milliseconds(kTalkPauseMs));
}

std::string AskIdentity(SDetectLink& link)
{
    return Ask(link, "*IDN?\n");
}

// At 9600 baud after nothing answered at 38400: true when a supported maker answers there.
bool FoundAt9600(SDetectLink& link, int portNumber)
{
    CSerial& port = link.port;
    port.Close();
    if (!port.OpenPort(portNumber, 9600))
        return false;
    port.LockedWriteString("\n");
    for (int i = 0; i < kAttempts; ++i)
    {
        if (port.ReadLine(kQuietReadMs).empty())
            return Identification::ContainsMaker(AskIdentity(link));
        PauseWhileTalking();
    }
    return false;
}

// Revision, or model/build/version for firmware without a usable one, then the version numbers.
void ReadCodes(SDetectLink& link, SIdentRecord& record)
{
    // With its error check: a unit without "REV?" answers the check at once ("123") instead of
    // leaving the question to time out and the refusal queued for the user to find after the connect.
    std::string revision = Ask(link, "REV?;ERR?\n");
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
    std::string version = Ask(link, "VER?\n");
    // Only a version text is a version: a late answer to another question must not become one.
    if (!Identification::IsVersionText(version))
        version.clear();

    const bool readModel =
        revision.empty() || (record.familyCode == 4 && record.modelCode == 16 && record.variantCode == 26);
    if (readModel)
    {
        std::string reply = Ask(link, "MODEL?;BUILD?;VER?\n");
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
    SDetectLink link{port};
    const bool network = parsed && parsed->kind == "TCP";
    for (int attempt = 0; attempt < kAttempts; ++attempt)
    {
        if (!port.ReadLine(kQuietReadMs).empty())
        {
            PauseWhileTalking();
            continue;
        }
        const auto asked = Clock::now();
        const std::string errors = Ask(link, "TERMINAL OFF;REMERR 0;RADIX DEC;HEXFLOAT 0;ERR?\n",
                                       network ? kFirstContactMs : kReplyMs);
        if (network)
            link.replyMs = NetworkReplyMs(port, errors.empty() ? 0 : ElapsedMs(asked));
        const bool found = Identification::ContainsMaker(AskIdentity(link));
        if (found)
            record.queuedErrors = errors;
        // A network port or a fixed baud rate goes on to the revision even without a maker reply.
        if (found || !automaticBaud || FoundAt9600(link, portNumber))
            ReadCodes(link, record);
        break;
    }
    port.Close();
}

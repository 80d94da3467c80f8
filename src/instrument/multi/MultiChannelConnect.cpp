#include "instrument/multi/MultiChannelConnect.h"

#include "comm/PortDescriptor.h"
#include "instrument/session/InstrBase.h"

#include <charconv>
#include <memory>
#include <optional>

CSerialMulti& InstallSharedPort(CInstrBase& instrument)
{
    if (auto* shared = dynamic_cast<CSerialMulti*>(&instrument.GetPort()))
        return *shared;
    auto shared = std::make_unique<CSerialMulti>();
    CSerialMulti& installed = *shared;
    instrument.SetPort(std::move(shared));
    return installed;
}

bool OpenSharedAndProbe(CInstrBase& instrument, const std::string& descriptor)
{
    // Split once here; the shared port opens from the split form.
    const std::optional<PortDescriptor> parsed = PortDescriptor::Parse(descriptor);
    const bool automaticBaud = parsed && parsed->kind == "COM" && PortDescriptor::ToInt(parsed->second) == 0;
    CSerialMulti& shared = InstallSharedPort(instrument);

    instrument.Disconnect();
    instrument.SetSerialMismatch(false);
    instrument.SetFailedPolls(0);
    bool answered = parsed && shared.OpenSharedDescriptor(*parsed) && instrument.ProbeBuild();
    if (!answered && automaticBaud && shared.IsOpen())
    {
        // Baud 0 opened at 38400; a unit set to 9600 answers only there.
        instrument.Disconnect();
        answered =
            shared.OpenSharedPort(PortDescriptor::ToInt(parsed->first), 9600) && instrument.ProbeBuild();
    }
    if (!answered)
        instrument.Disconnect();
    return answered;
}

CErrorMsg ChannelError(const std::vector<CInstrBase*>& channels, int index, bool remove)
{
    for (CInstrBase* channel : channels)
    {
        const int count = channel->GetErrorCount();
        if (index < count)
            return channel->GetError(index, remove);
        index -= count;
    }
    return CErrorMsg();
}

int ParseChannelNumber(std::string_view reply)
{
    while (!reply.empty() && (reply.front() == ' ' || reply.front() == '\t'))
        reply.remove_prefix(1);
    while (!reply.empty() && (reply.back() == ' ' || reply.back() == '\t'))
        reply.remove_suffix(1);
    int value = -1;
    const auto [end, error] = std::from_chars(reply.data(), reply.data() + reply.size(), value);
    if (error != std::errc() || end != reply.data() + reply.size() || reply.empty())
        return -1;
    return value;
}

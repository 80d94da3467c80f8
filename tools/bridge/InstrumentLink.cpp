#include "InstrumentLink.h"

#include "HomiePayload.h"
#include "PortWatcher.h"
#include "instrument/control/Setting.h"
#include "instrument/report/ConnectMessages.h"
#include "instrument/session/InstrBase.h"

#include <cstdio>

namespace
{
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How often the cached readings are looked at: well inside one poll cycle, so a change reaches the
// broker soon after the poll that read it, yet never more than once per poll.
constexpr milliseconds kSample{20};
// Publications are at most a few a second: polling faster would only keep the link busy.

std::string AlertText(bool fresh, int64_t silentMs)
{
    if (fresh)
        return "the instrument answers again";
    return silentMs > 0 ? ConnectMessages::NoAnswerFor(silentMs)
                        : "the instrument's readings are not current";
}
constexpr milliseconds kRetryMin{1000};
constexpr milliseconds kRetryMax{30000};
constexpr milliseconds kRescan{1000};
// How often the limits of the set points are asked for again: they change only in the unit's settings.
constexpr milliseconds kLimitsRefresh{5000};
constexpr size_t kMaxQueuedSets = 64;

} // namespace

CInstrumentLink::CInstrumentLink(std::string descriptor, const SBridgeOptions& options, CPortWatcher& watcher)
    : m_options(options), m_watcher(watcher), m_descriptor(std::move(descriptor))
{
}

CInstrumentLink::~CInstrumentLink()
{
    Stop();
}

void CInstrumentLink::Start()
{
    m_thread = std::thread([this] { Run(); });
}

void CInstrumentLink::Stop()
{
    {
        std::lock_guard guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_watcher.Wake();
    if (m_thread.joinable())
        m_thread.join();
    if (m_publisher)
        m_publisher->Stop();
}

void CInstrumentLink::Report(const std::string& text)
{
    const std::string device = m_publisher ? m_publisher->Device().Id() : m_descriptor;
    std::fprintf(stderr, "tamrix-bridge: %s: %s\n", device.c_str(), text.c_str());
}

bool CInstrumentLink::Pause(milliseconds timeout)
{
    std::unique_lock lock(m_lock);
    m_wake.wait_for(lock, timeout, [this] { return m_stop || !m_sets.empty(); });
    return m_stop;
}

void CInstrumentLink::Run()
{
    // Never connected yet: there is nothing to recognise it by, so only its own port is asked again.
    for (milliseconds retry = kRetryMin; !Open(m_descriptor); retry = std::min(retry * 2, kRetryMax))
    {
        if (Pause(retry))
            return;
    }
    do
    {
        Serve();
        Close();
    } while (WaitForInstrument());
}

bool CInstrumentLink::Open(const std::string& descriptor)
{
    const int portNumber = CPortSearch::SerialPortOf(descriptor);
    if (portNumber > 0 && portNumber != m_claimedPort && !m_watcher.Claim(portNumber))
        return false;
    auto connection = std::make_unique<CUnitConnection>();
    std::string message;
    const bool opened = connection->Open(descriptor, message) == EConnectResult::Ok;
    CInstrBase* instrument = opened ? &connection->Instrument() : nullptr;
    const bool same = opened && (m_model.empty() || (instrument->GetModel() == m_model &&
                                                     instrument->GetSerialNumber() == m_serialNumber));
    if (!same)
    {
        if (portNumber > 0 && portNumber != m_claimedPort)
            m_watcher.Release(portNumber);
        if (!opened && m_model.empty())
            Report(message + " (" + descriptor + ")");
        return false;
    }
    m_claimedPort = portNumber;
    m_descriptor = descriptor;
    // Taken while connected, so that an instrument replugged before its loss was noticed is not
    // mistaken for one of the ports that were there.
    if (portNumber > 0)
        m_search = std::make_unique<CPortSearch>(descriptor);
    m_model = instrument->GetModel();
    m_serialNumber = instrument->GetSerialNumber();
    auto model = std::make_unique<CInstrumentModel>(*instrument, descriptor, m_options.allowSet);
    if (m_publisher && m_publisher->Device().Id() == model->Device().Id())
    {
        // The same unit, perhaps with other limits now.
        if (m_publisher->Device().Description() != model->Device().Description())
            m_publisher->Describe(model->Device());
    }
    else
    {
        if (m_publisher)
            m_publisher->Stop();
        CHomiePublisher::SetHandler onSet;
        if (m_options.allowSet)
            onSet = [this](const std::string& node, const std::string& property, const std::string& payload)
            { OnSet(node, property, payload); };
        m_publisher = std::make_unique<CHomiePublisher>(model->Device(), m_options.broker, m_options.period,
                                                        m_options.minInterval, onSet);
        std::string error;
        if (!m_publisher->Start(error))
            Report(error);
    }
    m_publisher->SetState(CHomiePublisher::EState::Init);
    m_connection = std::move(connection);
    m_instrumentModel = std::move(model);
    for (const std::string& error : m_instrumentModel->TakeErrors())
        Report("instrument error while connecting: " + error);
    instrument->StartBackgroundThread(static_cast<int>(m_options.pollPeriod.count()));
    Report("connected on " + descriptor);
    return true;
}

void CInstrumentLink::Close()
{
    m_heldUntilCycle.clear();
    m_instrumentModel.reset();
    m_connection.reset();
    if (m_claimedPort > 0)
        m_watcher.Release(m_claimedPort);
    m_claimedPort = 0;
}

void CInstrumentLink::Serve()
{
    CInstrBase& instrument = m_connection->Instrument();
    bool ready = false;
    bool alert = false; // was ready, then not
    Clock::time_point limitsRead = Clock::now();
    while (!Pause(kSample))
    {
        CarryOutSets();
        if (!instrument.IsPortOpen())
        {
            m_publisher->SetState(CHomiePublisher::EState::Disconnected);
            Report("the instrument went away from " + m_descriptor);
            return;
        }
        for (const std::string& error : m_instrumentModel->TakeErrors())
        {
            Report("instrument error " + error);
            m_publisher->Event(CInstrumentModel::InstrumentNode, CInstrumentModel::ErrorProperty, error);
        }
        // The panels' watch: two failed poll queries in a row end the session; the link then looks for
        // the unit again.
        if (m_instrumentModel->Lost())
        {
            m_publisher->SetState(CHomiePublisher::EState::Disconnected);
            Report(std::string(ConnectMessages::LostCommunications) + " (" + m_descriptor + ")");
            return;
        }
        // A unit that stops answering or whose poll fails is not ready; what it read lately still is
        // published, each value only while it is current.
        const bool fresh = instrument.IsFirstCycleDone() && m_instrumentModel->Fresh();
        if (fresh != ready)
        {
            m_publisher->SetState(fresh ? CHomiePublisher::EState::Ready : CHomiePublisher::EState::Alert);
            if (!fresh || alert)
                Report(AlertText(fresh, instrument.GetSilentForMs()) + " (" + m_descriptor + ")");
            alert = !fresh;
        }
        ready = fresh;
        if (ready && Clock::now() - limitsRead >= kLimitsRefresh)
        {
            limitsRead = Clock::now();
            if (m_instrumentModel->RefreshLimits())
                m_publisher->Describe(m_instrumentModel->Device());
        }
        if (instrument.IsFirstCycleDone())
            Publish(Clock::now());
    }
}

void CInstrumentLink::Publish(Clock::time_point now)
{
    const uint64_t cycles = m_connection->Instrument().GetCompletedCycles();
    std::erase_if(m_heldUntilCycle, [cycles](const auto& held) { return cycles >= held.second; });
    for (const CInstrumentModel::SValue& value : m_instrumentModel->Read())
    {
        if (!m_heldUntilCycle.contains({value.nodeId, value.propertyId}))
            m_publisher->Update(value.nodeId, value.propertyId, value.payload, now);
    }
}

bool CInstrumentLink::WaitForInstrument()
{
    {
        std::lock_guard guard(m_lock);
        if (m_stop)
            return false;
    }
    if (CPortSearch::SerialPortOf(m_descriptor) == 0)
    {
        // A network instrument keeps its address: ask there again, waiting longer each time.
        for (milliseconds retry = kRetryMin;; retry = std::min(retry * 2, kRetryMax))
        {
            if (Pause(retry))
                return false;
            if (Open(m_descriptor))
                return true;
        }
    }
    uint64_t seen = 0;
    while (true)
    {
        seen = m_watcher.WaitForChange(seen, kRescan);
        {
            std::lock_guard guard(m_lock);
            if (m_stop)
                return false;
        }
        CarryOutSets();
        for (const std::string& descriptor : m_search->Candidates(Clock::now()))
        {
            Report("looking for it on " + descriptor);
            if (Open(descriptor))
                return true;
            m_search->Failed(descriptor, Clock::now());
        }
    }
}

void CInstrumentLink::OnSet(const std::string& nodeId, const std::string& propertyId,
                            const std::string& payload)
{
    {
        std::lock_guard guard(m_lock);
        // A flood of requests must not grow without bound; the oldest go first.
        if (m_sets.size() >= kMaxQueuedSets)
            m_sets.pop_front();
        m_sets.push_back({nodeId, propertyId, payload});
    }
    m_wake.notify_all();
}

void CInstrumentLink::CarryOutSets()
{
    while (true)
    {
        SSetRequest request;
        {
            std::lock_guard guard(m_lock);
            if (m_sets.empty())
                return;
            request = std::move(m_sets.front());
            m_sets.pop_front();
        }
        CarryOut(request);
    }
}

void CInstrumentLink::CarryOut(const SSetRequest& request)
{
    if (!m_instrumentModel || !m_connection->Instrument().IsPortOpen())
        return Refuse(request, "the instrument is not connected");
    const SHomieProperty* property = m_publisher->Device().Find(request.nodeId, request.propertyId);
    std::string error;
    const auto value = property ? HomiePayload::CheckSet(*property, request.payload, error) : std::nullopt;
    if (!value)
        return Refuse(request, property ? error : "no such property");
    std::string name;
    std::string settingValue;
    SSetTarget target;
    if (!m_instrumentModel->Setting(request.nodeId, request.propertyId, *value, name, settingValue, target))
        return Refuse(request, "the property is not settable");
    const auto setting = ParseSetting(name, settingValue, error);
    if (!setting)
        return Refuse(request, error);
    const SSetTarget::SResult result = target.Apply(*setting);
    const std::string outcome = SSetTarget::Describe(*setting, settingValue, result);
    if (result.state != SSetTarget::EState::Done)
    {
        // The setter cached the value asked for; what is published next must come from the unit. The
        // cycle that carried the set out may have read the value before it: wait for the one after.
        const uint64_t cycles = m_connection->Instrument().GetCompletedCycles();
        m_heldUntilCycle[{request.nodeId, request.propertyId}] = cycles + 2;
    }
    switch (result.state)
    {
    case SSetTarget::EState::Done:
        return Report(outcome);
    case SSetTarget::EState::Unconfirmed:
        Report(outcome);
        if (m_publisher)
            m_publisher->Event(CInstrumentModel::InstrumentNode, CInstrumentModel::ErrorProperty,
                               request.nodeId + "/" + request.propertyId + ": " + outcome);
        return;
    case SSetTarget::EState::Refused:
        return Refuse(request, outcome);
    case SSetTarget::EState::NotSent:
        break;
    }
    std::string reason = outcome;
    for (const std::string& line : result.refusal)
        reason += ": " + line;
    Refuse(request, reason);
}

void CInstrumentLink::Refuse(const SSetRequest& request, const std::string& reason)
{
    const std::string text = request.nodeId + "/" + request.propertyId + " refused: " + reason;
    Report(text);
    if (m_publisher)
        m_publisher->Event(CInstrumentModel::InstrumentNode, CInstrumentModel::ErrorProperty, text);
}

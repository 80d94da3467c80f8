#include "HomiePublisher.h"

#include <cstdio>
#include <unistd.h>

namespace
{
std::string DefaultClientPrefix()
{
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0)
        return "tamrix-bridge";
    return "tamrix-bridge-" + CHomieDevice::TopicLevel(host);
}

std::string ClientId(const SBrokerOptions& broker, const std::string& deviceId)
{
    return (broker.clientId.empty() ? DefaultClientPrefix() : broker.clientId) + "-" + deviceId;
}

// An empty payload would delete a retained topic; the convention sends one NUL byte instead.
std::string Payload(const std::string& value)
{
    return value.empty() ? std::string(1, '\0') : value;
}
} // namespace

CHomiePublisher::CHomiePublisher(CHomieDevice device, SBrokerOptions broker, std::chrono::milliseconds period,
                                 std::chrono::milliseconds minInterval, SetHandler onSet)
    : m_device(std::move(device)), m_period(period), m_minInterval(minInterval), m_onSet(std::move(onSet)),
      m_client(broker, ClientId(broker, m_device.Id()))
{
}

CHomiePublisher::~CHomiePublisher()
{
    Stop();
}

const char* CHomiePublisher::StateName(EState state)
{
    switch (state)
    {
    case EState::Init:
        return "init";
    case EState::Ready:
        return "ready";
    case EState::Disconnected:
        return "disconnected";
    case EState::Alert:
        return "alert";
    }
    return "init";
}

bool CHomiePublisher::Start(std::string& error)
{
    return m_client.Start(
        m_device.Topic("$state"), "lost", [this] { OnConnected(); },
        [this](const std::string& topic, const std::string& payload, bool retained)
        { OnMessage(topic, payload, retained); },
        error);
}

void CHomiePublisher::Stop()
{
    {
        std::lock_guard guard(m_lock);
        m_state = EState::Disconnected;
        PublishLocked(m_device.Topic("$state"), StateName(m_state), true);
    }
    m_client.Stop();
}

void CHomiePublisher::SetState(EState state)
{
    std::lock_guard guard(m_lock);
    if (state == m_state)
        return;
    m_state = state;
    PublishLocked(m_device.Topic("$state"), StateName(state), true);
}

void CHomiePublisher::Update(const std::string& nodeId, const std::string& propertyId,
                             const std::string& payload, std::chrono::steady_clock::time_point now)
{
    const std::string topic = m_device.PropertyTopic(nodeId, propertyId);
    std::lock_guard guard(m_lock);
    SValue& value = m_values[topic];
    value.payload = payload;
    const auto since = now - value.sent;
    // A change waits out the minimum interval; it is sent then even when nothing changes after it.
    const bool due = !value.published || (payload != value.sentPayload && since >= m_minInterval) ||
                     (m_period.count() > 0 && since >= m_period);
    if (!due)
        return;
    value.published = PublishLocked(topic, Payload(payload), true);
    if (!value.published)
        return;
    value.sent = now;
    value.sentPayload = payload;
}

void CHomiePublisher::Describe(CHomieDevice device)
{
    std::lock_guard guard(m_lock);
    m_device = std::move(device);
    // Consumers read a description only while the device is in "init".
    PublishLocked(m_device.Topic("$state"), StateName(EState::Init), true);
    PublishLocked(m_device.Topic("$description"), m_device.Description(), true);
    if (m_state != EState::Init)
        PublishLocked(m_device.Topic("$state"), StateName(m_state), true);
}

void CHomiePublisher::Event(const std::string& nodeId, const std::string& propertyId,
                            const std::string& payload)
{
    std::lock_guard guard(m_lock);
    PublishLocked(m_device.PropertyTopic(nodeId, propertyId), Payload(payload), false);
}

bool CHomiePublisher::PublishLocked(const std::string& topic, const std::string& payload, bool retain)
{
    return m_client.Publish(topic, payload, retain);
}

void CHomiePublisher::OnConnected()
{
    std::lock_guard guard(m_lock);
    // A consumer sees "init" until the description and every value are there again.
    PublishLocked(m_device.Topic("$state"), StateName(EState::Init), true);
    PublishLocked(m_device.Topic("$description"), m_device.Description(), true);
    const auto now = std::chrono::steady_clock::now();
    for (auto& [topic, value] : m_values)
    {
        value.published = PublishLocked(topic, Payload(value.payload), true);
        value.sent = now;
        value.sentPayload = value.payload;
    }
    if (m_onSet)
        m_client.Subscribe(m_device.SetFilter());
    if (m_state != EState::Init)
        PublishLocked(m_device.Topic("$state"), StateName(m_state), true);
}

void CHomiePublisher::OnMessage(const std::string& topic, const std::string& payload, bool retained)
{
    std::string nodeId;
    std::string propertyId;
    std::string deviceId;
    {
        std::lock_guard guard(m_lock);
        if (!m_onSet || !m_device.ParseSetTopic(topic, nodeId, propertyId))
            return;
        deviceId = m_device.Id();
    }
    // An empty payload is how a retained request is cleared: it asks for nothing.
    if (payload.empty())
        return;
    // A request left on the broker would be replayed at every (re)connection and override whatever
    // was set at the unit meanwhile: only requests sent while the bridge listens are taken.
    if (retained)
    {
        if (!m_retainedSetReported)
            std::fprintf(stderr,
                         "tamrix-bridge: %s: ignored a retained set request on %s (set requests are taken "
                         "only as they are sent; clear it with an empty retained message)\n",
                         deviceId.c_str(), topic.c_str());
        m_retainedSetReported = true;
        return;
    }
    m_onSet(nodeId, propertyId, payload);
}

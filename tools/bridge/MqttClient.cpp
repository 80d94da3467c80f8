#include "MqttClient.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mosquitto.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace
{
using std::chrono::milliseconds;

// How long the goodbye waits for the broker to acknowledge what was sent last.
constexpr milliseconds kGoodbyeWait{3000};
// Retained (QoS 1) messages on their way at once: enough for every value of a device in one round trip.
constexpr size_t kMaxInFlight = 100;

void InitLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

std::string ErrorText(int code)
{
    return mosquitto_strerror(code);
}
} // namespace

CMqttClient::CMqttClient(SBrokerOptions options, std::string clientId)
    : m_options(std::move(options)), m_clientId(std::move(clientId))
{
    InitLibrary();
}

CMqttClient::~CMqttClient()
{
    Stop();
    if (m_client)
        mosquitto_destroy(m_client);
    if (m_wakeFd >= 0)
        close(m_wakeFd);
}

bool CMqttClient::Start(const std::string& willTopic, const std::string& willPayload,
                        ConnectHandler onConnect, MessageHandler onMessage, std::string& error)
{
    m_onConnect = std::move(onConnect);
    m_onMessage = std::move(onMessage);
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_client = mosquitto_new(m_clientId.c_str(), true, this);
    if (!m_client || m_wakeFd < 0)
    {
        error = "cannot create an MQTT client";
        return false;
    }
    mosquitto_connect_callback_set(m_client, &CMqttClient::OnConnect);
    mosquitto_disconnect_callback_set(m_client, &CMqttClient::OnDisconnect);
    mosquitto_message_callback_set(m_client, &CMqttClient::OnMessage);
    mosquitto_max_inflight_messages_set(m_client, static_cast<unsigned>(kMaxInFlight));
    mosquitto_publish_callback_set(m_client, [](mosquitto*, void* self, int id)
                                   { static_cast<CMqttClient*>(self)->m_unacknowledged.erase(id); });
    int result = mosquitto_will_set(m_client, willTopic.c_str(), static_cast<int>(willPayload.size()),
                                    willPayload.data(), 1, true);
    if (result == MOSQ_ERR_SUCCESS && !m_options.username.empty())
        result = mosquitto_username_pw_set(m_client, m_options.username.c_str(),
                                           m_options.password.empty() ? nullptr : m_options.password.c_str());
    if (result == MOSQ_ERR_SUCCESS && !m_options.caFile.empty())
        result = mosquitto_tls_set(m_client, m_options.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (result != MOSQ_ERR_SUCCESS)
    {
        error = "MQTT client setup: " + ErrorText(result);
        return false;
    }
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CMqttClient::Stop()
{
    if (!m_thread.joinable())
        return;
    m_stop = true;
    Wake();
    m_thread.join();
}

bool CMqttClient::Publish(const std::string& topic, const std::string& payload, bool retain)
{
    if (!m_connected)
        return false;
    {
        std::lock_guard guard(m_lock);
        // A retained value not sent yet is superseded by the newer one, which goes to the end so that
        // the order of the last values holds: on a slow link the queue keeps one value per topic.
        if (retain)
            std::erase_if(m_outgoing, [&topic](const SOutgoing& queued)
                          { return queued.retain && !queued.subscribe && queued.topic == topic; });
        m_outgoing.push_back({topic, payload, retain, false});
    }
    Wake();
    return true;
}

bool CMqttClient::Subscribe(const std::string& filter)
{
    if (!m_connected)
        return false;
    {
        std::lock_guard guard(m_lock);
        m_outgoing.push_back({filter, {}, false, true});
    }
    Wake();
    return true;
}

void CMqttClient::Wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof one);
}

bool CMqttClient::Idle(milliseconds timeout)
{
    pollfd wake{m_wakeFd, POLLIN, 0};
    if (poll(&wake, 1, static_cast<int>(timeout.count())) > 0)
    {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t read = ::read(m_wakeFd, &count, sizeof count);
    }
    return m_stop;
}

void CMqttClient::Run()
{
    const milliseconds shortest{std::max(m_options.reconnectMinS, 1) * 1000};
    const milliseconds longest{std::max(m_options.reconnectMaxS, m_options.reconnectMinS) * 1000};
    milliseconds wait = shortest;
    while (!m_stop)
    {
        m_accepted = false;
        m_failure.clear();
        if (Connect())
            Serve();
        if (m_stop)
            break;
        // A broker that took the connection is given a fresh start; one that never lets the bridge in
        // (bad credentials, a listener that hangs up) is asked less and less often.
        if (m_accepted)
            wait = shortest;
        ReportFailure(wait);
        if (Idle(wait))
            break;
        if (!m_accepted)
            wait = std::min(wait * 2, longest);
    }
    Goodbye();
    m_connected = false;
}

std::string CMqttClient::BrokerName() const
{
    return m_options.host + ":" + std::to_string(m_options.port);
}

void CMqttClient::ReportFailure(milliseconds wait) const
{
    // The library's texts end in a full stop; the sentence goes on.
    std::string failure = m_failure;
    if (!failure.empty() && failure.back() == '.')
        failure.pop_back();
    std::fprintf(stderr, "tamrix-bridge: %s: %s; trying again in %lld s\n", m_clientId.c_str(),
                 failure.c_str(), static_cast<long long>(wait.count() / 1000));
}

bool CMqttClient::Connect()
{
    // Blocking only for the name lookup; the TCP handshake is finished by Serve.
    const int result =
        mosquitto_connect_async(m_client, m_options.host.c_str(), m_options.port, m_options.keepAliveS);
    if (result == MOSQ_ERR_SUCCESS)
        return true;
    const std::string reason = result == MOSQ_ERR_ERRNO ? std::strerror(errno)
                               : result == MOSQ_ERR_EAI ? "its name cannot be resolved"
                                                        : ErrorText(result);
    m_failure = "cannot reach the broker " + BrokerName() + ": " + reason;
    return false;
}

void CMqttClient::Serve()
{
    while (!m_stop)
    {
        const int socket = mosquitto_socket(m_client);
        if (socket < 0)
        {
            if (m_failure.empty())
                m_failure = "the connection to the broker " + BrokerName() + " ended";
            return;
        }
        pollfd fds[2] = {
            {socket, static_cast<short>(POLLIN | (mosquitto_want_write(m_client) ? POLLOUT : 0)), 0},
            {m_wakeFd, POLLIN, 0}};
        // The keep-alive needs a turn at least every second.
        if (poll(fds, 2, 1000) < 0)
            continue;
        if (fds[1].revents & POLLIN)
        {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t read = ::read(m_wakeFd, &count, sizeof count);
        }
        int result = MOSQ_ERR_SUCCESS;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR))
            result = mosquitto_loop_read(m_client, 1);
        if (result == MOSQ_ERR_SUCCESS && m_connected)
            SendOutgoing();
        if (result == MOSQ_ERR_SUCCESS && mosquitto_want_write(m_client))
            result = mosquitto_loop_write(m_client, 1);
        if (result == MOSQ_ERR_SUCCESS)
            result = mosquitto_loop_misc(m_client);
        if (result != MOSQ_ERR_SUCCESS)
        {
            const std::string reason = result == MOSQ_ERR_ERRNO ? std::strerror(errno) : ErrorText(result);
            // A refusal was already put in words by the connect handler.
            if (m_failure.empty())
                m_failure = m_accepted ? "lost the connection to the broker " + BrokerName() + ": " + reason
                            : result == MOSQ_ERR_ERRNO
                                ? "cannot reach the broker " + BrokerName() + ": " + reason
                                : "the broker " + BrokerName() +
                                      " closed the connection before accepting it: " + reason;
            m_connected = false;
            return;
        }
    }
}

bool CMqttClient::Turn(milliseconds timeout)
{
    const int socket = mosquitto_socket(m_client);
    if (socket < 0)
        return false;
    pollfd fd{socket, static_cast<short>(POLLIN | (mosquitto_want_write(m_client) ? POLLOUT : 0)), 0};
    const int ready = poll(&fd, 1, static_cast<int>(timeout.count()));
    if (ready < 0)
        return false;
    if ((fd.revents & POLLOUT) && mosquitto_loop_write(m_client, 1) != MOSQ_ERR_SUCCESS)
        return false;
    if ((fd.revents & (POLLIN | POLLHUP | POLLERR)) && mosquitto_loop_read(m_client, 1) != MOSQ_ERR_SUCCESS)
        return false;
    return true;
}

void CMqttClient::Goodbye()
{
    if (!m_connected)
        return;
    // What was handed over goes out before the clean goodbye, so the last state is the one kept.
    SendOutgoing();
    // Closing with an acknowledgement still on its way makes the system reset the connection, and the
    // broker may drop the goodbye with it and publish the will: wait for every acknowledgement first,
    // on a slow link too, but not for ever.
    const auto deadline = std::chrono::steady_clock::now() + kGoodbyeWait;
    while (m_connected && (!m_unacknowledged.empty() || OutgoingCount() > 0))
    {
        const auto left =
            std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left <= milliseconds(0) || !Turn(std::min(left, milliseconds(100))))
            break;
        SendOutgoing();
    }
    if (const size_t unsent = OutgoingCount(); !m_unacknowledged.empty() || unsent > 0)
        std::fprintf(
            stderr,
            "tamrix-bridge: %s: said goodbye with %zu message(s) not acknowledged by the broker and %zu "
            "not sent\n",
            m_clientId.c_str(), m_unacknowledged.size(), unsent);
    // Whatever else has arrived meanwhile is read too, for the same reason.
    if (m_connected)
        Turn(milliseconds(0));
    mosquitto_disconnect(m_client);
    for (int round = 0; round < 50 && mosquitto_want_write(m_client); ++round)
        mosquitto_loop_write(m_client, 1);
}

void CMqttClient::SendOutgoing()
{
    std::deque<SOutgoing> outgoing;
    {
        // Retained messages wait here while too many are unacknowledged, where a newer value still
        // replaces them; inside the library they would only pile up.
        std::lock_guard guard(m_lock);
        size_t inFlight = m_unacknowledged.size();
        while (!m_outgoing.empty() && (!m_outgoing.front().retain || inFlight < kMaxInFlight))
        {
            inFlight += m_outgoing.front().retain ? 1 : 0;
            outgoing.push_back(std::move(m_outgoing.front()));
            m_outgoing.pop_front();
        }
    }
    for (const SOutgoing& message : outgoing)
    {
        if (message.subscribe)
            mosquitto_subscribe(m_client, nullptr, message.topic.c_str(), 1);
        else
        {
            int id = 0;
            // Only QoS 1 messages are acknowledged; the goodbye waits for them.
            if (mosquitto_publish(m_client, &id, message.topic.c_str(),
                                  static_cast<int>(message.payload.size()), message.payload.data(),
                                  message.retain ? 1 : 0, message.retain) == MOSQ_ERR_SUCCESS &&
                message.retain)
                m_unacknowledged.insert(id);
        }
    }
}

size_t CMqttClient::OutgoingCount()
{
    std::lock_guard guard(m_lock);
    return m_outgoing.size();
}

void CMqttClient::OnConnect(mosquitto*, void* self, int result)
{
    auto& client = *static_cast<CMqttClient*>(self);
    if (result != 0)
    {
        // Bad credentials or a refused client id: said with the next wait, once per attempt.
        client.m_failure = "the broker " + client.BrokerName() +
                           " refused the connection: " + mosquitto_connack_string(result);
        return;
    }
    client.m_accepted = true;
    {
        // Nothing handed over while the connection was down belongs to this one.
        std::lock_guard guard(client.m_lock);
        client.m_outgoing.clear();
    }
    client.m_connected = true;
    client.m_unacknowledged.clear();
    std::fprintf(stderr, "tamrix-bridge: %s: connected to the broker %s:%d\n", client.m_clientId.c_str(),
                 client.m_options.host.c_str(), client.m_options.port);
    if (client.m_onConnect)
        client.m_onConnect();
}

void CMqttClient::OnDisconnect(mosquitto*, void* self, int)
{
    static_cast<CMqttClient*>(self)->m_connected = false;
}

void CMqttClient::OnMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto& client = *static_cast<CMqttClient*>(self);
    if (!client.m_onMessage || !message->topic)
        return;
    std::string payload;
    if (message->payload && message->payloadlen > 0)
        payload.assign(static_cast<const char*>(message->payload), static_cast<size_t>(message->payloadlen));
    client.m_onMessage(message->topic, payload, message->retain);
}

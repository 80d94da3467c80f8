#include "MqttClient.h"

#include <chrono>
#include <cstdio>
#include <mosquitto.h>
#include <mutex>

namespace
{
void InitLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

std::string ErrorText(int code)
{
    if (code == MOSQ_ERR_ERRNO)
        return std::string("system error");
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
}

bool CMqttClient::Start(const std::string& willTopic, const std::string& willPayload,
                        ConnectHandler onConnect, MessageHandler onMessage, std::string& error)
{
    m_onConnect = std::move(onConnect);
    m_onMessage = std::move(onMessage);
    m_client = mosquitto_new(m_clientId.c_str(), true, this);
    if (!m_client)
    {
        error = "cannot create an MQTT client";
        return false;
    }
    mosquitto_connect_callback_set(m_client, &CMqttClient::OnConnect);
    mosquitto_disconnect_callback_set(m_client, &CMqttClient::OnDisconnect);
    mosquitto_message_callback_set(m_client, &CMqttClient::OnMessage);
    mosquitto_reconnect_delay_set(m_client, static_cast<unsigned>(m_options.reconnectMinS),
                                  static_cast<unsigned>(m_options.reconnectMaxS), true);
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
    // A broker that refuses now is tried again by the loop, with the same waits as after a loss.
    mosquitto_connect_async(m_client, m_options.host.c_str(), m_options.port, m_options.keepAliveS);
    result = mosquitto_loop_start(m_client);
    if (result != MOSQ_ERR_SUCCESS)
    {
        error = "MQTT network thread: " + ErrorText(result);
        return false;
    }
    m_loopRunning = true;
    return true;
}

void CMqttClient::Stop()
{
    if (!m_loopRunning)
        return;
    // The loop thread sends the DISCONNECT; stopping it first would drop the connection unclean, and
    // the broker would publish the will.
    if (mosquitto_disconnect(m_client) == MOSQ_ERR_SUCCESS)
    {
        std::unique_lock lock(m_stateLock);
        m_stateChanged.wait_for(lock, std::chrono::seconds(2), [this] { return !m_connected.load(); });
    }
    mosquitto_loop_stop(m_client, false);
    m_loopRunning = false;
    m_connected = false;
}

bool CMqttClient::Publish(const std::string& topic, const std::string& payload, bool retain)
{
    if (!m_connected)
        return false;
    return mosquitto_publish(m_client, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                             payload.data(), retain ? 1 : 0, retain) == MOSQ_ERR_SUCCESS;
}

bool CMqttClient::Subscribe(const std::string& filter)
{
    return m_connected && mosquitto_subscribe(m_client, nullptr, filter.c_str(), 1) == MOSQ_ERR_SUCCESS;
}

void CMqttClient::OnConnect(mosquitto*, void* self, int result)
{
    auto& client = *static_cast<CMqttClient*>(self);
    if (result != 0)
    {
        // Bad credentials or a refused client id: the loop keeps trying, so say why it does not get in.
        std::fprintf(stderr, "tamrix-bridge: %s: the broker refused the connection: %s\n",
                     client.m_clientId.c_str(), mosquitto_connack_string(result));
        return;
    }
    client.m_connected = true;
    if (client.m_onConnect)
        client.m_onConnect();
}

void CMqttClient::OnDisconnect(mosquitto*, void* self, int)
{
    auto& client = *static_cast<CMqttClient*>(self);
    {
        std::lock_guard guard(client.m_stateLock);
        client.m_connected = false;
    }
    client.m_stateChanged.notify_all();
}

void CMqttClient::OnMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto& client = *static_cast<CMqttClient*>(self);
    if (!client.m_onMessage || !message->topic)
        return;
    std::string payload;
    if (message->payload && message->payloadlen > 0)
        payload.assign(static_cast<const char*>(message->payload), static_cast<size_t>(message->payloadlen));
    client.m_onMessage(message->topic, payload);
}

#pragma once

#include "BrokerOptions.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

struct mosquitto;
struct mosquitto_message;

// One connection to the broker with its own network thread (libmosquitto's threaded loop), which
// reconnects with a growing wait when the broker goes away. Publish and Subscribe may be called from
// any thread; while the connection is down they send nothing and answer false, so nothing stale
// waits in a queue: the owner republishes its current state from the connect handler.
class CMqttClient
{
public:
    // Both run on the network thread; they must not block for long.
    using ConnectHandler = std::function<void()>;
    using MessageHandler = std::function<void(const std::string& topic, const std::string& payload)>;

    CMqttClient(SBrokerOptions options, std::string clientId);
    ~CMqttClient();
    CMqttClient(const CMqttClient&) = delete;
    CMqttClient& operator=(const CMqttClient&) = delete;

    // The will is published by the broker when the connection ends without a clean disconnect.
    // Starts connecting and returns; false with a message when the client cannot be set up (bad TLS
    // files, out of memory). A broker that is not there yet is only retried.
    bool Start(const std::string& willTopic, const std::string& willPayload, ConnectHandler onConnect,
               MessageHandler onMessage, std::string& error);
    // Disconnects cleanly (no will) after what was published has left, and ends the thread.
    void Stop();

    bool IsConnected() const { return m_connected.load(); }
    // Retained messages go out at QoS 1 as the convention recommends; events at QoS 0.
    bool Publish(const std::string& topic, const std::string& payload, bool retain);
    bool Subscribe(const std::string& filter);

private:
    static void OnConnect(mosquitto* client, void* self, int result);
    static void OnDisconnect(mosquitto* client, void* self, int result);
    static void OnMessage(mosquitto* client, void* self, const mosquitto_message* message);

    SBrokerOptions m_options;
    std::string m_clientId;
    mosquitto* m_client = nullptr;
    bool m_loopRunning = false;
    std::atomic<bool> m_connected{false};
    std::mutex m_stateLock; // with m_stateChanged, the wait for the clean disconnect
    std::condition_variable m_stateChanged;
    ConnectHandler m_onConnect;
    MessageHandler m_onMessage;
};

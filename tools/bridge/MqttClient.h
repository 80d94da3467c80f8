#pragma once

#include "BrokerOptions.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>

struct mosquitto;
struct mosquitto_message;

// One connection to the broker, driven by a thread of its own: it alone calls into libmosquitto
// (connect, read, write, keep-alive, publish), waiting in poll(2) on the socket and on a wake-up
// descriptor, and reconnects with a wait that doubles after every attempt that fails (one line on
// stderr each) and starts afresh once the broker has accepted a connection. Publish and Subscribe
// may be called from any thread: they hand the message over and answer false while the connection
// is down, so nothing stale waits in a queue; the owner republishes its state from the connect
// handler. On a slow link retained messages wait in the client, one per topic (a newer value replaces
// one not yet sent), while a bounded number is on its way unacknowledged.
class CMqttClient
{
public:
    // Both run on the client's thread; they may call Publish and Subscribe.
    using ConnectHandler = std::function<void()>;
    // retained: the broker kept the message and replays it to every new subscription.
    using MessageHandler =
        std::function<void(const std::string& topic, const std::string& payload, bool retained)>;

    CMqttClient(SBrokerOptions options, std::string clientId);
    ~CMqttClient();
    CMqttClient(const CMqttClient&) = delete;
    CMqttClient& operator=(const CMqttClient&) = delete;

    // The will is published by the broker when the connection ends without a clean disconnect.
    // Starts connecting and returns; false with a message when the client cannot be set up (bad TLS
    // files, no memory). A broker that is not there yet is only retried.
    bool Start(const std::string& willTopic, const std::string& willPayload, ConnectHandler onConnect,
               MessageHandler onMessage, std::string& error);
    // Sends what was handed over, waits (a bounded time) until the broker has acknowledged every
    // retained message, disconnects cleanly (no will) and ends the thread.
    void Stop();

    bool IsConnected() const { return m_connected.load(); }
    // Retained messages go out at QoS 1 as the convention recommends; events at QoS 0.
    bool Publish(const std::string& topic, const std::string& payload, bool retain);
    bool Subscribe(const std::string& filter);

private:
    struct SOutgoing
    {
        std::string topic;
        std::string payload;
        bool retain = false;
        bool subscribe = false;
    };

    void Run();
    bool Connect();
    void Serve();
    // Says why the attempt or the connection ended, and when the next attempt comes.
    void ReportFailure(std::chrono::milliseconds wait) const;
    std::string BrokerName() const;
    // One round of reading and writing on the socket, waiting up to timeout; false when it failed.
    bool Turn(std::chrono::milliseconds timeout);
    void Goodbye();
    void SendOutgoing();
    size_t OutgoingCount();
    void Wake();
    // Waits on the wake-up descriptor alone; true when stopping.
    bool Idle(std::chrono::milliseconds timeout);
    static void OnConnect(mosquitto* client, void* self, int result);
    static void OnDisconnect(mosquitto* client, void* self, int result);
    static void OnMessage(mosquitto* client, void* self, const mosquitto_message* message);

    SBrokerOptions m_options;
    std::string m_clientId;
    mosquitto* m_client = nullptr;
    int m_wakeFd = -1;
    std::set<int> m_unacknowledged; // ids of QoS 1 messages not yet acknowledged; the client's thread only
    bool m_accepted = false;        // the broker accepted this attempt's connection; the client's thread only
    std::string m_failure;          // why this attempt or connection ended; the client's thread only
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_stop{false};
    ConnectHandler m_onConnect;
    MessageHandler m_onMessage;
    std::mutex m_lock;                // guards m_outgoing
    std::deque<SOutgoing> m_outgoing; // at most one retained message per topic
    std::thread m_thread;
};

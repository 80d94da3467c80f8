#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct mosquitto;

// The test's own client: subscribes to "homie/5/#", keeps every message in order, publishes set
// requests, and waits for a topic's value with a deadline.
class CMqttWatcher
{
public:
    struct SMessage
    {
        std::string topic;
        std::string payload;
        bool retained = false;
    };

    explicit CMqttWatcher(int port);
    ~CMqttWatcher();
    CMqttWatcher(const CMqttWatcher&) = delete;
    CMqttWatcher& operator=(const CMqttWatcher&) = delete;

    // True once connected and subscribed (within the time-out).
    bool WaitConnected(int timeoutMs = 10000);
    bool Publish(const std::string& topic, const std::string& payload, bool retain = false);

    // The newest payload of the topic that satisfies accept, waiting up to timeoutMs for one that
    // arrives after `after` messages (0: any, also a retained one).
    std::optional<std::string> WaitFor(const std::string& topic,
                                       const std::function<bool(const std::string&)>& accept, int timeoutMs,
                                       size_t after = 0);
    std::optional<std::string> WaitFor(const std::string& topic, const std::string& payload, int timeoutMs,
                                       size_t after = 0);
    size_t Count();
    std::vector<SMessage> Messages();

private:
    mosquitto* m_client = nullptr;
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_subscribed = false;
    std::vector<SMessage> m_messages;
};

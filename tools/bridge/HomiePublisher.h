#pragma once

#include "HomieDevice.h"
#include "MqttClient.h"

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>

// One Homie device on the broker over a connection of its own, whose will sets the device's $state
// to "lost". It keeps the newest value of every property: a value is published when it changes (at
// most once per minimum interval, so a value that changes on every poll does not flood the broker)
// or when the period has passed since it was last sent, and after every (re)connection the
// description, the state and all current values are published again, so nothing stale is queued
// while the broker is away. Set requests the broker kept (retained) are not taken. Thread-safe.
class CHomiePublisher
{
public:
    enum class EState
    {
        Init,
        Ready,
        Disconnected,
        Alert // connected, but the unit does not answer or its readings are not current
    };
    // nodeId, propertyId, payload; runs on the network thread.
    using SetHandler = std::function<void(const std::string&, const std::string&, const std::string&)>;

    // Set requests reach onSet only when it is given; without it nothing is subscribed.
    CHomiePublisher(CHomieDevice device, SBrokerOptions broker, std::chrono::milliseconds period,
                    std::chrono::milliseconds minInterval, SetHandler onSet);
    ~CHomiePublisher();
    CHomiePublisher(const CHomiePublisher&) = delete;
    CHomiePublisher& operator=(const CHomiePublisher&) = delete;

    bool Start(std::string& error);
    // Publishes "disconnected" and leaves the broker cleanly.
    void Stop();

    // Only for the thread that calls Describe.
    const CHomieDevice& Device() const { return m_device; }
    // The same device with a changed description (new limits): published again at once.
    void Describe(CHomieDevice device);
    void SetState(EState state);
    // A retained property's newest value.
    void Update(const std::string& nodeId, const std::string& propertyId, const std::string& payload,
                std::chrono::steady_clock::time_point now);
    // A non-retained property: sent once now, or not at all while the broker is away.
    void Event(const std::string& nodeId, const std::string& propertyId, const std::string& payload);
    bool IsConnected() const { return m_client.IsConnected(); }

    static const char* StateName(EState state);

private:
    struct SValue
    {
        std::string payload;     // the newest
        std::string sentPayload; // the one last published
        std::chrono::steady_clock::time_point sent{};
        bool published = false;
    };

    void OnConnected();
    void OnMessage(const std::string& topic, const std::string& payload, bool retained);
    bool PublishLocked(const std::string& topic, const std::string& payload, bool retain);

    CHomieDevice m_device;
    std::chrono::milliseconds m_period;
    std::chrono::milliseconds m_minInterval;
    SetHandler m_onSet;
    bool m_retainedSetReported = false; // the client's thread only
    CMqttClient m_client;
    std::mutex m_lock; // guards the device, the state and the values
    EState m_state = EState::Init;
    std::map<std::string, SValue> m_values; // by topic
};

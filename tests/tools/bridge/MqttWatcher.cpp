#include "MqttWatcher.h"

#include <mosquitto.h>

CMqttWatcher::CMqttWatcher(int port)
{
    mosquitto_lib_init();
    m_client = mosquitto_new(nullptr, true, this);
    mosquitto_connect_callback_set(m_client,
                                   [](mosquitto* client, void*, int result)
                                   {
                                       if (result == 0)
                                           mosquitto_subscribe(client, nullptr, "homie/5/#", 1);
                                   });
    mosquitto_subscribe_callback_set(m_client,
                                     [](mosquitto*, void* self, int, int, const int*)
                                     {
                                         auto& watcher = *static_cast<CMqttWatcher*>(self);
                                         std::lock_guard guard(watcher.m_lock);
                                         watcher.m_subscribed = true;
                                         watcher.m_changed.notify_all();
                                     });
    mosquitto_message_callback_set(
        m_client,
        [](mosquitto*, void* self, const mosquitto_message* message)
        {
            auto& watcher = *static_cast<CMqttWatcher*>(self);
            std::string payload;
            if (message->payload && message->payloadlen > 0)
                payload.assign(static_cast<const char*>(message->payload),
                               static_cast<size_t>(message->payloadlen));
            std::lock_guard guard(watcher.m_lock);
            watcher.m_messages.push_back({message->topic, payload, message->retain});
            watcher.m_changed.notify_all();
        });
    mosquitto_reconnect_delay_set(m_client, 1, 1, false);
    mosquitto_connect_async(m_client, "127.0.0.1", port, 30);
    mosquitto_loop_start(m_client);
}

CMqttWatcher::~CMqttWatcher()
{
    mosquitto_disconnect(m_client);
    mosquitto_loop_stop(m_client, false);
    mosquitto_destroy(m_client);
}

bool CMqttWatcher::WaitConnected(int timeoutMs)
{
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_subscribed; });
}

bool CMqttWatcher::Publish(const std::string& topic, const std::string& payload, bool retain)
{
    return mosquitto_publish(m_client, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                             payload.data(), 1, retain) == MOSQ_ERR_SUCCESS;
}

std::optional<std::string> CMqttWatcher::WaitFor(const std::string& topic,
                                                 const std::function<bool(const std::string&)>& accept,
                                                 int timeoutMs, size_t after)
{
    std::optional<std::string> found;
    std::unique_lock lock(m_lock);
    m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [&]
                       {
                           for (size_t index = m_messages.size(); index > after; --index)
                           {
                               const SMessage& message = m_messages[index - 1];
                               if (message.topic != topic)
                                   continue;
                               if (accept(message.payload))
                                   found = message.payload;
                               return found.has_value();
                           }
                           return false;
                       });
    return found;
}

std::optional<std::string> CMqttWatcher::WaitFor(const std::string& topic, const std::string& payload,
                                                 int timeoutMs, size_t after)
{
    return WaitFor(
        topic, [&payload](const std::string& text) { return text == payload; }, timeoutMs, after);
}

size_t CMqttWatcher::Count()
{
    std::lock_guard guard(m_lock);
    return m_messages.size();
}

std::vector<CMqttWatcher::SMessage> CMqttWatcher::Messages()
{
    std::lock_guard guard(m_lock);
    return m_messages;
}

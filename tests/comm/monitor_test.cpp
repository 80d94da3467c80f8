#include "FakeDeviceTree.h"
#include "comm/DeviceMonitor.h"

#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <utility>
#include <vector>

namespace
{
using Event = std::pair<std::string, EDeviceChange>;

// Collects the monitor's notices; tests wait for a count with a deadline.
class Notices
{
public:
    CDeviceMonitor::Callback Callback()
    {
        return [this](const std::string& path, EDeviceChange change)
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_events.emplace_back(path, change);
            m_changed.notify_all();
        };
    }

    std::vector<Event> WaitFor(size_t count, int timeoutMs = 10000)
    {
        std::unique_lock<std::mutex> guard(m_lock);
        m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                           [&] { return m_events.size() >= count; });
        return m_events;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Event> m_events;
};

TEST(DeviceMonitor, RescanReportsArrivalAndRemoval)
{
    FakeDeviceTree tree;
    tree.Plug({.name = "ttyUSB0", .usbProduct = "Adapter"});
    Notices notices;
    CDeviceMonitor monitor(notices.Callback(), tree.Roots(), 20);
    ASSERT_TRUE(monitor.Start());
    EXPECT_EQ(monitor.Source(), "rescan"); // fake roots: the system's notices would not match them

    tree.Plug({.name = "ttyACM0", .usbProduct = "K760"});
    auto events = notices.WaitFor(1);
    ASSERT_EQ(events.size(), 1u); // the device present at the start is no news
    EXPECT_EQ(events[0], Event(tree.NodePath("ttyACM0"), EDeviceChange::Arrival));

    tree.Unplug("ttyUSB0");
    events = notices.WaitFor(2);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1], Event(tree.NodePath("ttyUSB0"), EDeviceChange::Removal));
    monitor.Stop();
    EXPECT_FALSE(monitor.IsRunning());
}

// A stop that waited for the rescan interval would hang here for ten minutes and fail by time-out.
TEST(DeviceMonitor, StopWakesTheThreadAndStartsAgain)
{
    FakeDeviceTree tree;
    Notices notices;
    CDeviceMonitor monitor(notices.Callback(), tree.Roots(), 600000);
    ASSERT_TRUE(monitor.Start());
    monitor.Stop();
    ASSERT_TRUE(monitor.Start());
    tree.Plug({.name = "ttyUSB0", .usbProduct = "Adapter"});
    monitor.Stop();
    EXPECT_TRUE(notices.WaitFor(1, 0).empty());
}

TEST(DeviceMonitor, SystemRootsListenToASourceOfTheSystem)
{
    Notices notices;
    CDeviceMonitor monitor(notices.Callback(), SDeviceRoots(), 600000);
    ASSERT_TRUE(monitor.Start());
    EXPECT_TRUE(monitor.Source() == "udev" || monitor.Source() == "kernel" || monitor.Source() == "rescan");
    monitor.Stop();
}
} // namespace

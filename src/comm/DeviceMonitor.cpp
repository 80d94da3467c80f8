#include "comm/DeviceMonitor.h"

#include "comm/PortDiscoveryError.h"
#include "comm/SerialDeviceScan.h"

#include <cstdint>
#include <filesystem>
#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace
{
std::set<std::string> PresentDevices(const SDeviceRoots& roots)
{
    std::set<std::string> paths;
    for (const SSerialDevice& device : ScanSerialDevices(roots))
        paths.insert(device.devicePath);
    return paths;
}
} // namespace

CDeviceMonitor::CDeviceMonitor(Callback callback, SDeviceRoots roots, int rescanMs)
    : m_callback(std::move(callback)), m_roots(std::move(roots)), m_rescanMs(rescanMs)
{
}

CDeviceMonitor::~CDeviceMonitor()
{
    Stop();
}

bool CDeviceMonitor::Start()
{
    if (IsRunning())
        return true;
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0)
        return false;
    m_source = m_roots.IsSystem() && OpenUdevSource() ? m_source : "rescan";
    try
    {
        m_present = PresentDevices(m_roots);
    }
    catch (const CPortDiscoveryError&)
    {
        m_present.clear(); // the devices that show up later are reported as arrivals
    }
    m_stop = false;
    m_thread = std::thread(&CDeviceMonitor::Run, this);
    return true;
}

void CDeviceMonitor::Stop()
{
    if (!IsRunning())
        return;
    m_stop = true;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof one);
    m_thread.join();
    CloseUdevSource();
    close(m_wakeFd);
    m_wakeFd = -1;
}

void CDeviceMonitor::Run()
{
    pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {-1, POLLIN, 0}};
    if (m_udevMonitor != nullptr)
        fds[1].fd = udev_monitor_get_fd(m_udevMonitor);
    while (!m_stop)
    {
        fds[1].revents = 0;
        const int ready = poll(fds, 2, m_rescanMs);
        if (m_stop)
            break;
        if (ready > 0 && (fds[1].revents & POLLIN) != 0)
            DrainUdevSource();
        if (ready >= 0)
            Rescan();
    }
}

void CDeviceMonitor::Rescan()
{
    std::set<std::string> now;
    try
    {
        now = PresentDevices(m_roots);
    }
    catch (const CPortDiscoveryError&)
    {
        return; // keep the last known set; the next scan may succeed
    }
    for (const std::string& path : m_present)
    {
        if (now.count(path) == 0 && !m_stop)
            m_callback(path, EDeviceChange::Removal);
    }
    for (const std::string& path : now)
    {
        if (m_present.count(path) == 0 && !m_stop)
            m_callback(path, EDeviceChange::Arrival);
    }
    m_present.swap(now);
}

// The "udev" source carries notices only when a udev daemon runs (it leaves its control socket);
// otherwise the kernel's own notices are the next best thing.
bool CDeviceMonitor::OpenUdevSource()
{
    m_udev = udev_new();
    if (m_udev == nullptr)
        return false;
    std::error_code error;
    const char* source = std::filesystem::exists("/run/udev/control", error) ? "udev" : "kernel";
    m_udevMonitor = udev_monitor_new_from_netlink(m_udev, source);
    if (m_udevMonitor != nullptr &&
        udev_monitor_filter_add_match_subsystem_devtype(m_udevMonitor, "tty", nullptr) >= 0 &&
        udev_monitor_enable_receiving(m_udevMonitor) >= 0)
    {
        m_source = source;
        return true;
    }
    CloseUdevSource();
    return false;
}

void CDeviceMonitor::CloseUdevSource()
{
    if (m_udevMonitor != nullptr)
        udev_monitor_unref(m_udevMonitor);
    if (m_udev != nullptr)
        udev_unref(m_udev);
    m_udevMonitor = nullptr;
    m_udev = nullptr;
}

// The notices only say that something changed; the rescan that follows finds out what.
void CDeviceMonitor::DrainUdevSource()
{
    while (udev_device* device = udev_monitor_receive_device(m_udevMonitor))
        udev_device_unref(device);
}

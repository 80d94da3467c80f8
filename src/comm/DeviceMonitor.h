#pragma once

#include "comm/DeviceRoots.h"

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <thread>

enum class EDeviceChange
{
    Arrival,
    Removal
};

// Reports serial devices that arrive or go away, on a thread of its own.
//
// With the system's roots it listens to udev's "tty" notices (the "udev" source when a udev daemon
// runs, else the kernel's own); a notice only wakes it, and a rescan of the devices decides what
// changed, so nothing is reported twice. The rescan also runs every rescanMs, because in a container
// the kernel source opens but never hears anything, and it is all there is when no source opens.
class CDeviceMonitor
{
public:
    using Callback = std::function<void(const std::string& devicePath, EDeviceChange change)>;

    // The callback runs on the monitor's thread; it must not throw and must not call Stop.
    explicit CDeviceMonitor(Callback callback, SDeviceRoots roots = {}, int rescanMs = 3000);
    ~CDeviceMonitor();
    CDeviceMonitor(const CDeviceMonitor&) = delete;
    CDeviceMonitor& operator=(const CDeviceMonitor&) = delete;

    // Takes the present devices as the starting point, so every change after the return is reported.
    // False when the thread could not be set up.
    bool Start();
    // Returns promptly, also while a rescan interval is running. The callback is not called after.
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }
    // "udev", "kernel" or "rescan": what the running monitor listens to.
    std::string Source() const { return m_source; }

private:
    void Run();
    void Rescan();
    bool OpenUdevSource();
    void CloseUdevSource();
    void DrainUdevSource();

    Callback m_callback;
    SDeviceRoots m_roots;
    int m_rescanMs;
    std::string m_source = "rescan";
    std::set<std::string> m_present; // device paths; touched by the monitor thread only once started
    int m_wakeFd = -1;
    struct udev* m_udev = nullptr;
    struct udev_monitor* m_udevMonitor = nullptr;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

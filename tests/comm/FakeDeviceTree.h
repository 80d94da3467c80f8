#pragma once

#include "comm/DeviceRoots.h"

#include <string>

// A fake sysfs, /dev and udev database in a temporary folder, laid out as the kernel does for tty
// devices: <sys>/class/tty/<name>/{dev,uevent,type,device -> the device's folder}, the node under
// <dev>, a by-id link under <dev>/serial/by-id and the udev file <udev>/c<major>:<minor>.
class FakeDeviceTree
{
public:
    struct Tty
    {
        std::string name{};           // "ttyUSB0"
        std::string usbProduct{};     // non-empty: the device sits below a USB device with this product
        std::string udevProperties{}; // "KEY=VALUE" lines; empty: no udev data
        std::string byId{};           // link name under serial/by-id; empty: no link
        std::string subsystem = "platform";
        std::string uartType{}; // non-empty: a serial-core port with this UART type ("0" = empty slot)
    };

    FakeDeviceTree();
    ~FakeDeviceTree();
    FakeDeviceTree(const FakeDeviceTree&) = delete;
    FakeDeviceTree& operator=(const FakeDeviceTree&) = delete;

    SDeviceRoots Roots() const;
    const std::string& Root() const { return m_root; }
    std::string NodePath(const std::string& name) const { return m_root + "/dev/" + name; }
    std::string ByIdPath(const std::string& link) const { return m_root + "/dev/serial/by-id/" + link; }

    void Plug(const Tty& tty);
    // Removes everything the device left in the tree, as an unplugged adapter does.
    void Unplug(const std::string& name, const std::string& byId = {});

private:
    std::string m_root;
    int m_minor = 0;
};

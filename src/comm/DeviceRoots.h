#pragma once

#include <string>

// Where device information is read from. Tests point these at fake trees in a temporary folder.
struct SDeviceRoots
{
    std::string sysRoot = "/sys";
    std::string devRoot = "/dev";
    std::string udevDataRoot = "/run/udev/data"; // udev's database: one file per device, "c<major>:<minor>"

    bool IsSystem() const
    {
        return sysRoot == "/sys" && devRoot == "/dev" && udevDataRoot == "/run/udev/data";
    }
};

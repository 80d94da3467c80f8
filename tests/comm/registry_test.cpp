#include "FakeDeviceTree.h"
#include "comm/EnumerateComPorts.h"
#include "comm/PortRegistry.h"
#include "diag/IniProfile.h"
#include "diag/MemoryProfile.h"
#include "support/PtyPair.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

namespace
{
const char* const Link = "usb-Tamrix_K760_S0042-if00-port0";

std::vector<SSerInfo> Enumerate(const FakeDeviceTree& tree, CPortRegistry& registry)
{
    std::vector<SSerInfo> ports;
    EnumerateComPorts(ports, tree.Roots(), registry);
    return ports;
}

TEST(PortRegistry, ReplugggedDeviceKeepsItsNumberUnderAnotherNodeName)
{
    FakeDeviceTree tree;
    CMemoryProfile profile;
    CPortRegistry registry(profile);
    tree.Plug({.name = "ttyUSB0", .usbProduct = "Other adapter"});
    tree.Plug({.name = "ttyUSB1", .usbProduct = "K760", .byId = Link});
    ASSERT_EQ(Enumerate(tree, registry).at(1).portNumber, 2);

    tree.Unplug("ttyUSB1", Link);
    EXPECT_FALSE(registry.IsPresent(2));
    tree.Unplug("ttyUSB0");
    tree.Plug({.name = "ttyUSB0", .usbProduct = "K760", .byId = Link});

    const auto ports = Enumerate(tree, registry);
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].portNumber, 2);
    EXPECT_EQ(ports[0].devicePath, tree.NodePath("ttyUSB0"));
    EXPECT_EQ(registry.Resolve(2), tree.ByIdPath(Link)); // the link follows the device to its new node
}

TEST(PortRegistry, NewDevicesTakeTheLowestNumbersNobodyHolds)
{
    CMemoryProfile profile;
    CPortRegistry registry(profile);
    ASSERT_EQ(registry.NumberFor("/dev/serial/by-id/a", "/dev/ttyUSB0"), 1); // now unplugged, still holds 1
    ASSERT_TRUE(registry.Register(2, "/dev/pts/7"));

    EXPECT_EQ(registry.NumberFor("/dev/serial/by-id/b", "/dev/ttyUSB0"), 3);
    EXPECT_EQ(registry.NumberFor("/dev/ttyS0", "/dev/ttyS0"), 4);
    EXPECT_EQ(registry.NumberFor("/dev/serial/by-id/b", "/dev/ttyUSB5"), 3);
    // a device registered explicitly goes by its explicit number
    EXPECT_EQ(registry.NumberFor("/dev/serial/by-id/c", "/dev/pts/7"), 2);
}

TEST(PortRegistry, NumberIsTrustedOnlyWhileItsReverseEntryNamesTheDevice)
{
    CMemoryProfile profile;
    // a half-finished write or a hand edit: the device claims 4, but COM4 belongs to someone else
    profile.WriteInt(CPortRegistry::Section, "/dev/serial/by-id/x", 4);
    profile.WriteString(CPortRegistry::Section, "COM4", "/dev/serial/by-id/y");
    CPortRegistry registry(profile);
    EXPECT_EQ(registry.NumberFor("/dev/serial/by-id/x", "/dev/ttyUSB0"), 1);
    EXPECT_EQ(registry.NumberFor("/dev/serial/by-id/y", "/dev/ttyUSB1"), 4);
}

TEST(PortRegistry, NumbersPersistAcrossInstancesAndOddIdentitiesSurviveTheFile)
{
    FakeDeviceTree tree;
    const std::string file = tree.Root() + "/config/Tamrix Control.ini";
    const std::string odd = tree.Root() + "/dev/serial/by-id/usb-Maker_A=B[2]%41-if00";
    {
        CIniProfile profile(file);
        CPortRegistry registry(profile);
        EXPECT_EQ(registry.NumberFor(tree.Root() + "/dev/ttyS0", tree.Root() + "/dev/ttyS0"), 1);
        EXPECT_EQ(registry.NumberFor(odd, tree.Root() + "/dev/ttyUSB0"), 2);
    }
    tree.Plug({.name = "ttyUSB0", .usbProduct = "K760", .byId = "usb-Maker_A=B[2]%41-if00"});

    // another process: nothing scanned yet, yet COM2 opens the device
    CIniProfile profile(file);
    CPortRegistry registry(profile);
    EXPECT_EQ(registry.Resolve(2), odd);
    EXPECT_TRUE(registry.IsPresent(2));
    EXPECT_FALSE(registry.IsPresent(1)); // remembered, but not plugged in
    EXPECT_EQ(registry.NumberFor(odd, tree.Root() + "/dev/ttyUSB0"), 2);
    EXPECT_EQ(registry.NumberFor(tree.Root() + "/dev/ttyS0", tree.Root() + "/dev/ttyS0"), 1);
}

TEST(PortRegistry, ANumberGivenWhileTheStoreIsLockedSaysSo)
{
    FakeDeviceTree tree;
    const std::string file = tree.Root() + "/Tamrix Control.ini";
    const int holder = open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    CIniProfile profile(file);
    profile.SetLockWait(std::chrono::milliseconds(100));
    CPortRegistry registry(profile);
    EXPECT_FALSE(registry.StoreLocked());
    EXPECT_EQ(registry.NumberFor(tree.Root() + "/dev/ttyS0", tree.Root() + "/dev/ttyS0"), 1);
    EXPECT_TRUE(registry.StoreLocked());
    close(holder);
    EXPECT_EQ(registry.NumberFor(tree.Root() + "/dev/ttyS1", tree.Root() + "/dev/ttyS1"), 2);
    EXPECT_FALSE(registry.StoreLocked());
}

TEST(PortRegistry, ExplicitEntriesResolveUntilUnregistered)
{
    PtyPair pty;
    CMemoryProfile profile;
    CPortRegistry registry(profile);
    EXPECT_FALSE(registry.Register(0, pty.SlavePath()));
    EXPECT_FALSE(registry.Register(256, pty.SlavePath()));
    EXPECT_FALSE(registry.Register(5, ""));

    ASSERT_TRUE(registry.Register(5, pty.SlavePath()));
    EXPECT_EQ(registry.Resolve(5), pty.SlavePath());
    EXPECT_TRUE(registry.IsPresent(5));
    registry.Unregister(5);
    EXPECT_EQ(registry.Resolve(5), "");
    EXPECT_FALSE(registry.IsPresent(5));
    EXPECT_EQ(profile.GetString(CPortRegistry::Section, "COM5"), ""); // explicit entries stay in the process
}
} // namespace

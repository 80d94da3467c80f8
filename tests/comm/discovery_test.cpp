#include "FakeDeviceTree.h"
#include "comm/EnumerateComPorts.h"
#include "comm/PortDiscoveryError.h"
#include "comm/PortRegistry.h"
#include "diag/MemoryProfile.h"
#include "support/PtyPair.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace
{
struct CompletionRow
{
    SSerInfo in;
    int portNumber;
    std::string portName;
    std::string friendlyName;
    std::string description;
};

void PrintTo(const CompletionRow& row, std::ostream* out)
{
    *out << '"' << row.in.friendlyName << "\" / \"" << row.in.description << '"';
}

class Completion : public testing::TestWithParam<CompletionRow>
{
};

TEST_P(Completion, FillsNumberNameAndDescription)
{
    SSerInfo port = GetParam().in;
    CompleteSerInfo(port);
    EXPECT_EQ(port.portNumber, GetParam().portNumber);
    EXPECT_EQ(port.portName, GetParam().portName);
    EXPECT_EQ(port.friendlyName, GetParam().friendlyName);
    EXPECT_EQ(port.description, GetParam().description);
}

SSerInfo Info(std::string friendlyName, std::string description, std::string portName = {})
{
    SSerInfo port;
    port.friendlyName = std::move(friendlyName);
    port.description = std::move(description);
    port.portName = std::move(portName);
    return port;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Completion,
    testing::Values(
        // the number follows "(COM"; the friendly name stays whole
        CompletionRow{Info("CP2102 USB to UART Bridge Controller (COM7)", "CP2102"), 7, "COM7",
                      "CP2102 USB to UART Bridge Controller (COM7)", "CP2102"},
        // no "(COM": no number, the port name is left as it was
        CompletionRow{Info("Serial Port", "Serial Port", "ttyS0"), 0, "ttyS0", "Serial Port", "Serial Port"},
        // an empty description comes from the friendly name cut before " ("
        CompletionRow{Info("Pseudo Port (COM12)", ""), 12, "COM12", "Pseudo Port (COM12)", "Pseudo Port"},
        // ... but not when " (" opens the text or the text does not end in ")"
        CompletionRow{Info(" (COM3)", ""), 3, "COM3", " (COM3)", " (COM3)"},
        CompletionRow{Info("Port (COM3) extra", ""), 3, "COM3", "Port (COM3) extra", "Port (COM3) extra"},
        // an empty friendly name takes the port name
        CompletionRow{Info("", "", "COM5"), 0, "COM5", "COM5", "COM5"},
        // "(COM" without digits gives no number
        CompletionRow{Info("Odd (COMx)", "Odd"), 0, "", "Odd (COMx)", "Odd"}));

SSerInfo Numbered(int number, std::string path)
{
    SSerInfo port;
    port.portNumber = number;
    port.devicePath = std::move(path);
    return port;
}

std::vector<std::string> Paths(const std::vector<SSerInfo>& ports)
{
    std::vector<std::string> paths;
    for (const SSerInfo& port : ports)
        paths.push_back(port.devicePath);
    return paths;
}

TEST(SortSerInfo, NumberedInOrderThenUnnumberedAsFoundAndAbove255Dropped)
{
    std::vector<SSerInfo> ports{Numbered(12, "c12"),     Numbered(0, "first"), Numbered(3, "c3"),
                                Numbered(256, "c256"),   Numbered(4, "c4"),    Numbered(0, "second"),
                                Numbered(3, "c3-again"), Numbered(255, "c255")};
    SortSerInfo(ports);
    EXPECT_EQ(Paths(ports),
              (std::vector<std::string>{"c3", "c3-again", "c4", "c12", "c255", "first", "second"}));
}

TEST(IsUsbPort, LocationFirstDescriptionWithoutLocationAndTheBridgeRule)
{
    EXPECT_TRUE(IsUsbPort("usb", "Serial Port"));
    EXPECT_TRUE(IsUsbPort("USB-1.2", "Anything"));
    EXPECT_TRUE(IsUsbPort("", "usb serial adapter"));
    EXPECT_FALSE(IsUsbPort("pci", "USB serial adapter")); // the description counts only without location
    EXPECT_FALSE(IsUsbPort("platform", "Serial Port"));
    EXPECT_TRUE(IsUsbPort("pci", "cp2105 Dual UART Bridge"));
    EXPECT_FALSE(IsUsbPort("", "CP21"));
}

class DiscoveryOnFakeTree : public testing::Test
{
protected:
    // A device's number as the registry would have remembered it from an earlier run.
    void Remember(const std::string& identity, int number)
    {
        profile.WriteString(CPortRegistry::Section, "COM" + std::to_string(number), identity);
        profile.WriteInt(CPortRegistry::Section, identity, number);
    }

    std::vector<SSerInfo> Enumerate()
    {
        std::vector<SSerInfo> ports;
        EnumerateComPorts(ports, tree.Roots(), registry);
        return ports;
    }

    FakeDeviceTree tree;
    CMemoryProfile profile;
    CPortRegistry registry{profile};
};

TEST_F(DiscoveryOnFakeTree, UsbPortWithUdevDataCarriesItsRememberedNumber)
{
    tree.Plug({.name = "ttyUSB0",
               .usbProduct = "ignored when udev knows the model",
               .udevProperties = "ID_BUS=usb\nID_MODEL_FROM_DATABASE=FT232 Serial (UART) IC\nID_VENDOR=FTDI",
               .byId = "usb-FTDI_FT232R_A123-if00-port0"});
    Remember(tree.ByIdPath("usb-FTDI_FT232R_A123-if00-port0"), 7);

    const auto ports = Enumerate();
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].portNumber, 7);
    EXPECT_EQ(ports[0].portName, "COM7");
    EXPECT_EQ(ports[0].friendlyName, "FT232 Serial (UART) IC (COM7)");
    EXPECT_EQ(ports[0].description, "FT232 Serial (UART) IC");
    EXPECT_TRUE(ports[0].isUsb);
    EXPECT_EQ(ports[0].devicePath, tree.NodePath("ttyUSB0"));
}

TEST_F(DiscoveryOnFakeTree, WithoutUdevDataTheUsbDescriptorAndBusStillCount)
{
    tree.Plug({.name = "ttyACM0", .usbProduct = "Tamrix K760"});
    tree.Plug({.name = "ttyAMA0"});
    tree.Plug({.name = "ttyUSB3", .udevProperties = "ID_MODEL_ENC=CP2105\\x20Dual\\x20UART\\x20\\x20"});

    const auto ports = Enumerate();
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].description, "Tamrix K760");
    EXPECT_TRUE(ports[0].isUsb);
    EXPECT_EQ(ports[1].description, "Serial Port");
    EXPECT_FALSE(ports[1].isUsb);
    // not below a USB device and no bus from udev: USB by the bridge's name alone
    EXPECT_EQ(ports[2].description, "CP2105 Dual UART");
    EXPECT_TRUE(ports[2].isUsb);
}

TEST_F(DiscoveryOnFakeTree, NumbersComeInOrderAndUnnumberedPortsLast)
{
    for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyUSB3"})
        tree.Plug({.name = name, .usbProduct = "Adapter"});
    Remember(tree.NodePath("ttyUSB0"), 12);
    Remember(tree.NodePath("ttyUSB1"), 3);
    Remember(tree.NodePath("ttyUSB2"), 4);
    // every other number belongs to devices seen before: the newcomer gets none
    for (int number = 1; number <= CPortRegistry::MaxPort; ++number)
    {
        if (number != 3 && number != 4 && number != 12)
            Remember("/dev/serial/by-id/elsewhere-" + std::to_string(number), number);
    }

    const auto ports = Enumerate();
    ASSERT_EQ(ports.size(), 4u);
    EXPECT_EQ(ports[0].portName, "COM3");
    EXPECT_EQ(ports[1].portName, "COM4");
    EXPECT_EQ(ports[2].portName, "COM12");
    EXPECT_EQ(ports[3].portNumber, 0);
    EXPECT_EQ(ports[3].friendlyName, "Adapter");
    EXPECT_EQ(ports[3].devicePath, tree.NodePath("ttyUSB3"));
}

TEST_F(DiscoveryOnFakeTree, EmptyUartSlotsAndConsolesAreNoPorts)
{
    tree.Plug({.name = "ttyS0", .uartType = "4"});
    tree.Plug({.name = "ttyS1", .uartType = "0"});
    std::filesystem::create_directories(tree.Root() + "/sys/class/tty/tty1"); // no device behind it

    const auto ports = Enumerate();
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].devicePath, tree.NodePath("ttyS0"));
    EXPECT_EQ(ports[0].portName, "COM1");
}

TEST_F(DiscoveryOnFakeTree, RegisteredPseudoTerminalIsListedAsItsPort)
{
    PtyPair pty;
    tree.Plug({.name = "ttyUSB0", .usbProduct = "Adapter"});
    ASSERT_TRUE(registry.Register(9, pty.SlavePath()));
    ASSERT_TRUE(registry.Register(10, tree.Root() + "/dev/gone"));

    const auto ports = Enumerate();
    ASSERT_EQ(ports.size(), 2u); // the entry whose path does not exist is not present
    EXPECT_EQ(ports[0].portNumber, 1);
    EXPECT_EQ(ports[1].portNumber, 9);
    EXPECT_EQ(ports[1].portName, "COM9");
    EXPECT_EQ(ports[1].devicePath, pty.SlavePath());
    EXPECT_EQ(ports[1].description, pty.SlavePath());
    EXPECT_FALSE(ports[1].isUsb);
}

TEST_F(DiscoveryOnFakeTree, UnreadableDeviceFolderRaisesAndKeepsThePreviousList)
{
    std::vector<SSerInfo> ports{Numbered(2, "previous")};
    SDeviceRoots roots = tree.Roots();
    roots.sysRoot += "/missing";
    try
    {
        EnumerateComPorts(ports, roots, registry);
        FAIL() << "no exception";
    }
    catch (const CPortDiscoveryError& error)
    {
        EXPECT_EQ(std::string(error.what()), "Could not read from " + roots.sysRoot + "/class/tty. (err=2)");
    }
    EXPECT_EQ(Paths(ports), std::vector<std::string>{"previous"});
}
} // namespace

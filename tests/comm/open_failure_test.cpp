// A channel that does not open says why: each cause a person at the instrument would act on
// differently is told apart, for serial devices and for network hosts alike.
#include "comm/PortDescriptor.h"
#include "comm/PortReservation.h"
#include "comm/PortResolver.h"
#include "comm/Serial.h"
#include "comm/SerialRS232.h"
#include "diag/TempDir.h"
#include "support/LoopbackServer.h"
#include "support/PtyPair.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
EOpenFailure FailureOpening(const std::string& path)
{
    CSerialRS232 channel;
    EXPECT_FALSE(channel.OpenPortByName(path, 9600)) << path;
    return channel.GetLastOpenFailure();
}
} // namespace

TEST(OpenFailure, SerialDevicesNameTheirCause)
{
    TempDir dir;
    const std::string regular = dir.File("regular");
    std::ofstream(regular) << "not a port";
    const std::string dangling = dir.File("dangling");
    std::filesystem::create_symlink(dir.File("gone"), dangling);
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    EXPECT_EQ(FailureOpening(dir.File("missing")), EOpenFailure::NoSuchPort);
    EXPECT_EQ(FailureOpening(dangling), EOpenFailure::NoSuchPort);
    EXPECT_EQ(FailureOpening(regular), EOpenFailure::NotATerminal);
    EXPECT_EQ(FailureOpening(fifo), EOpenFailure::NotATerminal);
    EXPECT_EQ(FailureOpening(dir.Path()), EOpenFailure::NotATerminal);
    if (::geteuid() != 0)
    {
        ::chmod(regular.c_str(), 0);
        EXPECT_EQ(FailureOpening(regular), EOpenFailure::PermissionDenied);
    }

    PtyPair pty;
    CSerialRS232 holder;
    ASSERT_TRUE(holder.OpenPortByName(pty.SlavePath(), 9600));
    EXPECT_EQ(holder.GetLastOpenFailure(), EOpenFailure::None);
    EXPECT_EQ(FailureOpening(pty.SlavePath()), EOpenFailure::InUse);
}

TEST(OpenFailure, TheCommandPortPassesOnItsChannelsCause)
{
    CSerial port;
    EXPECT_FALSE(port.OpenDescriptor("COM:250:0")) << "nothing registered as 250";
    EXPECT_EQ(port.GetLastOpenFailure(), EOpenFailure::NoSuchPort);
    EXPECT_FALSE(port.OpenDescriptor("LPT:1:0"));
    EXPECT_EQ(port.GetLastOpenFailure(), EOpenFailure::BadDescriptor);
    EXPECT_FALSE(port.OpenDescriptor("TCP:no.such.host.invalid:15999"));
    EXPECT_EQ(port.GetLastOpenFailure(), EOpenFailure::HostNotFound);

    PtyPair pty;
    ASSERT_TRUE(CPortResolver::Register(251, pty.SlavePath()));
    EXPECT_TRUE(port.OpenDescriptor("COM:251:9600"));
    EXPECT_EQ(port.GetLastOpenFailure(), EOpenFailure::None) << "a good open clears the last cause";
    port.Close();
    CPortResolver::Unregister(251);
}

TEST(OpenFailure, ARefusedConnectionIsKnownRightAfterTheOpen)
{
    LoopbackServer refusing(LoopbackServer::Mode::Refusing);
    CSerial port;
    // The open itself succeeds: a connection still being made shows at the first send.
    port.OpenDescriptor("TCP:127.0.0.1:" + std::to_string(refusing.Port()));
    EXPECT_EQ(port.GetLastOpenFailure(), EOpenFailure::ConnectionRefused);
    // Once the sends have given up, the closed channel still says why.
    port.Write("X\n", 2);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.GetLastOpenFailure(), EOpenFailure::ConnectionRefused);

    LoopbackServer listening;
    EXPECT_TRUE(port.OpenDescriptor("TCP:127.0.0.1:" + std::to_string(listening.Port())));
    EXPECT_EQ(port.GetLastOpenFailure(), EOpenFailure::None);
}

TEST(OpenFailure, DescriptorsTypedByAPersonMustBeExact)
{
    for (const char* good : {"COM:1:0", "COM:3:9600", "COM:255:0", "TCP:127.0.0.1:10001",
                             "TCP:lab-unit.example:23", "TCP:h:65535"})
        EXPECT_TRUE(PortDescriptor::ParseExact(good)) << good;
    // Numbers are plain digits in their range: a port 1 to 255, a TCP port 1 to 65535, no sign.
    for (const char* bad :
         {"COM:1:abc",   "COM:1:0:extra", "TCP:host:12x",        "TCP:host:12:", "COM:1:",    "COM::0",
          "COM:1:0 ",    "TCP::10001",    "tcp:host:1",          "COM:--1:0",    "COM:1:+",   "",
          "COM",         "COM:-1:0",      "COM:99999:0",         "COM:+93:0",    "COM:-93:0", "COM:0:0",
          "COM:3:-9600", "COM:3:+9600",   "TCP:127.0.0.1:99999", "TCP:h:0",      "TCP:h:+23", "TCP:h:-23"})
        EXPECT_FALSE(PortDescriptor::ParseExact(bad)) << bad;
}

TEST(PortReservation, HoldsThePortForThisProcessOnlyAcrossItsOwnOpens)
{
    PtyPair pty;
    ASSERT_TRUE(CPortResolver::Register(252, pty.SlavePath()));
    const std::string takeFromOutside = "flock -n " + pty.SlavePath() + " true";
    {
        CPortReservation reservation;
        ASSERT_EQ(reservation.Reserve(252), EOpenFailure::None);
        // Detection, then connect: each opens the port on its own, and both get it.
        for (int open = 0; open < 2; ++open)
        {
            CSerialRS232 channel;
            EXPECT_TRUE(channel.OpenPort(252, 9600)) << open;
            // Between and during those opens another program finds the port in use.
            EXPECT_NE(std::system(takeFromOutside.c_str()), 0);
        }
        CPortReservation second;
        EXPECT_EQ(second.Reserve(252), EOpenFailure::InUse) << "a reservation is exclusive";
    }
    EXPECT_EQ(std::system(takeFromOutside.c_str()), 0) << "released with the reservation";

    // The connected channel keeps the port locked once its reservation has ended.
    CSerialRS232 connected;
    {
        CPortReservation reservation;
        ASSERT_EQ(reservation.Reserve(252), EOpenFailure::None);
        ASSERT_TRUE(connected.OpenPort(252, 9600));
    }
    EXPECT_NE(std::system(takeFromOutside.c_str()), 0) << "another program takes a connected port";
    CPortReservation secondPanel;
    EXPECT_EQ(secondPanel.Reserve(252), EOpenFailure::InUse) << "another panel takes a connected port";
    connected.Close();
    EXPECT_EQ(secondPanel.Reserve(252), EOpenFailure::None) << "released with the channel";
    secondPanel.Release();
    CPortReservation none;
    EXPECT_EQ(none.Reserve(253), EOpenFailure::NoSuchPort);
    CPortResolver::Unregister(252);
}

#pragma once

// Why a channel could not be opened, or why the connection of an open network channel did not come
// up. Kept by the channel for its caller: a port in use, a port that does not exist and a host that
// refuses are different problems for the person at the instrument.
enum class EOpenFailure : int
{
    None = 0,
    BadDescriptor,     // not "COM:<port>:<baud>" or "TCP:<host>:<port>"
    NoSuchPort,        // no device behind the number or path (never was, or unplugged)
    NotATerminal,      // a file or device that is no serial line
    PermissionDenied,  // the user may not open the device
    InUse,             // another panel or program holds the port
    LineSettings,      // the device refused the baud rate or line settings
    SocketUnavailable, // no socket could be created
    HostNotFound,      // the host name does not resolve
    ConnectionRefused, // nothing listens on that TCP port
    Unreachable,       // no route to the host or its network
    TimedOut,          // the host did not answer the connection
    Other              // any other system error
};

// The cause in a few words, for messages ("no such port", "connection refused"); "" for None.
const char* DescribeOpenFailure(EOpenFailure failure);
// The cause an errno value of open(2), flock(2), termios or connect(2) stands for.
EOpenFailure OpenFailureOfErrno(int error);

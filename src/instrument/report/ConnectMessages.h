#pragma once

#include "comm/OpenFailure.h"
#include "comm/PortDescriptor.h"

#include <string>

// The system's messages for a connection that does not come about, for every front end that connects.
namespace ConnectMessages
{
inline constexpr const char* CouldNotOpen =
    "Could not open COM port, it is already in use by another panel or program.";
inline constexpr const char* LostCommunications = "Lost communications with the instrument, disconnecting.";
inline constexpr const char* NoSocket = "Unable to create TCP/IP socket";
inline constexpr const char* CouldNotConnectTcp = "Unable to connect to TCP/IP port";
inline constexpr const char* UnreadableIdentity =
    "A device answered, but its identification reply could not be read.";
inline constexpr const char* NoController = "No Tamrix Instruments controller was detected.";
inline constexpr const char* UnknownType = "An unknown controller type was detected.";
inline constexpr const char* CouldNotConnect =
    "Could not connect to instrument. The port was in use, or no instrument was detected. Ensure the "
    "instrument is on and connected, and that no other program has the port open.";

// Said while a connected unit leaves its queries unanswered, counted from the first of them.
std::string NoAnswerFor(long long silentMs);

// Why a port descriptor could not be opened: the network texts name the cause, a serial port in use
// keeps the system's own text, other serial failures say what they are.
std::string OpenFailure(const PortDescriptor& descriptor, EOpenFailure failure);
} // namespace ConnectMessages

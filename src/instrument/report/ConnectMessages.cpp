#include "instrument/report/ConnectMessages.h"

#include "instrument/report/ReadingFormat.h"

// The system's text for a port that did not open, with the cause the channel gave.
std::string ConnectMessages::OpenFailure(const PortDescriptor& descriptor, EOpenFailure failure)
{
    if (descriptor.kind == "TCP")
    {
        if (failure == EOpenFailure::SocketUnavailable)
            return NoSocket;
        return std::string(CouldNotConnectTcp) + ": " + DescribeOpenFailure(failure) + " (" +
               ReadingFormat::Printable(descriptor.first) + ":" + descriptor.second + ")";
    }
    // The one cause the system's own text names; the others say what they are.
    if (failure == EOpenFailure::InUse)
        return CouldNotOpen;
    return "Could not open COM port " + descriptor.first + ": " +
           DescribeOpenFailure(failure == EOpenFailure::None ? EOpenFailure::Other : failure) + ".";
}

std::string ConnectMessages::NoAnswerFor(long long silentMs)
{
    return "No answer from the instrument for " + std::to_string(silentMs / 1000) + " s";
}

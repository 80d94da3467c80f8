#include "comm/OpenFailure.h"

#include <cerrno>

const char* DescribeOpenFailure(EOpenFailure failure)
{
    switch (failure)
    {
    case EOpenFailure::None:
        return "";
    case EOpenFailure::BadDescriptor:
        return "not a port descriptor";
    case EOpenFailure::NoSuchPort:
        return "no such port";
    case EOpenFailure::NotATerminal:
        return "not a terminal";
    case EOpenFailure::PermissionDenied:
        return "permission denied";
    case EOpenFailure::InUse:
        return "in use by another panel or program";
    case EOpenFailure::LineSettings:
        return "the port refused the line settings";
    case EOpenFailure::SocketUnavailable:
        return "no socket available";
    case EOpenFailure::HostNotFound:
        return "host not found";
    case EOpenFailure::ConnectionRefused:
        return "connection refused";
    case EOpenFailure::Unreachable:
        return "host unreachable";
    case EOpenFailure::TimedOut:
        return "connection timed out";
    case EOpenFailure::Other:
        break;
    }
    return "system error";
}

EOpenFailure OpenFailureOfErrno(int error)
{
    switch (error)
    {
    case 0:
        return EOpenFailure::None;
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR:
    case EIO:
    case ELOOP:
    case ENAMETOOLONG:
        return EOpenFailure::NoSuchPort;
    case ENOTTY:
    case EISDIR:
        return EOpenFailure::NotATerminal;
    case EACCES:
    case EPERM:
    case EROFS:
        return EOpenFailure::PermissionDenied;
    case EBUSY:
    case EWOULDBLOCK:
        return EOpenFailure::InUse;
    case EINVAL:
        return EOpenFailure::LineSettings;
    case ECONNREFUSED:
    case ECONNRESET:
        return EOpenFailure::ConnectionRefused;
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
        return EOpenFailure::Unreachable;
    case ETIMEDOUT:
        return EOpenFailure::TimedOut;
    default:
        return EOpenFailure::Other;
    }
}

#pragma once

#include "comm/OpenFailure.h"

#include <string>
#include <sys/types.h>

// Holds a serial device for this process from detection through connect, which each open the port
// on their own: without it another program could take the port in the gap between them. While a
// reservation lives, the serial channels of this process open the device on a duplicate of the
// reservation's descriptor, so they share its lock: the port stays locked for as long as a channel
// keeps it open, after the reservation ends too. Other processes, and other reservations, see it in use.
class CPortReservation
{
public:
    CPortReservation() = default;
    ~CPortReservation();
    CPortReservation(const CPortReservation&) = delete;
    CPortReservation& operator=(const CPortReservation&) = delete;

    // Opens and locks the device of serial port number portNumber; the cause when that fails.
    EOpenFailure Reserve(int portNumber);
    EOpenFailure ReservePath(const std::string& devicePath);
    void Release();
    bool IsHeld() const { return m_fd >= 0; }

    // A duplicate of the reservation's descriptor when the open descriptor fd is a device this process
    // holds a reservation for (close-on-exec, sharing the reservation's lock); -1 otherwise.
    static int DuplicateReserved(int fd);

private:
    int m_fd = -1;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

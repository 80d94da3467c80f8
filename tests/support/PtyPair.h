#pragma once

#include <string>
#include <string_view>

// A pseudo-terminal pair standing in for a serial device.
//
//   PtyPair pty;                      // master raw and non-blocking; slave path ready to open
//   channel.OpenPortByName(pty.SlavePath(), 9600);
//   pty.Write("1.234\r", 1000);        // bytes the "instrument" sends
//   pty.ReadUntil('\n', 1000);         // bytes the channel wrote, up to and including '\n'
//   pty.SlaveBaud();                   // the baud rate the channel set on the line (0 if unknown)
//   pty.CloseMaster();                 // unplug: the slave side hangs up
//
// The pair keeps its own descriptor of the slave open (never read from it) so that the terminal
// settings survive between opens and can be read back. Every wait has a deadline in milliseconds.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& SlavePath() const { return m_slavePath; }
    int MasterFd() const { return m_master; }

    // Writes all bytes to the master before the deadline; false when that failed.
    bool Write(std::string_view bytes, int timeoutMs);
    // Reads from the master until the terminator was read (included) or the deadline passed.
    std::string ReadUntil(char terminator, int timeoutMs);
    // Reads exactly count bytes, or what arrived before the deadline.
    std::string ReadCount(size_t count, int timeoutMs);
    // Closes the master: the slave side sees a hang-up, as when a USB adapter is pulled.
    void CloseMaster();

    // Line speed of the slave side (1200 to 921600) or 0 when it is none of those.
    int SlaveBaud() const;
    // Sets the slave's line speed, e.g. to see that an open really changes it.
    bool SetSlaveBaud(int baud);

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

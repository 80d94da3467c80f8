#pragma once

#include <string>
#include <string_view>

// Deadline-bound I/O on a non-blocking descriptor (pty master, socket), shared by the test helpers.
// Every call blocks in poll(2) at most timeoutMs in total.
namespace FdWait
{
bool WriteAll(int fd, std::string_view bytes, int timeoutMs);
// Until the terminator (included), end of stream, or the deadline.
std::string ReadUntil(int fd, char terminator, int timeoutMs);
// Exactly count bytes, or what arrived before end of stream or the deadline.
std::string ReadCount(int fd, size_t count, int timeoutMs);
// True when the descriptor becomes readable (data or end of stream) before the deadline.
bool WaitReadable(int fd, int timeoutMs);
} // namespace FdWait

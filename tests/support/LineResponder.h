#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

// A stand-in instrument on a descriptor it does not own (a PtyPair master, a LoopbackServer client):
// a thread reads command lines (ended by CR or LF; empty lines skipped) and writes back whatever the
// reply function returns for each (nothing when it returns an empty string).
//
//   LineResponder echo(pty.MasterFd(), [](const std::string& cmd) { return "R:" + cmd + "\r"; });
//
// The descriptor must stay open until the responder is destroyed; destruction stops the thread.
class LineResponder
{
public:
    using Reply = std::function<std::string(const std::string& command)>;

    LineResponder(int fd, Reply reply);
    ~LineResponder();
    LineResponder(const LineResponder&) = delete;
    LineResponder& operator=(const LineResponder&) = delete;

    // Commands answered so far.
    int Handled() const { return m_handled; }

private:
    void Run();

    int m_fd;
    Reply m_reply;
    int m_stopPipe[2] = {-1, -1};
    std::atomic<int> m_handled{0};
    std::thread m_thread;
};

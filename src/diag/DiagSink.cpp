#include "diag/DiagSink.h"

#include <cstdio>
#include <mutex>

namespace
{
std::mutex& SinkLock()
{
    static std::mutex lock;
    return lock;
}

CDiagSink::Function& CurrentSink()
{
    static CDiagSink::Function sink;
    return sink;
}
} // namespace

void CDiagSink::Write(const std::string& text)
{
    std::lock_guard<std::mutex> guard(SinkLock());
    if (CurrentSink())
    {
        CurrentSink()(text);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void CDiagSink::SetSink(Function sink)
{
    std::lock_guard<std::mutex> guard(SinkLock());
    CurrentSink() = std::move(sink);
}

#pragma once

#include <cstdio>
#include <memory>
#include <string>

// A CSV log of readings (the monitor's --csv file, a panel's recording). Every line is flushed as it is
// written, so that a crash loses at most the row being written; a line the file did not take is an error,
// never a silent gap in the log. A file removed while it is written counts as a failure too: its rows
// would go nowhere anyone can read them.
class CCsvFile
{
public:
    // False (errno set, Error() says why) when the file cannot be created.
    bool Open(const std::string& path);
    // True while no file is open; false (errno set, Error() says why) when the line or its flush failed
    // or the file is gone.
    bool WriteLine(const std::string& line);
    // Flushes, syncs to the disk and closes; false (errno set, Error() says why) when any of these failed.
    bool Close();
    bool IsOpen() const { return m_file != nullptr; }
    // Why the last call failed, as a reader takes it ("No space left on device").
    const std::string& Error() const { return m_error; }

private:
    bool Fail();
    bool Removed() const;

    struct SClose
    {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, SClose> m_file;
    std::string m_error;
};

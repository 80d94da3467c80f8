#pragma once

#include <cstdio>
#include <memory>
#include <string>

// A CSV log of readings (the monitor's --csv file, a panel's recording). Every line is flushed as it is
// written, so that a crash loses at most the row being written; a line the file did not take is an error,
// never a silent gap in the log.
class CCsvFile
{
public:
    // False (errno set) when the file cannot be created.
    bool Open(const std::string& path);
    // True while no file is open; false (errno set) when the line or its flush failed.
    bool WriteLine(const std::string& line);
    // Flushes, syncs to the disk and closes; false (errno set) when any of these failed.
    bool Close();

private:
    struct SClose
    {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, SClose> m_file;
};

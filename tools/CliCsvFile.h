#pragma once

#include <cstdio>
#include <memory>
#include <string>

// The monitor's --csv file. Every line is flushed as it is written, so that a crash loses at most the
// row being written.
class CCliCsvFile
{
public:
    // False (errno set) when the file cannot be created.
    bool Open(const std::string& path);
    // Nothing happens while no file is open.
    void WriteLine(const std::string& line);

private:
    struct SClose
    {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, SClose> m_file;
};

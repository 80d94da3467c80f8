#include "CliCsvFile.h"

bool CCliCsvFile::Open(const std::string& path)
{
    m_file.reset(std::fopen(path.c_str(), "w"));
    return m_file != nullptr;
}

void CCliCsvFile::WriteLine(const std::string& line)
{
    if (!m_file)
        return;
    std::fprintf(m_file.get(), "%s\n", line.c_str());
    std::fflush(m_file.get());
}

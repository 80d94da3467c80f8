#include "diag/IniFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace
{
std::string_view Trim(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) {
                          return std::tolower(static_cast<unsigned char>(x)) ==
                                 std::tolower(static_cast<unsigned char>(y));
                      });
}

// A value with surrounding blanks or a leading quote is written in quotes, so that reading it
// back (which trims and strips one pair of quotes) gives it unchanged.
std::string Unquote(std::string_view value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::string Quote(const std::string& key, const std::string& value)
{
    if (value.empty())
        return value;
    // Whatever reading trims from a bare value must be kept inside quotes, or a rewrite would lose it;
    // so must a value that would turn "[key=value]" into a section header.
    const auto trimmed = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    const bool needs = trimmed(value.front()) || trimmed(value.back()) || value.front() == '"' ||
                       (!key.empty() && key.front() == '[' && value.back() == ']');
    return needs ? "\"" + value + "\"" : value;
}
} // namespace

CIniFile::CIniFile() : m_sections(1) {}

CIniFile CIniFile::Parse(std::string_view text)
{
    CIniFile ini;
    while (!text.empty())
    {
        const size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);

        const std::string_view line = Trim(raw);
        const size_t equals = line.find('=');
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']')
            ini.m_sections.push_back({std::string(Trim(line.substr(1, line.size() - 2))), {}});
        else if (!line.empty() && line.front() != ';' && line.front() != '#' &&
                 equals != std::string_view::npos && !Trim(line.substr(0, equals)).empty())
            ini.m_sections.back().lines.push_back(
                {true, std::string(Trim(line.substr(0, equals))), Unquote(Trim(line.substr(equals + 1)))});
        else
            ini.m_sections.back().lines.push_back(
                {false, {}, std::string(raw.substr(0, raw.find_last_not_of('\r') + 1))});
    }
    return ini;
}

bool CIniFile::Load(const std::string& path)
{
    *this = CIniFile();
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT;
    struct stat status
    {
    };
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size > static_cast<off_t>(MaxFileBytes))
    {
        const int error = S_ISREG(status.st_mode) ? EFBIG : EINVAL;
        close(fd);
        errno = error;
        return false;
    }
    std::string text;
    char buffer[4096];
    ssize_t count = 0;
    // A file that grows while it is read stops at the limit too.
    while (text.size() <= MaxFileBytes &&
           ((count = read(fd, buffer, sizeof buffer)) > 0 || (count < 0 && errno == EINTR)))
        text.append(buffer, static_cast<size_t>(std::max<ssize_t>(count, 0)));
    close(fd);
    if (text.size() > MaxFileBytes)
    {
        errno = EFBIG;
        return false;
    }
    if (count < 0)
        return false;
    *this = Parse(text);
    return true;
}

std::string CIniFile::Serialize() const
{
    std::string text;
    for (const Section& section : m_sections)
    {
        if (&section != &m_sections.front())
            text += "[" + section.name + "]\n";
        for (const Line& line : section.lines)
            text += (line.entry ? line.key + "=" + Quote(line.key, line.text) : line.text) + "\n";
    }
    return text;
}

std::optional<std::string> CIniFile::Find(const std::string& section, const std::string& key) const
{
    const Section* found = FindSection(section);
    if (!found)
        return std::nullopt;
    for (const Line& line : found->lines)
    {
        if (line.entry && SameName(line.key, key))
            return line.text;
    }
    return std::nullopt;
}

void CIniFile::Set(const std::string& section, const std::string& key, const std::string& value)
{
    Section* found = FindSection(section);
    if (!found)
    {
        m_sections.push_back({section, {}});
        found = &m_sections.back();
    }
    for (Line& line : found->lines)
    {
        if (line.entry && SameName(line.key, key))
        {
            line.text = value;
            return;
        }
    }
    // New keys go after the section's last entry, before any trailing blank lines.
    auto last =
        std::find_if(found->lines.rbegin(), found->lines.rend(), [](const Line& l) { return l.entry; });
    found->lines.insert(last.base(), {true, key, value});
}

bool CIniFile::DeleteSection(const std::string& section)
{
    const auto removed = std::remove_if(m_sections.begin() + 1, m_sections.end(),
                                        [&](const Section& s) { return SameName(s.name, section); });
    const bool found = removed != m_sections.end();
    m_sections.erase(removed, m_sections.end());
    return found;
}

bool CIniFile::DeleteKey(const std::string& section, const std::string& key)
{
    Section* found = FindSection(section);
    if (!found)
        return false;
    const auto removed = std::remove_if(found->lines.begin(), found->lines.end(),
                                        [&](const Line& l) { return l.entry && SameName(l.key, key); });
    const bool existed = removed != found->lines.end();
    found->lines.erase(removed, found->lines.end());
    return existed;
}

bool CIniFile::IsStorableName(const std::string& name)
{
    return !name.empty() && name.find_first_of("=[]\r\n") == std::string::npos && Trim(name) == name &&
           name.front() != ';' && name.front() != '#';
}

bool CIniFile::IsStorableValue(const std::string& value)
{
    return value.find_first_of("\r\n") == std::string::npos;
}

CIniFile::Section* CIniFile::FindSection(const std::string& name)
{
    return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

const CIniFile::Section* CIniFile::FindSection(const std::string& name) const
{
    for (auto it = m_sections.begin() + 1; it != m_sections.end(); ++it)
    {
        if (SameName(it->name, name))
            return &*it;
    }
    return nullptr;
}

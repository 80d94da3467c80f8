#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An INI document: "[section]" headers and "key=value" lines. Section and key names match without
// regard to ASCII case; comments and lines that parse as neither are ignored on reading but kept on
// writing, so a rewrite changes only what was set.
class CIniFile
{
public:
    CIniFile();

    static CIniFile Parse(std::string_view text);
    // A settings file is small and regular: anything larger is refused unread.
    static constexpr size_t MaxFileBytes = 1 << 20;

    // True when the file was read or does not exist (an empty document); false on any other error.
    // A path that is no regular file (a device, a FIFO, a folder) fails with EINVAL and one larger
    // than MaxFileBytes with EFBIG, both without reading it, so a hostile file cannot hang the
    // program or exhaust its memory.
    bool Load(const std::string& path);
    std::string Serialize() const;

    std::optional<std::string> Find(const std::string& section, const std::string& key) const;
    // Empty for a missing section or key.
    std::string Get(const std::string& section, const std::string& key) const
    {
        return Find(section, key).value_or(std::string());
    }
    void Set(const std::string& section, const std::string& key, const std::string& value);
    bool DeleteSection(const std::string& section);
    // True when the key was there.
    bool DeleteKey(const std::string& section, const std::string& key);

    // Names and values that a line-based file can carry back unchanged.
    static bool IsStorableName(const std::string& name);
    static bool IsStorableValue(const std::string& value);

private:
    struct Line
    {
        bool entry = false;
        std::string key;
        std::string text; // the value of an entry, else the raw line
    };
    struct Section
    {
        std::string name;
        std::vector<Line> lines;
    };

    Section* FindSection(const std::string& name);
    const Section* FindSection(const std::string& name) const;

    std::vector<Section> m_sections; // the first one holds the lines before any header
};

#include "JsonValue.h"

#include <charconv>

namespace
{
class CParser
{
public:
    explicit CParser(std::string_view text) : m_text(text) {}

    bool Value(SJsonValue& value)
    {
        Blank();
        if (m_at >= m_text.size())
            return false;
        const char c = m_text[m_at];
        if (c == '{')
            return Object(value);
        if (c == '[')
            return Array(value);
        if (c == '"')
            return value.kind = SJsonValue::Kind::String, String(value.text);
        if (Literal("true"))
            return value.kind = SJsonValue::Kind::Boolean, value.boolean = true, true;
        if (Literal("false"))
            return value.kind = SJsonValue::Kind::Boolean, true;
        if (Literal("null"))
            return true;
        return Number(value);
    }

    bool AtEnd()
    {
        Blank();
        return m_at == m_text.size();
    }

private:
    void Blank()
    {
        while (m_at < m_text.size() &&
               (m_text[m_at] == ' ' || m_text[m_at] == '\n' || m_text[m_at] == '\t' || m_text[m_at] == '\r'))
            ++m_at;
    }

    bool Take(char c)
    {
        Blank();
        if (m_at < m_text.size() && m_text[m_at] == c)
            return ++m_at, true;
        return false;
    }

    bool Literal(std::string_view word)
    {
        if (m_text.substr(m_at, word.size()) != word)
            return false;
        m_at += word.size();
        return true;
    }

    bool Number(SJsonValue& value)
    {
        value.kind = SJsonValue::Kind::Number;
        const auto [end, error] =
            std::from_chars(m_text.data() + m_at, m_text.data() + m_text.size(), value.number);
        if (error != std::errc())
            return false;
        m_at = static_cast<size_t>(end - m_text.data());
        return true;
    }

    bool String(std::string& out)
    {
        ++m_at;
        while (m_at < m_text.size() && m_text[m_at] != '"')
        {
            const char c = m_text[m_at++];
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
            if (c != '\\')
            {
                out += c;
                continue;
            }
            if (m_at >= m_text.size())
                return false;
            const char escaped = m_text[m_at++];
            const std::string_view simple = "\"\\/bfnrt";
            const std::string_view meaning = "\"\\/\b\f\n\r\t";
            if (const size_t index = simple.find(escaped); index != std::string_view::npos)
                out += meaning[index];
            else if (escaped == 'u' && m_at + 4 <= m_text.size())
            {
                unsigned code = 0;
                std::from_chars(m_text.data() + m_at, m_text.data() + m_at + 4, code, 16);
                m_at += 4;
                if (code < 0x80)
                    out += static_cast<char>(code);
                else if (code < 0x800)
                    out += static_cast<char>(0xC0 | (code >> 6)),
                        out += static_cast<char>(0x80 | (code & 0x3F));
                else
                    out += static_cast<char>(0xE0 | (code >> 12)),
                        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
                        out += static_cast<char>(0x80 | (code & 0x3F));
            }
            else
                return false;
        }
        return m_at < m_text.size() && m_text[m_at++] == '"';
    }

    bool Array(SJsonValue& value)
    {
        value.kind = SJsonValue::Kind::Array;
        ++m_at;
        if (Take(']'))
            return true;
        do
        {
            value.items.emplace_back();
            if (!Value(value.items.back()))
                return false;
        } while (Take(','));
        return Take(']');
    }

    bool Object(SJsonValue& value)
    {
        value.kind = SJsonValue::Kind::Object;
        ++m_at;
        if (Take('}'))
            return true;
        do
        {
            Blank();
            std::string name;
            if (m_at >= m_text.size() || m_text[m_at] != '"' || !String(name) || !Take(':'))
                return false;
            if (!Value(value.members[name]))
                return false;
        } while (Take(','));
        return Take('}');
    }

    std::string_view m_text;
    size_t m_at = 0;
};
} // namespace

std::optional<SJsonValue> SJsonValue::Parse(std::string_view text)
{
    CParser parser(text);
    SJsonValue value;
    if (!parser.Value(value) || !parser.AtEnd())
        return std::nullopt;
    return value;
}

const SJsonValue& SJsonValue::operator[](const std::string& name) const
{
    static const SJsonValue null;
    const auto found = members.find(name);
    return found == members.end() ? null : found->second;
}

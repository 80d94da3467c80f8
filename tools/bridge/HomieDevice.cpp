#include "HomieDevice.h"

#include <cstdint>
#include <cstdio>

namespace
{
// A JSON string literal; control characters escaped, UTF-8 passed through.
std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text)
    {
        switch (c)
        {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
            {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            }
            else
                out += c;
        }
    }
    return out + "\"";
}

std::string PropertyJson(const SHomieProperty& property)
{
    std::string json = Quoted(property.id) + ":{\"name\":" + Quoted(property.name) +
                       ",\"datatype\":" + Quoted(SHomieProperty::TypeName(property.type));
    if (!property.format.empty())
        json += ",\"format\":" + Quoted(property.format);
    if (!property.unit.empty())
        json += ",\"unit\":" + Quoted(property.unit);
    if (property.settable)
        json += ",\"settable\":true";
    if (!property.retained)
        json += ",\"retained\":false";
    return json + "}";
}

std::string NodeJson(const SHomieNode& node)
{
    std::string json = Quoted(node.id) + ":{\"name\":" + Quoted(node.name) +
                       ",\"type\":" + Quoted(node.type) + ",\"properties\":{";
    for (size_t index = 0; index < node.properties.size(); ++index)
        json += (index ? "," : "") + PropertyJson(node.properties[index]);
    return json + "}}";
}

// FNV-1a, folded to 31 bits so that every consumer reads it as a positive integer.
int64_t Hash(const std::string& text)
{
    uint32_t hash = 2166136261u;
    for (const char c : text)
    {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return static_cast<int64_t>(hash & 0x7fffffffu);
}
} // namespace

CHomieDevice::CHomieDevice(std::string id, std::string name, std::vector<SHomieNode> nodes)
    : m_id(std::move(id)), m_name(std::move(name)), m_nodes(std::move(nodes))
{
}

std::string CHomieDevice::TopicLevel(const std::string& text)
{
    std::string level;
    bool gap = false;
    for (const char c : text)
    {
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if ((lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9'))
        {
            if (gap && !level.empty())
                level += '-';
            level += lower;
            gap = false;
        }
        else
            gap = true;
    }
    return level;
}

std::string CHomieDevice::MakeId(const std::string& model, const std::string& serialNumber)
{
    const std::string modelLevel = TopicLevel(model);
    const std::string serialLevel = TopicLevel(serialNumber);
    if (modelLevel.empty() || serialLevel.empty())
        return modelLevel + serialLevel;
    return modelLevel + "-" + serialLevel;
}

const SHomieProperty* CHomieDevice::Find(const std::string& nodeId, const std::string& propertyId) const
{
    for (const SHomieNode& node : m_nodes)
    {
        if (node.id == nodeId)
            return node.Find(propertyId);
    }
    return nullptr;
}

bool CHomieDevice::SetFormat(const std::string& nodeId, const std::string& propertyId,
                             const std::string& format)
{
    for (SHomieNode& node : m_nodes)
    {
        for (SHomieProperty& property : node.properties)
        {
            if (node.id != nodeId || property.id != propertyId || property.format == format)
                continue;
            property.format = format;
            return true;
        }
    }
    return false;
}

std::string CHomieDevice::DescriptionBody() const
{
    std::string json = "\"name\":" + Quoted(m_name) + ",\"type\":\"tamrix-instrument\",\"nodes\":{";
    for (size_t index = 0; index < m_nodes.size(); ++index)
        json += (index ? "," : "") + NodeJson(m_nodes[index]);
    return json + "}";
}

std::string CHomieDevice::Description() const
{
    const std::string body = DescriptionBody();
    return "{\"homie\":\"5.0\",\"version\":" + std::to_string(Hash(body)) + "," + body + "}";
}

std::string CHomieDevice::Topic(const std::string& attributeOrNode) const
{
    return Root + m_id + "/" + attributeOrNode;
}

std::string CHomieDevice::PropertyTopic(const std::string& nodeId, const std::string& propertyId) const
{
    return Root + m_id + "/" + nodeId + "/" + propertyId;
}

std::string CHomieDevice::SetFilter() const
{
    return Root + m_id + "/+/+/set";
}

bool CHomieDevice::ParseSetTopic(const std::string& topic, std::string& nodeId, std::string& propertyId) const
{
    const std::string prefix = Root + m_id + "/";
    const std::string suffix = "/set";
    if (topic.size() <= prefix.size() + suffix.size() || topic.compare(0, prefix.size(), prefix) != 0 ||
        topic.compare(topic.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const std::string middle = topic.substr(prefix.size(), topic.size() - prefix.size() - suffix.size());
    const size_t slash = middle.find('/');
    if (slash == std::string::npos || middle.find('/', slash + 1) != std::string::npos)
        return false;
    nodeId = middle.substr(0, slash);
    propertyId = middle.substr(slash + 1);
    return Find(nodeId, propertyId) != nullptr;
}

#pragma once

#include "HomieNode.h"

#include <string>
#include <vector>

// One instrument as a Homie (version 5) device: its id, its nodes and the topics under
// "homie/5/<id>/". Pure data; the publisher puts it on the broker.
class CHomieDevice
{
public:
    static constexpr const char* Root = "homie/5/";

    CHomieDevice(std::string id, std::string name, std::vector<SHomieNode> nodes);

    // The device id from model and serial number: lowercase, every run of other characters one "-",
    // no "-" at either end ("K760", "76042" -> "k760-76042"). Empty when nothing of either is left.
    static std::string MakeId(const std::string& model, const std::string& serialNumber);
    // A topic level from any text by the same rule.
    static std::string TopicLevel(const std::string& text);

    const std::string& Id() const { return m_id; }
    const std::vector<SHomieNode>& Nodes() const { return m_nodes; }
    const SHomieProperty* Find(const std::string& nodeId, const std::string& propertyId) const;
    // Changes what a property announces as its range or values; true when that changed anything.
    bool SetFormat(const std::string& nodeId, const std::string& propertyId, const std::string& format);

    // The $description document (JSON, UTF-8). Its "version" is a hash of the rest, so it changes
    // exactly when the description does.
    std::string Description() const;

    std::string Topic(const std::string& attributeOrNode) const; // "homie/5/<id>/<level>"
    std::string PropertyTopic(const std::string& nodeId, const std::string& propertyId) const;
    // "homie/5/<id>/+/+/set": every set request to this device.
    std::string SetFilter() const;
    // The node and property of a set topic of this device; false for any other topic.
    bool ParseSetTopic(const std::string& topic, std::string& nodeId, std::string& propertyId) const;

private:
    std::string DescriptionBody() const;

    std::string m_id;
    std::string m_name;
    std::vector<SHomieNode> m_nodes;
};

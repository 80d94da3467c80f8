#pragma once

#include "instrument/control/SetTarget.h"
#include "HomieDevice.h"
#include "instrument/report/Channels.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class CInstrBase;

// One connected instrument as a Homie device: a node per channel with its readings, set points, mode
// and output, and a node "instrument" with the identity and the instrument's errors. Knows how each
// property is read from the cached readings and which tamrix-cli setting a set request becomes.
class CInstrumentModel
{
public:
    static constexpr const char* InstrumentNode = "instrument";
    static constexpr const char* ErrorProperty = "error";

    struct SValue
    {
        std::string nodeId;
        std::string propertyId;
        std::string payload;
    };

    // Built after Connect and before polling starts (it asks the model for its bounds). settable
    // marks the set points, modes and outputs settable in the description.
    CInstrumentModel(CInstrBase& instrument, const std::string& descriptor, bool settable);

    const CHomieDevice& Device() const { return m_device; }
    // True when the last poll queries of the instrument and of every channel succeeded and it answers.
    bool Fresh() const;
    // True when the instrument or a channel failed two poll queries in a row: the connection is lost.
    bool Lost() const;
    // The values of the last poll cycle; a reading without a value is left out.
    std::vector<SValue> Read() const;
    // The setting name and value a set request becomes ("tec.t", "30.5"), and the channel it goes to.
    // False for a property that takes none.
    bool Setting(const std::string& nodeId, const std::string& propertyId, const std::string& value,
                 std::string& name, std::string& settingValue, SSetTarget& target) const;
    // Asks the instrument for the limits of its set points again and puts them in the description;
    // true when the description changed.
    bool RefreshLimits();
    // "201 Parameter was out of range..." for every error the instrument and its channels collected;
    // removes them.
    std::vector<std::string> TakeErrors() const;

private:
    struct SEntry
    {
        std::string nodeId;
        std::string propertyId;
        std::function<std::string()> read; // "---" when there is no value
        std::string setting;               // empty for a reading
        SSetTarget target;
        std::function<std::string(const std::string&)> settingValue; // the payload in the setter's words
    };

    struct SLimits
    {
        std::string nodeId;
        std::string propertyId;
        std::function<std::string()> format; // "min:max" as the unit holds them now
    };

    void AddTec(const SChannel<CTEC>& channel, bool settable, std::vector<SHomieNode>& nodes);
    void AddTecLimits(CTEC& tec, const std::string& nodeId);
    void AddLaser(const SChannel<CLaser>& channel, bool settable, std::vector<SHomieNode>& nodes);
    SHomieNode InstrumentNodeOf(const std::string& descriptor);

    CInstrBase& m_instrument;
    SChannels m_channels;
    std::vector<SEntry> m_entries;
    std::vector<SValue> m_fixed; // identity texts, read once
    std::vector<SLimits> m_limits;
    CHomieDevice m_device;
};

#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The status registers of a simulated output channel as its firmware keeps them: the condition
// register, the event register latching the conditions that came on, the three enable masks, the
// status byte built from them, and the errors the channel raised for the unit's error queue.
class CSimStatusRegisters
{
public:
    // A condition that turns the output off with its error: always, or only when the output-off enable
    // has its bit.
    struct STripRule
    {
        uint16_t bit;
        int error;
        bool always;
    };

    explicit CSimStatusRegisters(uint16_t outputOffEnable = 0) : m_outOffEnable(outputOffEnable) {}

    uint16_t GetCondition() const { return m_condition; }
    // Reading the event register clears it, as on the unit.
    uint16_t TakeEvents();
    uint16_t GetStatusByte() const;
    void SetConditionEnable(uint16_t mask) { m_condEnable = mask; }
    uint16_t GetConditionEnable() const { return m_condEnable; }
    void SetEventEnable(uint16_t mask) { m_eventEnable = mask; }
    uint16_t GetEventEnable() const { return m_eventEnable; }
    void SetOutputOffEnable(uint16_t mask) { m_outOffEnable = mask; }
    uint16_t GetOutputOffEnable() const { return m_outOffEnable; }
    std::vector<int> TakeErrors();

protected:
    // Bits coming on latch into the event register.
    void SetCondition(uint16_t bits, bool on);
    void AddError(int error) { m_errors.push_back(error); }
    // The error of the first rule that trips, 0 when none does.
    int FirstTripError(std::span<const STripRule> rules) const;

private:
    uint16_t m_condition = 0;
    uint16_t m_events = 0;
    uint16_t m_condEnable = 0;
    uint16_t m_eventEnable = 0;
    uint16_t m_outOffEnable;
    std::vector<int> m_errors;
};

#pragma once

#include <QElapsedTimer>
#include <QString>
#include <optional>

class CInstrBase;

// What a set point's request to the unit brings back to its field.
struct SSetPointOutcome
{
    bool accepted = false;
    QString refusal;      // why not, as the user reads it
    bool sent = false;    // the unit had the value and refused it
    bool refocus = false; // the typed value is out of range: back to the field
};

// A set point the instrument refused, as a set-point field handles it: the message that says why (the
// newest error the instrument reported since a mark taken before the write), and a short hold on the
// refused value. The channel caches what it sent whether or not the unit took it, until its poll reads
// the unit's own value again; meanwhile the field must not show the refused value as the set point.
class CSetPointRefusal
{
public:
    static constexpr int HoldMs = 3000; // [ms] longer than a poll cycle of any unit

    // The length of the session's error list before a write.
    static int Mark(const CInstrBase* session);
    // "The instrument did not accept the set point 40 °C (error 201, ...)." and what the field shows.
    static QString Message(const QString& value, CInstrBase* session, int mark);

    void Hold(float refused);
    void Clear() { m_refused.reset(); }
    // True while the channel still reports the refused value in place of the unit's own.
    bool Hides(float channelValue);

private:
    std::optional<float> m_refused;
    QElapsedTimer m_clock;
};

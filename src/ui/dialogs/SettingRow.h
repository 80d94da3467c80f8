#pragma once

#include "ui/dialogs/WriteSequence.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

// How a field shows the value it holds.
enum class EShown
{
    Bound,    // at most six decimals, trailing zeros removed
    Fixed,    // exactly `decimals` decimals
    Trimmed,  // at most `decimals` decimals, trailing zeros removed
    Integer,  // a whole number, checked as one
    Constant, // seven significant digits
};

// One field of a settings page, described once: its caption and unit, where its value comes from and
// goes to, what OK accepts, the key that takes it away and the write-order group it goes out in. A
// field whose value shares a query or a command with others (a pair of limits, the PID terms) leaves
// get or set empty, and its group reads or writes it.
template <class Unit>
struct SSettingRow
{
    static constexpr double NoCeiling = std::numeric_limits<double>::infinity();

    SSettingRow() = default;
    SSettingRow(const char* name, QString label, QString unit, uint32_t hiddenBy, int group)
        : name(name), label(std::move(label)), unit(std::move(unit)), hiddenBy(hiddenBy), group(group)
    {
    }

    SSettingRow& Reads(std::function<float(Unit&)> getter)
    {
        get = std::move(getter);
        return *this;
    }
    // A write whose refusal is named to the user; without a name a refusal only shows in the unit's
    // error log.
    SSettingRow& Writes(std::function<bool(Unit&, double)> setter, const char* refusedAs = nullptr)
    {
        set = std::move(setter);
        refusal = refusedAs;
        return *this;
    }
    // A value with a getter and a setter of its own on the unit.
    template <class Value>
    SSettingRow& Uses(float (Unit::*getter)(), bool (Unit::*setter)(Value), const char* refusedAs = nullptr)
    {
        Reads([getter](Unit& unit) { return (unit.*getter)(); });
        return Writes([setter](Unit& unit, double value)
                      { return (unit.*setter)(static_cast<Value>(value)); },
                      refusedAs);
    }
    SSettingRow& Accepts(double lowest, double highest, QString inUnit = {})
    {
        low = lowest;
        high = highest;
        rangeUnit = std::move(inUnit);
        return *this;
    }
    SSettingRow& Shows(EShown how, int places = 0)
    {
        shown = how;
        decimals = places;
        return *this;
    }
    // The edit holds the unit's value times factor (the mantissa beside a printed power of ten).
    SSettingRow& Scaled(double factor)
    {
        scale = factor;
        return *this;
    }

    // The field's own command with its value; sent runs once it went out.
    void AddWrite(CWriteSequence<Unit>& writes, double value, std::function<void()> sent) const
    {
        if (refusal)
        {
            writes.Add(
                refusal, [set = set, value](Unit& unit) { return set(unit, value); }, std::move(sent));
            return;
        }
        writes.AddStep(
            [set = set, value](Unit& unit) -> std::optional<QString>
            {
                set(unit, value);
                return std::nullopt;
            },
            std::move(sent));
    }

    const char* name = ""; // the edit's object name
    QString label;         // caption before the edit ("Tol Time:"); empty where its box has none
    QString unit;          // after the edit, and in the range prompt
    QString rangeUnit;     // the unit the range prompt names where it is not the one shown
    EShown shown = EShown::Bound;
    int decimals = 0;
    double scale = 1.0;
    std::function<float(Unit&)> get;
    std::function<bool(Unit&, double)> set;
    const char* refusal = nullptr;
    double low = -NoCeiling; // what OK accepts; the page narrows it where a bound is read with it
    double high = NoCeiling;
    uint32_t hiddenBy = 0; // the settings key or capability that takes the field away; 0: always there
    int group = 0;         // the write-order group: groups go out in ascending order
};

// A query and a command that carry several fields at once (a tolerance's two values, a set of sensor
// constants), in the order of `fields`.
template <class Unit>
struct SSettingGroup
{
    std::vector<size_t> fields;
    // Fills one value per field; false when the unit gave none.
    std::function<bool(Unit&, std::vector<float>&)> get;
    std::function<bool(Unit&, const std::vector<double>&)> set;
    const char* refusal = nullptr; // as SSettingRow::refusal

    // Reads the group into values (indexed by field); fields the unit gave nothing for stay empty.
    template <class Values>
    void Read(Unit& unit, Values& values) const
    {
        std::vector<float> read(fields.size());
        if (!get(unit, read))
            return;
        for (size_t i = 0; i < fields.size(); ++i)
            values[fields[i]] = read[i];
    }
    void AddWrite(CWriteSequence<Unit>& writes, std::vector<double> values, std::function<void()> sent) const
    {
        SSettingRow<Unit> row;
        row.set = [set = set, values](Unit& unit, double) { return set(unit, values); };
        row.refusal = refusal;
        row.AddWrite(writes, 0.0, std::move(sent));
    }
};

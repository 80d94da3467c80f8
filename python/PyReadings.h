#pragma once

#include "instrument/report/ReadingFormat.h"

#include <chrono>
#include <pybind11/pybind11.h>
#include <vector>

// The readings of every channel of a unit at one moment, as the monitor shows them: what
// Unit.readings() yields and CsvWriter writes.
struct SPyReadings
{
    std::chrono::system_clock::time_point time;
    std::vector<SChannelReadings> channels;

    // One value for Python: None for a reading that is not live ("---") or does not apply (blank), a
    // float for a number, else the text ("on", "T", "open").
    static pybind11::object Value(const SReading& reading);
    // {name: value} of one channel.
    static pybind11::dict Dict(const SChannelReadings& channel);

    double Seconds() const;
    pybind11::dict Channels() const;
    // {name: value} of the channel with that label; KeyError when there is none.
    pybind11::dict Channel(const std::string& label) const;
};

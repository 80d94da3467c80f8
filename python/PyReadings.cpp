#include "PyReadings.h"

namespace py = pybind11;

py::object SPyReadings::Value(const SReading& reading)
{
    if (reading.blank || reading.text == "---")
        return py::none();
    if (!reading.text.empty())
        return py::str(reading.text);
    return py::float_(reading.value);
}

py::dict SPyReadings::Dict(const SChannelReadings& channel)
{
    py::dict values;
    for (const SReading& reading : channel.readings)
        values[py::str(reading.name)] = Value(reading);
    return values;
}

double SPyReadings::Seconds() const
{
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}

py::dict SPyReadings::Channels() const
{
    py::dict all;
    for (const SChannelReadings& channel : channels)
        all[py::str(channel.label)] = Dict(channel);
    return all;
}

py::dict SPyReadings::Channel(const std::string& label) const
{
    for (const SChannelReadings& channel : channels)
    {
        if (channel.label == label)
            return Dict(channel);
    }
    throw py::key_error(label);
}

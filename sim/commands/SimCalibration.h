#pragma once

#include <map>
#include <string>

// The factory calibration state of a unit: which calibration step runs, the reference values the
// factory tool entered and the DAC words it wrote. Factory tools only; kept so that their commands are
// answered consistently rather than refused.
class CSimCalibration
{
public:
    // Starts (or advances to) a step of the calibration named by its command header.
    void Start(const std::string& name, int step) { m_steps[name] = step; }
    // The step the named calibration is at, 0 when it is not running.
    int StepOf(const std::string& name) const;
    // Ends every running calibration; true when one was running.
    bool Cancel();

    void SetValue(const std::string& name, double value) { m_values[name] = value; }
    double ValueOf(const std::string& name) const;

private:
    std::map<std::string, int> m_steps;
    std::map<std::string, double> m_values;
};

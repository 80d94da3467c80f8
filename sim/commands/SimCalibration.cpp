#include "commands/SimCalibration.h"

int CSimCalibration::StepOf(const std::string& name) const
{
    const auto found = m_steps.find(name);
    return found == m_steps.end() ? 0 : found->second;
}

bool CSimCalibration::Cancel()
{
    const bool running = !m_steps.empty();
    m_steps.clear();
    return running;
}

double CSimCalibration::ValueOf(const std::string& name) const
{
    const auto found = m_values.find(name);
    return found == m_values.end() ? 0.0 : found->second;
}

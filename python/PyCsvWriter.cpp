#include "PyCsvWriter.h"

#include "PyUnit.h"
#include "diag/Version.h"

namespace py = pybind11;

CPyCsvWriter::CPyCsvWriter(const std::string& path, const std::shared_ptr<CPyUnit>& unit) : m_path(path)
{
    if (!m_log.Open(path))
        Fail();
    SReadingLogSource source{std::string("tamrix python ") + kProductVersion, {}, {}, {}, {}};
    if (unit)
        source = {source.program, unit->Model(), unit->SerialNumber(), unit->Firmware(), unit->Descriptor()};
    m_log.SetSource(source);
}

void CPyCsvWriter::Fail() const
{
    PyErr_SetString(PyExc_OSError, ("cannot write " + m_path + ": " + m_log.Error()).c_str());
    throw py::error_already_set();
}

void CPyCsvWriter::Write(const SPyReadings& readings)
{
    if (!m_log.IsOpen())
        throw py::value_error("the CSV file is closed");
    if (!m_log.WriteRow(readings.time, readings.channels))
        Fail();
}

void CPyCsvWriter::WriteGap(const SPyReadings& readings, const std::string& cause)
{
    if (!m_log.IsOpen())
        throw py::value_error("the CSV file is closed");
    if (!m_log.WriteGap(readings.time, readings.channels, cause))
        Fail();
}

void CPyCsvWriter::Close()
{
    if (m_log.IsOpen() && !m_log.Close())
        Fail();
}

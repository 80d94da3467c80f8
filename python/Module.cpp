// The `tamrix` Python module: the core's instruments for scripts. Readings that are not live are None,
// never the last number; waits release the GIL and end with KeyboardInterrupt on Ctrl-C.
#include "PyChannel.h"
#include "PyCsvWriter.h"
#include "PyErrors.h"
#include "PyReadings.h"
#include "PyReadingsIterator.h"
#include "PyUnit.h"
#include "comm/EnumerateComPorts.h"
#include "comm/PortDiscoveryError.h"
#include "comm/PortRegistry.h"
#include "comm/TerminalDevice.h"
#include "diag/Version.h"
#include "instrument/laser/Laser.h"
#include "instrument/session/InstrBase.h"
#include "instrument/tec/TEC.h"

#include <filesystem>
#include <pybind11/stl.h>

namespace py = pybind11;

namespace
{
using PyTec = CPyChannel<CTEC>;
using PyLaser = CPyChannel<CLaser>;

std::vector<SSerInfo> Ports()
{
    std::vector<SSerInfo> ports;
    try
    {
        py::gil_scoped_release unlocked;
        EnumerateComPorts(ports);
    }
    catch (const CPortDiscoveryError& error)
    {
        PyErr_SetString(PyExc_OSError, error.what());
        throw py::error_already_set();
    }
    return ports;
}

void CheckPortNumber(int number)
{
    if (number < CPortRegistry::MinPort || number > CPortRegistry::MaxPort)
        throw py::value_error("no port number (" + std::to_string(CPortRegistry::MinPort) + " to " +
                              std::to_string(CPortRegistry::MaxPort) + "): " + std::to_string(number));
}

// As `tamrix-cli ports add`: kept for every program of this user, as an absolute path (read by programs
// started in other folders); a path that does not exist yet may become a terminal later.
void AddPort(int number, const std::string& path)
{
    CheckPortNumber(number);
    const std::filesystem::path absolute = std::filesystem::absolute(path);
    if (std::filesystem::exists(absolute) && !TerminalDevice::IsPort(absolute))
        throw py::value_error("\"" + path + "\" is not a terminal (a serial port or a pseudo-terminal)");
    if (!CPortRegistry::Instance().Register(number, absolute.string(), true))
    {
        PyErr_SetString(PyExc_OSError, "could not store the port in the settings");
        throw py::error_already_set();
    }
}

void RemovePort(int number)
{
    CheckPortNumber(number);
    if (!CPortRegistry::Instance().Unregister(number, true))
    {
        PyErr_SetString(PyExc_OSError, "could not store the change in the settings");
        throw py::error_already_set();
    }
}

// A unit's channels of one kind as a Python property: wrapped for Python, raising once the unit is
// disconnected.
template <class Channel>
auto ChannelList(std::vector<SChannel<Channel>> SChannels::*kind)
{
    return [kind](const std::shared_ptr<CPyUnit>& unit)
    {
        unit->RequireConnected();
        const std::vector<SChannel<Channel>>& channels = unit->Channels().*kind;
        std::vector<CPyChannel<Channel>> wrapped;
        wrapped.reserve(channels.size());
        for (const auto& channel : channels)
            wrapped.emplace_back(unit, channel);
        return wrapped;
    };
}

// The common part of both channel classes.
template <class Wrapped>
void BindChannel(Wrapped& cls)
{
    using C = typename Wrapped::type;
    cls.def_property_readonly("label", &C::Label,
                              "The channel's label as the monitor shows it (\"TEC\", \"LAS2\").")
        .def_property_readonly("number", &C::ChannelNumber,
                               "The channel's number on the unit (1 on a single-channel unit).")
        .def("readings", &C::Readings,
             "Every reading of the channel by its monitor name: float, text, or None when not live.")
        .def("set", &C::Set, py::arg("name"), py::arg("value"),
             "Sets a value by its tamrix-cli name (\"tec.t\", \"las.ldi\", ...), through the same range "
             "checks; raises RefusedError, InstrumentError or UnconfirmedError with the same texts.")
        .def("wait_settled", &C::WaitSettled, py::arg("tolerance"), py::arg("seconds"),
             py::arg("timeout") = 60.0,
             "Waits until the quantity the mode controls has stayed within tolerance of its set point for "
             "`seconds`, on live readings of cycles that began after the call. True when it did, False after "
             "`timeout` seconds (negative: no limit). Ctrl-C raises KeyboardInterrupt.")
        .def("__repr__", [](const C& channel) { return "<tamrix channel " + channel.Label() + ">"; });
}

// A set point property: the live value (None when not live or not the mode's), written by name.
template <class Wrapped>
void SetPoint(Wrapped& cls, const char* property, const char* reading, const char* setting, const char* doc)
{
    using C = typename Wrapped::type;
    cls.def_property(
        property, [reading](const C& channel) { return channel.Number(reading); },
        [setting](C& channel, const py::object& value) { channel.Set(setting, value); }, doc);
}

template <class Wrapped>
void Reading(Wrapped& cls, const char* property, const char* reading, const char* doc)
{
    using C = typename Wrapped::type;
    cls.def_property_readonly(
        property, [reading](const C& channel) { return channel.Number(reading); }, doc);
}

// Output and mode, written with the unit's confirmation.
template <class Wrapped>
void OutputAndMode(Wrapped& cls, const char* output, const char* mode)
{
    using C = typename Wrapped::type;
    cls.def_property(
        "output",
        [](const C& channel) -> py::object
        {
            const py::object text = channel.Value("output");
            return text.is_none() ? text : py::bool_(text.cast<std::string>() == "on");
        },
        [output](C& channel, const py::object& on) { channel.Set(output, py::bool_(on.cast<bool>())); },
        "The output: True, False, or None while not live. Written with the unit's confirmation.");
    cls.def_property(
        "mode", &C::Mode, [mode](C& channel, const py::object& name) { channel.Set(mode, name); },
        "The mode's name as it is written (TEC: T, R, ITE; laser: ICW, IHBW, PULSE, TRIG, BURST, MDI, MDP, "
        "LDV); None while not live.");
}

void BindChannels(py::module_& m)
{
    py::class_<PyTec> tec(m, "TecChannel",
                          "One TEC channel. Readings are floats, or None when not live (never the last "
                          "number): a unit that stops answering loses them within its freshness bound.");
    BindChannel(tec);
    Reading(tec, "t", "T", "Temperature [°C], or None (not live, or the sensor is open or shorted).");
    Reading(tec, "r", "R", "Sensor reading in the sensor's units, or None.");
    Reading(tec, "ite", "ITE", "TEC current [A], or None.");
    Reading(tec, "v", "V", "TEC voltage [V], or None.");
    SetPoint(tec, "t_set", "T set", "tec.t", "Temperature set point [°C]; None unless live and in T mode.");
    SetPoint(tec, "r_set", "R set", "tec.r", "Sensor set point; None unless live and in R mode.");
    SetPoint(tec, "ite_set", "ITE set", "tec.ite",
             "Current set point [A]; None unless live and in ITE mode.");
    OutputAndMode(tec, "tec.output", "tec.mode");

    py::class_<PyLaser> laser(
        m, "LaserChannel",
        "One laser channel (or lamp supply channel, whose current is in A). Readings are "
        "floats, or None when not live.");
    BindChannel(laser);
    Reading(laser, "io", "LDI", "Laser diode current [mA] (lamp supply: current [A]), or None.");
    Reading(laser, "im", "MDI", "Photodiode current [µA], or None.");
    Reading(laser, "po", "MDP", "Photodiode power [mW], or None.");
    Reading(laser, "vf", "LDV", "Laser diode forward voltage [V] (lamp supply: voltage [V]), or None.");
    SetPoint(laser, "io_set", "LDI set", "las.ldi",
             "Current set point [mA] (lamp supply [A]); None unless live and in a current mode.");
    SetPoint(laser, "im_set", "MDI set", "las.mdi",
             "Photodiode current set point [µA]; None unless in MDI mode.");
    SetPoint(laser, "po_set", "MDP set", "las.mdp",
             "Photodiode power set point [mW]; None unless in MDP mode.");
    SetPoint(laser, "vf_set", "LDV set", "las.ldv", "Voltage set point [V]; None unless in LDV mode.");
    OutputAndMode(laser, "las.output", "las.mode");
}
} // namespace

PYBIND11_MODULE(tamrix, m)
{
    m.doc() = "Tamrix instruments from Python: ports, detection, connected units with live readings, set "
              "points through the program's range checks, and the monitor's CSV log.\n\n"
              "A reading that is not live is None, never the last number.";
    m.attr("__version__") = kProductVersion;
    PyErrors::Register(m);

    py::class_<SSerInfo>(m, "Port", "One serial port as `tamrix-cli ports` lists it.")
        .def_readonly("number", &SSerInfo::portNumber, "COM number (0: none).")
        .def_readonly("name", &SSerInfo::portName)
        .def_readonly("usb", &SSerInfo::isUsb)
        .def_readonly("friendly_name", &SSerInfo::friendlyName)
        .def_readonly("path", &SSerInfo::devicePath)
        .def("__repr__", [](const SSerInfo& port)
             { return "<tamrix.Port COM" + std::to_string(port.portNumber) + " " + port.devicePath + ">"; });
    m.def("ports", &Ports, "The serial ports, numbered by the port registry.");
    m.def("add_port", &AddPort, py::arg("number"), py::arg("path"),
          "Keeps path (a pseudo-terminal, say) as port COM<number> for every program of this user.");
    m.def("remove_port", &RemovePort, py::arg("number"), "Forgets a port added with add_port.");

    py::class_<SIdentRecord>(m, "IdentRecord", "What detection learned of the unit on a port.")
        .def_readonly("family_code", &SIdentRecord::familyCode,
                      "1 laser driver, 2 TEC controller, 3 laser and TEC, 7 OEM unit, 9 lamp power supply.")
        .def_readonly("model_code", &SIdentRecord::modelCode)
        .def_readonly("variant_code", &SIdentRecord::variantCode)
        .def_readonly("build_number", &SIdentRecord::buildNumber)
        .def_property_readonly("version", [](const SIdentRecord& record)
                               { return py::make_tuple(record.versionMajor, record.versionMinor); });
    m.def("detect", &CPyUnit::Detect, py::arg("descriptor"),
          "Detects the unit on \"COM:<n>:<baud>\" or \"TCP:<host>:<port>\"; raises ConnectError.");

    BindChannels(m);

    py::class_<SPyReadings>(m, "Readings", "Every channel's readings at one moment; None where not live.")
        .def_property_readonly("time", &SPyReadings::Seconds, "Seconds since the epoch (as time.time()).")
        .def_property_readonly(
            "timestamp", [](const SPyReadings& r) { return ReadingFormat::IsoTimestamp(r.time); },
            "The time as the CSV log writes it (UTC, milliseconds).")
        .def_property_readonly("channels", &SPyReadings::Channels, "{label: {name: value}}.")
        .def("__getitem__", &SPyReadings::Channel, py::arg("label"))
        .def("__repr__", [](const SPyReadings& r)
             { return ReadingFormat::MonitorLine(ReadingFormat::IsoTimestamp(r.time), r.channels); });

    py::class_<CPyReadingsIterator>(m, "ReadingsIterator")
        .def("__iter__", [](CPyReadingsIterator& it) -> CPyReadingsIterator& { return it; })
        .def("__next__", &CPyReadingsIterator::Next);

    py::class_<CPyUnit, std::shared_ptr<CPyUnit>>(
        m, "Unit",
        "A connected unit, polled in the background. Use it as a context manager: leaving the "
        "block (or an exception) disconnects it (LOCAL).")
        .def_property_readonly("descriptor", &CPyUnit::Descriptor)
        .def_property_readonly("connected", &CPyUnit::IsConnected)
        .def_property_readonly("model", &CPyUnit::Model)
        .def_property_readonly("serial", &CPyUnit::SerialNumber)
        .def_property_readonly("firmware", &CPyUnit::Firmware)
        .def_property_readonly("tec", ChannelList(&SChannels::tecs),
                               "The TEC channels (every present one on a multi-channel unit).")
        .def_property_readonly("laser", ChannelList(&SChannels::lasers),
                               "The laser (or lamp supply) channels.")
        .def("errors", &CPyUnit::TakeErrors,
             "The instrument's errors [(number, text)] collected since the last call, oldest first.")
        .def("wait_fresh", &CPyUnit::WaitFresh, py::arg("timeout") = 10.0,
             "Waits until a poll cycle that began after the call has completed: True, or False after "
             "`timeout` seconds (a unit that does not answer completes none). Ctrl-C raises "
             "KeyboardInterrupt.")
        .def("read", &CPyUnit::Read, "Every channel's readings now.")
        .def(
            "readings",
            [](const std::shared_ptr<CPyUnit>& unit, const py::object& period)
            {
                unit->RequireConnected();
                if (!period.is_none())
                    unit->SetPeriod(period.cast<double>());
                return CPyReadingsIterator(unit);
            },
            py::arg("period") = py::none(),
            "An iterator of Readings, one per completed poll cycle (the poll period set to `period` seconds "
            "when given). A silent unit still yields, with None readings; a lost connection raises "
            "ConnectError.")
        .def("disconnect", &CPyUnit::Disconnect, "Stops polling, sends LOCAL and closes the port.")
        .def("__enter__", [](const std::shared_ptr<CPyUnit>& unit) { return unit; })
        .def("__exit__",
             [](CPyUnit& unit, const py::args&)
             {
                 unit.Disconnect();
                 return false;
             })
        .def("__repr__", [](const CPyUnit& unit)
             { return "<tamrix.Unit " + unit.Descriptor() + (unit.IsConnected() ? ">" : " disconnected>"); });
    m.def("connect", &CPyUnit::Connect, py::arg("descriptor"), py::arg("period") = 0.1,
          "Detects and connects the unit on \"COM:<n>:<baud>\" (baud 0: automatic) or \"TCP:<host>:<port>\", "
          "and polls it every `period` seconds. Raises ConnectError with the program's texts.");

    py::class_<CPyCsvWriter>(m, "CsvWriter",
                             "The CSV log `tamrix-cli monitor --csv` writes: a header block, one column per "
                             "reading, gap rows. Raises OSError when the file does not take a line.")
        .def(py::init<const std::string&, const std::shared_ptr<CPyUnit>&>(), py::arg("path"),
             py::arg("unit") = nullptr)
        .def("write", &CPyCsvWriter::Write, py::arg("readings"))
        .def("write_gap", &CPyCsvWriter::WriteGap, py::arg("readings"), py::arg("cause"))
        .def_property_readonly("rows", &CPyCsvWriter::Rows)
        .def("close", &CPyCsvWriter::Close)
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__",
             [](CPyCsvWriter& writer, const py::args&)
             {
                 writer.Close();
                 return false;
             });
}

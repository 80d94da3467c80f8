#include "PyErrors.h"

namespace py = pybind11;

namespace
{
// Owned by the module for the life of the interpreter; never released, as pybind11 does with its own.
PyObject* g_error = nullptr;
PyObject* g_connect = nullptr;
PyObject* g_refused = nullptr;
PyObject* g_instrument = nullptr;
PyObject* g_unconfirmed = nullptr;
PyObject* g_notConnected = nullptr;

PyObject* Make(py::module_& module, const char* name, PyObject* bases, const char* doc)
{
    const std::string qualified = std::string("tamrix.") + name;
    PyObject* type = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, bases, nullptr);
    if (!type)
        throw py::error_already_set();
    module.add_object(name, py::reinterpret_borrow<py::object>(type));
    return type;
}

[[noreturn]] void Throw(PyObject* type, const std::string& text)
{
    PyErr_SetString(type, text.c_str());
    throw py::error_already_set();
}
} // namespace

namespace PyErrors
{
void Register(py::module_& module)
{
    g_error = Make(module, "Error", PyExc_RuntimeError, "Base of every error this module raises.");
    g_connect = Make(module, "ConnectError", g_error,
                     "The port did not open, nothing answered, or the connection was lost.");
    py::tuple refusedBases = py::make_tuple(py::handle(g_error), py::handle(PyExc_ValueError));
    g_refused = Make(module, "RefusedError", refusedBases.ptr(),
                     "A value the range checks refused before anything was sent (or a value of the wrong "
                     "form); the text is what tamrix-cli set prints.");
    g_instrument = Make(module, "InstrumentError", g_error,
                        "The instrument answered a setting with errors (see Unit.errors()).");
    g_unconfirmed = Make(module, "UnconfirmedError", g_error,
                         "A setting went out but its confirmation was lost and no read-back answered.");
    g_notConnected = Make(module, "NotConnectedError", g_error, "The unit was disconnected.");
}

void ThrowConnect(const std::string& text)
{
    Throw(g_connect, text);
}

void ThrowRefused(const std::string& text)
{
    Throw(g_refused, text);
}

void ThrowInstrument(const std::string& text)
{
    Throw(g_instrument, text);
}

void ThrowUnconfirmed(const std::string& text)
{
    Throw(g_unconfirmed, text);
}

void ThrowNotConnected()
{
    Throw(g_notConnected, "the unit is not connected");
}

void ThrowTimeout(const std::string& text)
{
    Throw(PyExc_TimeoutError, text);
}
} // namespace PyErrors

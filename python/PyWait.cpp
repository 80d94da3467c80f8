#include "PyWait.h"

#include <algorithm>
#include <chrono>
#include <pybind11/pybind11.h>

namespace py = pybind11;

namespace PyWait
{
bool Until(const std::function<bool()>& done, double timeoutS, const Block& block)
{
    using Clock = std::chrono::steady_clock;
    const bool forever = timeoutS < 0;
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(forever ? 0.0 : std::min(timeoutS, 1e7)));
    for (;;)
    {
        if (done())
            return true;
        const auto now = Clock::now();
        if (!forever && now >= deadline)
            return false;
        {
            py::gil_scoped_release unlocked;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
            block(forever ? SliceMs : static_cast<int>(std::min<int64_t>(SliceMs, left)));
        }
        if (PyErr_CheckSignals() != 0)
            throw py::error_already_set();
    }
}
} // namespace PyWait

#include "diag/EventLog.h"
#include "instrument/session/RequestStrand.h"
#include "ui/app/TamrixControlApp.h"

#include <cstdlib>

namespace
{
// Instruments disconnect on their own threads after the window has gone; a unit that does not answer
// may hold the program this long at most.
constexpr int QuitWaitMs = 3000;
} // namespace

int main(int argc, char** argv)
{
    int code = 0;
    {
        CTamrixControlApp app;
        code = app.Run(argc, argv);
    }
    if (!CRequestStrand::WaitForAll(QuitWaitMs))
    {
        TAMRIX_LOG(ccGeneral, 1, "Ended with %d instrument(s) still disconnecting\n", CRequestStrand::Busy());
        // Their threads still use the instruments: the program may not run its static destructors.
        std::_Exit(code);
    }
    return code;
}

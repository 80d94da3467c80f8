#pragma once

#include <cstdint>

// Tells the terminal, on stderr, that the unit has stopped answering and for how long (once a second
// while it lasts), and that it answers again when it does.
class CCliSilenceNotice
{
public:
    // The unit's silence now (0: answering); true while it is silent.
    bool Report(int64_t silentMs);

private:
    int64_t m_shownSeconds = -1; // -1: nothing said
};

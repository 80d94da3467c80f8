#pragma once

#include <cstdint>
#include <string>

// What detection learned about the unit on a port. familyCode 0 means nothing was identified;
// 1 laser driver, 2 TEC controller, 3 laser and TEC, 7 OEM unit, 9 lamp power supply.
struct SIdentRecord
{
    int32_t familyCode = 0;
    int32_t modelCode = 0;   // model group within the family
    int32_t variantCode = 0; // model within the group
    int32_t buildNumber = 0; // firmware build
    int32_t versionMajor = 0;
    int32_t versionMinor = 0;
    // A reply came that is not in the form expected (a corrupt revision or build): nothing was guessed.
    bool unreadableReply = false;
    // The unit's answer to detection's "ERR?": errors it had queued before anyone connected. Detection
    // empties the queue, so whoever connects adds these to the instrument's error list.
    std::string queuedErrors;
};

#pragma once

#include <string>

// What a command handler hands back to the engine: an answer (queries), nothing (commands), or an
// instrument error number that the engine queues instead of answering.
struct SSimResult
{
    int error = 0; // > 0: queued in the unit's error queue, no answer
    bool hasAnswer = false;
    std::string answer; // one field of the reply line, without separators or line end

    static SSimResult Done() { return {}; }
    static SSimResult Answer(std::string text) { return {0, true, std::move(text)}; }
    static SSimResult Error(int number) { return {number, false, {}}; }
};

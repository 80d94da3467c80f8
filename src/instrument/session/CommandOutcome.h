#pragma once

// What became of a checked command (a command followed by the unit's error check). Told apart so that
// a caller says "not sent" only when nothing went out, and asks the unit what it holds when the command
// went out but its confirmation was lost.
enum class ECommandOutcome
{
    None,        // no checked command since the caller last reset the outcome
    NotSent,     // nothing reached the unit: port closed, or the hand-over was given up before it ran
    Accepted,    // the error check answered "0"
    Refused,     // the error check answered error numbers; they are in the error list
    Unconfirmed, // written, but the error check's answer did not come (or came unreadable)
};

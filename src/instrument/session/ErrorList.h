#pragma once

#include "instrument/session/ErrorMsg.h"

#include <cstddef>
#include <mutex>
#include <string_view>
#include <vector>

// The errors an instrument has reported, oldest first. The poll thread appends while the user
// interface reads and removes, so every access goes through one lock.
class CErrorList
{
public:
    // Records number with the current time and its table text; numbers <= 0 are not errors.
    void Add(int number);

    // Records every error number of an "ERR?" reply from position start on: fields separated by ",",
    // each read as its leading integer; 0, negative and non-numeric fields add nothing. All records of
    // one reply share one reception time.
    void AddErrorsFromReply(std::string_view reply, size_t start);

    int GetErrorCount() const;

    // A copy of the record at index (0 = oldest), taken out of the list with remove; an index outside
    // the list gives a default record.
    CErrorMsg GetError(int index, bool remove);

    void ClearErrors();

private:
    mutable std::mutex m_lock;
    std::vector<CErrorMsg> m_errors;
};

#include "instrument/session/ErrorList.h"

#include "instrument/session/ErrorTable.h"

#include <charconv>
#include <climits>
#include <ctime>

namespace
{
int64_t Now()
{
    return static_cast<int64_t>(std::time(nullptr));
}

// The leading integer of a field as the instruments write it: blanks, an optional sign, digits.
// A field without digits is 0; numbers beyond the int range saturate.
int LeadingInteger(std::string_view field)
{
    size_t pos = field.find_first_not_of(" \t\r\n");
    if (pos == std::string_view::npos)
    {
        return 0;
    }
    bool negative = false;
    if (field[pos] == '+' || field[pos] == '-')
    {
        negative = field[pos] == '-';
        ++pos;
    }
    long long value = 0;
    const char* first = field.data() + pos;
    const char* last = field.data() + field.size();
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec == std::errc::result_out_of_range)
    {
        return negative ? INT_MIN : INT_MAX;
    }
    if (ec != std::errc() || end == first)
    {
        return 0;
    }
    if (value > INT_MAX)
    {
        return negative ? INT_MIN : INT_MAX;
    }
    return negative ? -static_cast<int>(value) : static_cast<int>(value);
}
} // namespace

void CErrorList::Add(int number)
{
    if (number <= 0)
    {
        return;
    }
    CErrorMsg record(Now(), number, CErrorTable::GetErrorText(number));
    std::lock_guard lock(m_lock);
    m_errors.push_back(std::move(record));
}

void CErrorList::AddErrorsFromReply(std::string_view reply, size_t start)
{
    if (start >= reply.size())
    {
        return;
    }
    std::vector<CErrorMsg> found;
    const int64_t received = Now();
    std::string_view rest = reply.substr(start);
    while (!rest.empty())
    {
        size_t comma = rest.find(',');
        std::string_view field = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        if (field.empty())
        {
            continue; // runs of separators
        }
        int number = LeadingInteger(field);
        if (number > 0)
        {
            found.emplace_back(received, number, CErrorTable::GetErrorText(number));
        }
    }
    if (found.empty())
    {
        return;
    }
    std::lock_guard lock(m_lock);
    for (CErrorMsg& record : found)
    {
        m_errors.push_back(std::move(record));
    }
}

int CErrorList::GetErrorCount() const
{
    std::lock_guard lock(m_lock);
    return static_cast<int>(m_errors.size());
}

CErrorMsg CErrorList::GetError(int index, bool remove)
{
    std::lock_guard lock(m_lock);
    if (index < 0 || static_cast<size_t>(index) >= m_errors.size())
    {
        return CErrorMsg();
    }
    auto it = m_errors.begin() + index;
    CErrorMsg record = *it;
    if (remove)
    {
        m_errors.erase(it);
    }
    return record;
}

void CErrorList::ClearErrors()
{
    std::lock_guard lock(m_lock);
    m_errors.clear();
}

#include "instrument/session/ErrorMsg.h"

#include <ctime>
#include <utility>

CErrorMsg::CErrorMsg() : CErrorMsg(static_cast<int64_t>(std::time(nullptr)), 0, std::string()) {}

CErrorMsg::CErrorMsg(int64_t time, int number, std::string text)
    : m_time(time), m_number(number), m_text(std::move(text))
{
}

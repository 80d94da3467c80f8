#include "instrument/session/ErrorList.h"
#include "instrument/session/ErrorTable.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <thread>

namespace
{
struct TextCase
{
    int number;
    const char* text;
};

void PrintTo(const TextCase& c, std::ostream* os)
{
    *os << c.number;
}

class ErrorTextTest : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(ErrorTextTest, LooksUpTheTableText)
{
    EXPECT_EQ(CErrorTable::GetErrorText(GetParam().number), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeAndSampleNumbers, ErrorTextTest,
    ::testing::Values(
        TextCase{0, "No error"}, TextCase{999, "Unknown error"}, TextCase{12345, "Unknown error"},
        TextCase{-1, "Unknown error"}, TextCase{1, "Out of memory"}, TextCase{998, "Not supported"},
        TextCase{12, "Error reading user settings, used recovery values"}, TextCase{11, "Menu access denied"},
        TextCase{100, "General err"}, TextCase{201, "Parameter was out of range and not accepted"},
        TextCase{401, "TEC: Interlock error shutdown the output"},
        TextCase{537, "Laser: Thermal limit error shutdown the output. Try lowering the Vf limit"},
        TextCase{683, "Lamp voltage limist, output turned off"},
        TextCase{800, "Warningm the remote voltage sense is low (is it connected?)"},
        TextCase{13, "Unknown error"}));

TEST(ErrorTable, HasAllRowsWithTheTerminatorLast)
{
    auto rows = CErrorTable::GetRows();
    ASSERT_EQ(rows.size(), 103u);
    EXPECT_EQ(rows.back().number, 999);
    EXPECT_EQ(rows[rows.size() - 2].number, 0);
}

struct ReplyCase
{
    const char* reply;
    size_t start;
    std::vector<int> numbers;
};

void PrintTo(const ReplyCase& c, std::ostream* os)
{
    std::string reply = c.reply;
    std::replace(reply.begin(), reply.end(), '\r', '^');
    *os << '"' << reply << "\" from " << c.start;
}

class AddErrorsFromReplyTest : public ::testing::TestWithParam<ReplyCase>
{
};

TEST_P(AddErrorsFromReplyTest, RecordsOnlyPositiveNumbers)
{
    CErrorList list;
    list.AddErrorsFromReply(GetParam().reply, GetParam().start);
    ASSERT_EQ(list.GetErrorCount(), static_cast<int>(GetParam().numbers.size()));
    for (size_t i = 0; i < GetParam().numbers.size(); ++i)
    {
        CErrorMsg record = list.GetError(static_cast<int>(i), false);
        EXPECT_EQ(record.GetNumber(), GetParam().numbers[i]);
        EXPECT_EQ(record.GetText(), CErrorTable::GetErrorText(GetParam().numbers[i]));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, AddErrorsFromReplyTest,
    ::testing::Values(ReplyCase{"0", 0, {}}, ReplyCase{"", 0, {}}, ReplyCase{"201", 0, {201}},
                      ReplyCase{"401,402", 0, {401, 402}}, ReplyCase{",,201,0,-3,abc,402", 0, {201, 402}},
                      ReplyCase{"402xyz, 403\r", 0, {402, 403}}, ReplyCase{"1.250,201,0", 6, {201}},
                      ReplyCase{"1.250,201,0", 5, {201}}, ReplyCase{"201", 3, {}}, ReplyCase{"201", 99, {}},
                      ReplyCase{"12345", 0, {12345}}, ReplyCase{"99999999999999", 0, {2147483647}}));

TEST(ErrorList, OneReplySharesOneReceptionTimeAndUnknownNumbersKeepTheirNumber)
{
    CErrorList list;
    list.AddErrorsFromReply("401,12345", 0);
    ASSERT_EQ(list.GetErrorCount(), 2);
    CErrorMsg first = list.GetError(0, false);
    CErrorMsg second = list.GetError(1, false);
    EXPECT_EQ(first.GetTime(), second.GetTime());
    EXPECT_EQ(first.GetText(), "TEC: Interlock error shutdown the output");
    EXPECT_EQ(second.GetNumber(), 12345);
    EXPECT_EQ(second.GetText(), "Unknown error");
}

TEST(ErrorList, GetErrorWithAndWithoutRemoveAndOutOfRange)
{
    CErrorList list;
    list.Add(401);
    list.Add(0); // not an error
    list.Add(402);
    list.Add(403);
    ASSERT_EQ(list.GetErrorCount(), 3);

    EXPECT_EQ(list.GetError(1, false).GetNumber(), 402);
    EXPECT_EQ(list.GetErrorCount(), 3);

    EXPECT_EQ(list.GetError(0, true).GetNumber(), 401);
    EXPECT_EQ(list.GetErrorCount(), 2);
    EXPECT_EQ(list.GetError(0, false).GetNumber(), 402); // later records moved up

    for (int index : {2, 5, -1})
    {
        CErrorMsg none = list.GetError(index, true);
        EXPECT_EQ(none.GetNumber(), 0);
        EXPECT_EQ(none.GetText(), "");
        EXPECT_GT(none.GetTime(), 0);
    }
    EXPECT_EQ(list.GetErrorCount(), 2);

    list.ClearErrors();
    EXPECT_EQ(list.GetErrorCount(), 0);
}

TEST(ErrorList, ConcurrentAppendsAndRemovalsLoseNothing)
{
    CErrorList list;
    constexpr int kPerThread = 1000;
    std::atomic<int> removed{0};
    std::atomic<bool> writersDone{false};
    auto writer = [&](const char* reply)
    {
        for (int i = 0; i < kPerThread; ++i)
        {
            list.AddErrorsFromReply(reply, 0);
        }
    };
    std::thread a(writer, "401");
    std::thread b(writer, "0,501");
    std::thread reader(
        [&]
        {
            while (!writersDone.load() || list.GetErrorCount() > 0)
            {
                if (list.GetError(0, true).GetNumber() != 0)
                {
                    removed.fetch_add(1);
                }
            }
        });
    a.join();
    b.join();
    writersDone.store(true);
    reader.join();
    EXPECT_EQ(removed.load(), 2 * kPerThread);
    EXPECT_EQ(list.GetErrorCount(), 0);
}
} // namespace

#include "comm/PortDescriptor.h"
#include "comm/SerialBase.h"

#include <gtest/gtest.h>

namespace
{
struct DescriptorRow
{
    const char* text;
    bool valid;
    const char* kind = "";
    const char* first = "";
    const char* second = "";
};

class PortDescriptorParse : public testing::TestWithParam<DescriptorRow>
{
};

TEST_P(PortDescriptorParse, SplitsIntoThreeFields)
{
    const DescriptorRow& row = GetParam();
    const auto parsed = PortDescriptor::Parse(row.text);
    ASSERT_EQ(parsed.has_value(), row.valid) << row.text;
    if (!row.valid)
        return;
    EXPECT_EQ(parsed->kind, row.kind);
    EXPECT_EQ(parsed->first, row.first);
    EXPECT_EQ(parsed->second, row.second);
}

INSTANTIATE_TEST_SUITE_P(Rows, PortDescriptorParse,
                         testing::Values(DescriptorRow{"COM:3:9600", true, "COM", "3", "9600"},
                                         DescriptorRow{"TCP:host:10001 extra", true, "TCP", "host", "10001"},
                                         DescriptorRow{"COM:3:0\ttrailing", true, "COM", "3", "0"},
                                         DescriptorRow{"COM:3:9600:more", true, "COM", "3", "9600:more"},
                                         DescriptorRow{"COM:3", false}, DescriptorRow{"COM:3:", false},
                                         DescriptorRow{"COM::9600", false}, DescriptorRow{":3:9600", false},
                                         DescriptorRow{"COM:3: 9600", false}, DescriptorRow{"", false}));

TEST(PortDescriptorToInt, FollowsAtoiWithoutLocale)
{
    EXPECT_EQ(PortDescriptor::ToInt("9600"), 9600);
    EXPECT_EQ(PortDescriptor::ToInt(" 42"), 42);
    EXPECT_EQ(PortDescriptor::ToInt("+7"), 7);
    EXPECT_EQ(PortDescriptor::ToInt("-3"), -3);
    EXPECT_EQ(PortDescriptor::ToInt("12abc"), 12);
    EXPECT_EQ(PortDescriptor::ToInt("abc"), 0);
    EXPECT_EQ(PortDescriptor::ToInt("99999999999"), 0);
}

// Records which open slot the descriptor reached.
class RecordingChannel : public CSerialBase
{
public:
    RecordingChannel() : CSerialBase(NoChannel) {}

    bool OpenPort(int portNumber, int baud) override
    {
        call = "port " + std::to_string(portNumber) + " " + std::to_string(baud);
        return true;
    }
    bool OpenNetwork(const std::string& host, int tcpPort) override
    {
        call = "net " + host + " " + std::to_string(tcpPort);
        return true;
    }
    bool OpenPortByName(const std::string&, int) override { return false; }
    bool Close() override { return true; }
    int Read(char*, int, int) override { return 0; }
    std::string ReadLine(int) override { return {}; }
    int Write(const char*, int) override { return 0; }
    bool WriteByte(char) override { return false; }
    int BytesAvailable() override { return 0; }
    void Purge() override {}

    std::string call;
};

TEST(OpenDescriptor, DispatchesByKind)
{
    const std::pair<const char*, const char*> rows[] = {
        {"COM:3:9600", "port 3 9600"},
        {"COM:12:0", "port 12 0"},
        {"TCP:192.168.1.20:10001 extra", "net 192.168.1.20 10001"},
        {"USB:1:2", ""},
        {"com:3:9600", ""},
        {"TCP:host", ""},
    };
    for (const auto& [descriptor, expected] : rows)
    {
        RecordingChannel channel;
        EXPECT_EQ(channel.OpenDescriptor(descriptor), *expected != '\0') << descriptor;
        EXPECT_EQ(channel.call, expected) << descriptor;
    }
}
} // namespace

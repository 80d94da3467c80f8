#include "comm/HostNameForm.h"

#include <gtest/gtest.h>
#include <string>

namespace
{
struct FormRow
{
    std::string host;
    EHostForm form;
};

// Three labels of 63 and one of lastLabel: 253 characters in all when lastLabel is 61.
std::string LongName(size_t lastLabel)
{
    const std::string label(63, 'a');
    return label + "." + label + "." + label + "." + std::string(lastLabel, 'b');
}

class HostNameFormTest : public testing::TestWithParam<FormRow>
{
};

TEST_P(HostNameFormTest, ClassifiesAsTyped)
{
    EXPECT_EQ(HostNameForm::Classify(GetParam().host), GetParam().form) << GetParam().host;
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, HostNameFormTest,
    testing::Values(FormRow{"10.0.0.5", EHostForm::Ipv4Address}, FormRow{"0.0.0.0", EHostForm::Ipv4Address},
                    FormRow{"255.255.255.255", EHostForm::Ipv4Address},
                    FormRow{"192.168.1.256", EHostForm::BadIpv4}, FormRow{"10.0.0", EHostForm::BadIpv4},
                    FormRow{"10.0.0.5.6", EHostForm::BadIpv4}, FormRow{"10..0.5", EHostForm::BadIpv4},
                    FormRow{"10.0.0.5.", EHostForm::BadIpv4}, FormRow{"192.168.001.40", EHostForm::BadIpv4},
                    FormRow{"1234.0.0.1", EHostForm::BadIpv4}, FormRow{"12345", EHostForm::BadIpv4},
                    FormRow{"lab-tec", EHostForm::HostName},
                    FormRow{"Bench2.lab.example", EHostForm::HostName}, FormRow{"3com", EHostForm::HostName},
                    FormRow{"a", EHostForm::HostName}, FormRow{"10.0.0.x5", EHostForm::HostName},
                    FormRow{std::string(63, 'a') + ".b", EHostForm::HostName},
                    FormRow{std::string(64, 'a') + ".b", EHostForm::BadHostName},
                    FormRow{LongName(61), EHostForm::HostName}, FormRow{LongName(62), EHostForm::BadHostName},
                    FormRow{"-lab", EHostForm::BadHostName}, FormRow{"lab-", EHostForm::BadHostName},
                    FormRow{"lab_tec", EHostForm::BadHostName}, FormRow{"lab..tec", EHostForm::BadHostName},
                    FormRow{".lab", EHostForm::BadHostName}, FormRow{"host.123", EHostForm::BadHostName},
                    FormRow{"", EHostForm::BadHostName}, FormRow{"lab tec", EHostForm::BadHostName},
                    FormRow{"l\xc3\xa4"
                            "b",
                            EHostForm::BadHostName},
                    FormRow{"::1", EHostForm::Ipv6Literal}, FormRow{"fe80::1", EHostForm::Ipv6Literal},
                    FormRow{"lab:80", EHostForm::BadHostName}));
} // namespace

// The instrument factory's choice of class from identification codes: row order and the codes that
// no row accepts.
#include "instrument/combined/D560.h"
#include "instrument/combined/Norlase.h"
#include "instrument/combined/X19.h"
#include "instrument/combined/X510.h"
#include "instrument/lamp/LPS.h"
#include "instrument/lamp/MultiLPS.h"
#include "instrument/models/D310.h"
#include "instrument/models/D312.h"
#include "instrument/models/D710.h"
#include "instrument/models/K196.h"
#include "instrument/models/K705.h"
#include "instrument/models/K760.h"
#include "instrument/models/K910.h"
#include "instrument/models/M607.h"
#include "instrument/models/M607_S0311.h"
#include "instrument/models/M608_R4.h"
#include "instrument/models/M609.h"
#include "instrument/models/M618.h"
#include "instrument/session/InstrumentFactory.h"

#include <gtest/gtest.h>
#include <memory>
#include <typeinfo>

namespace
{
struct SFactoryCase
{
    const char* name;
    int family;
    int model;
    int variant;
    int major;
    const std::type_info* expected; // nullptr: no object
};

class FactoryRows : public ::testing::TestWithParam<SFactoryCase>
{
};

TEST_P(FactoryRows, CreatesTheModelsClass)
{
    const SFactoryCase& c = GetParam();
    std::unique_ptr<CInstrBase> created(CreateInstrumentObject(c.family, c.model, c.variant, c.major));
    if (!c.expected)
    {
        EXPECT_EQ(created, nullptr);
        return;
    }
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(typeid(*created), *c.expected) << typeid(*created).name();
}

INSTANTIATE_TEST_SUITE_P(
    Factory, FactoryRows,
    ::testing::Values(
        SFactoryCase{"D310", 1, 1, 1, 1, &typeid(CD310)},
        SFactoryCase{"D310AnyVersion", 1, 1, 7, 3, &typeid(CD310)},
        SFactoryCase{"D710", 1, 2, 2, 1, &typeid(CD710)}, SFactoryCase{"D19", 1, 2, 3, 1, &typeid(CD710)},
        SFactoryCase{"D710Major2None", 1, 2, 2, 2, nullptr},
        SFactoryCase{"D312", 1, 2, 10, 2, &typeid(CD312)},
        SFactoryCase{"D312Major1None", 1, 2, 10, 1, nullptr},
        SFactoryCase{"D560", 1, 12, 40, 1, &typeid(CD560)},
        SFactoryCase{"M618Variant37", 1, 19, 37, 1, &typeid(CM618)},
        SFactoryCase{"M618Variant32", 1, 19, 32, 1, &typeid(CM618)},
        SFactoryCase{"M608R4", 1, 19, 38, 1, &typeid(CM608_R4)},
        SFactoryCase{"LaserGroup19Unknown", 1, 19, 39, 1, nullptr},
        SFactoryCase{"K705", 2, 3, 4, 2, &typeid(CK705)}, SFactoryCase{"K910", 2, 4, 5, 2, &typeid(CK910)},
        SFactoryCase{"K19", 2, 4, 7, 2, &typeid(CK910)}, SFactoryCase{"K196", 2, 13, 31, 2, &typeid(CK196)},
        SFactoryCase{"K760", 2, 13, 30, 2, &typeid(CK760)},
        SFactoryCase{"K760OtherVariant", 2, 13, 32, 2, &typeid(CK760)},
        SFactoryCase{"M609", 2, 15, 25, 2, &typeid(CM609)},
        SFactoryCase{"M619", 2, 15, 36, 2, &typeid(CM609)},
        SFactoryCase{"X19ByVariant", 3, 6, 23, 3, &typeid(CX19)},
        SFactoryCase{"X19BeforeModel5", 3, 5, 23, 3, &typeid(CX19)},
        SFactoryCase{"X510", 3, 5, 22, 3, &typeid(CX510)}, SFactoryCase{"M607", 3, 20, 38, 3, &typeid(CM607)},
        SFactoryCase{"M607S0311", 3, 20, 39, 3, &typeid(CM607_S0311)},
        SFactoryCase{"CombinedUnknown", 3, 20, 40, 3, nullptr},
        SFactoryCase{"OemUnit", 7, 14, 41, 3, &typeid(CNorlase)},
        SFactoryCase{"OemOtherModel", 7, 15, 41, 3, nullptr},
        SFactoryCase{"FourChannelLampSupply", 9, 16, 36, 1, &typeid(CMultiLPS)},
        SFactoryCase{"LampSupply29", 9, 16, 29, 1, &typeid(CLPS)},
        SFactoryCase{"LampSupply30", 9, 16, 30, 1, &typeid(CLPS)},
        SFactoryCase{"NothingIdentified", 0, 1, 1, 1, nullptr},
        SFactoryCase{"UnknownTecModel", 2, 99, 1, 2, nullptr},
        SFactoryCase{"UnknownFamily", 5, 1, 1, 1, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });
} // namespace

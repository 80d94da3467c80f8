#include "instrument/session/InstrumentFactory.h"

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

#include <array>

namespace
{
constexpr int Any = -1;

// One row of the model choice: a code of Any matches every value. The first matching row wins, so
// the order of the rows is part of the rule (a variant row before a model row of the same family).
struct SFactoryRow
{
    int familyCode;
    int modelCode;
    int variantCode;
    int versionMajor;
    CInstrBase* (*create)();
};

template <class T>
CInstrBase* Make()
{
    return new T();
}

constexpr auto Rows = std::to_array<SFactoryRow>({
    {1, 1, Any, Any, Make<CD310>},
    {1, 2, 2, 1, Make<CD710>},
    {1, 2, 3, 1, Make<CD710>},
    {1, 2, 10, 2, Make<CD312>},
    {1, 12, Any, Any, Make<CD560>},
    {1, 19, 37, Any, Make<CM618>},
    {1, 19, 32, Any, Make<CM618>},
    {1, 19, 38, Any, Make<CM608_R4>},
    {2, 3, Any, Any, Make<CK705>},
    {2, 4, Any, Any, Make<CK910>},
    {2, 13, 31, Any, Make<CK196>},
    {2, 13, Any, Any, Make<CK760>},
    {2, 15, Any, Any, Make<CM609>},
    {3, Any, 23, Any, Make<CX19>},
    {3, 5, Any, Any, Make<CX510>},
    {3, Any, 38, Any, Make<CM607>},
    {3, Any, 39, Any, Make<CM607_S0311>},
    {7, 14, Any, Any, Make<CNorlase>},
    {9, Any, 36, Any, Make<CMultiLPS>},
    {9, Any, 29, Any, Make<CLPS>},
    {9, Any, 30, Any, Make<CLPS>},
});

bool Matches(int wanted, int actual)
{
    return wanted == Any || wanted == actual;
}
} // namespace

CInstrBase* CreateInstrumentObject(int familyCode, int modelCode, int variantCode, int versionMajor)
{
    for (const SFactoryRow& row : Rows)
    {
        if (row.familyCode == familyCode && Matches(row.modelCode, modelCode) &&
            Matches(row.variantCode, variantCode) && Matches(row.versionMajor, versionMajor))
            return row.create();
    }
    return nullptr;
}

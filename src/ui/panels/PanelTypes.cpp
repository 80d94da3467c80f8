#include "ui/panels/PanelTypes.h"

namespace PanelType
{
namespace
{
bool IsKnownFamily(int familyCode)
{
    return familyCode >= 1 && familyCode <= 9;
}

constexpr int X19Variant = 23;

// The multi-channel laser units: their variants (the M6x8 group) need the four-block panel.
bool IsMultiLaserVariant(int variantCode)
{
    return variantCode == 32 || variantCode == 37 || variantCode == 38;
}
} // namespace

bool IsValid(int typeCode)
{
    return typeCode >= Laser && typeCode <= M607;
}

bool Accepts(int typeCode, const SIdentRecord& r)
{
    switch (typeCode)
    {
    case Laser:
        return IsKnownFamily(r.familyCode) && (r.modelCode == 1 || r.modelCode == 2 || r.modelCode == 12);
    case TEC:
        return r.familyCode == 2 && (r.modelCode == 3 || r.modelCode == 4 || r.modelCode == 13);
    case Combo:
        // The X19 (variant 23, whatever its model code) is the unit this panel was made for.
        return r.familyCode == 3 && (r.modelCode == 5 || r.variantCode == X19Variant);
    case Norlase:
        return r.familyCode == 7 && r.modelCode == 14;
    case M609:
        return r.familyCode == 2 && r.modelCode == 15;
    case M6x8:
        // A single-channel laser driver would "connect" without a block: it goes to the laser panel.
        return r.familyCode == 1 && IsMultiLaserVariant(r.variantCode);
    case M607:
        return IsKnownFamily(r.familyCode) && r.modelCode == 20;
    default:
        return false;
    }
}

int FittingType(const SIdentRecord& r)
{
    int type = 0;
    switch (r.familyCode)
    {
    case 1:
        type = IsMultiLaserVariant(r.variantCode) ? M6x8 : Laser;
        break;
    case 2:
        type = r.modelCode == 15 ? M609 : TEC;
        break;
    case 3:
        type = r.modelCode == 20 ? M607 : Combo;
        break;
    case 7:
        type = Norlase;
        break;
    default:
        break;
    }
    return type != 0 && Accepts(type, r) ? type : 0;
}

const char* ModelNames(int typeCode)
{
    // The models the instrument factory builds for the records Accepts() takes.
    switch (typeCode)
    {
    case Laser:
        return "D310, D312, D560, D710, D19";
    case TEC:
        return "K196, K705, K706, K708, K760, K910, K19";
    case Combo:
        return "X510, X19";
    case Norlase:
        return "OEM laser";
    case M609:
        return "M609, M619";
    case M6x8:
        return "M606, M608, M618";
    case M607:
        return "M607";
    default:
        return "";
    }
}

const char* SideStripText(int typeCode)
{
    switch (typeCode)
    {
    case Laser:
        return "LASER";
    case TEC:
        return "TEC";
    case Combo:
        return "LASER + TEC";
    case Norlase:
        return "OEM LASER";
    case M609:
        return "4 x TEC";
    case M6x8:
        return "4 x LASER";
    case M607:
        return "2 x LASER + 2 x TEC";
    default:
        return "";
    }
}
} // namespace PanelType

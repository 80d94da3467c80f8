#include "ui/panels/PanelTypes.h"

#include <array>

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

const std::array<SKind, 7> Table{{
    {Laser, &CreateLaserPanel, "LASER", "D310, D312, D560, D710, D19", "Laser", "addLaserPanelButton",
     [](const SIdentRecord& r) { return r.familyCode == 1 && !IsMultiLaserVariant(r.variantCode); },
     [](const SIdentRecord& r)
     { return IsKnownFamily(r.familyCode) && (r.modelCode == 1 || r.modelCode == 2 || r.modelCode == 12); }},
    {TEC, &CreateTecPanel, "TEC", "K196, K705, K706, K708, K760, K910, K19", "TEC", "addTecPanelButton",
     [](const SIdentRecord& r) { return r.familyCode == 2 && r.modelCode != 15; },
     [](const SIdentRecord& r)
     { return r.familyCode == 2 && (r.modelCode == 3 || r.modelCode == 4 || r.modelCode == 13); }},
    // The X19 (variant 23, whatever its model code) is the unit the combo panel was made for.
    {Combo, &CreateComboPanel, "LASER + TEC", "X510, X19", "Combo", "addComboPanelButton",
     [](const SIdentRecord& r) { return r.familyCode == 3 && r.modelCode != 20; },
     [](const SIdentRecord& r)
     { return r.familyCode == 3 && (r.modelCode == 5 || r.variantCode == X19Variant); }},
    {Norlase, &CreateNorlasePanel, "OEM LASER", "OEM laser", nullptr, nullptr,
     [](const SIdentRecord& r) { return r.familyCode == 7; },
     [](const SIdentRecord& r) { return r.familyCode == 7 && r.modelCode == 14; }},
    {M609, &CreateM609Panel, "4 x TEC", "M609, M619", "M6x9", "addM6x9PanelButton",
     [](const SIdentRecord& r) { return r.familyCode == 2 && r.modelCode == 15; },
     [](const SIdentRecord& r) { return r.familyCode == 2 && r.modelCode == 15; }},
    // A single-channel laser driver would "connect" without a block: it goes to the laser panel.
    {M6x8, &CreateM6x8Panel, "4 x LASER", "M606, M608, M618", "M6x8", "addM6x8PanelButton",
     [](const SIdentRecord& r) { return r.familyCode == 1 && IsMultiLaserVariant(r.variantCode); },
     [](const SIdentRecord& r) { return r.familyCode == 1 && IsMultiLaserVariant(r.variantCode); }},
    {M607, &CreateM607Panel, "2 x LASER + 2 x TEC", "M607", nullptr, nullptr,
     [](const SIdentRecord& r) { return r.familyCode == 3 && r.modelCode == 20; },
     [](const SIdentRecord& r) { return IsKnownFamily(r.familyCode) && r.modelCode == 20; }},
}};
} // namespace

std::span<const SKind> Kinds()
{
    return Table;
}

const SKind* Find(int typeCode)
{
    for (const SKind& kind : Table)
        if (kind.typeCode == typeCode)
            return &kind;
    return nullptr;
}

bool IsValid(int typeCode)
{
    return Find(typeCode) != nullptr;
}

bool Accepts(int typeCode, const SIdentRecord& record)
{
    const SKind* kind = Find(typeCode);
    return kind && kind->accepts(record);
}

int FittingType(const SIdentRecord& record)
{
    for (const SKind& kind : Table)
        if (kind.fits(record))
            return kind.accepts(record) ? kind.typeCode : 0;
    return 0;
}

const char* ModelNames(int typeCode)
{
    const SKind* kind = Find(typeCode);
    return kind ? kind->modelNames : "";
}

const char* SideStripText(int typeCode)
{
    const SKind* kind = Find(typeCode);
    return kind ? kind->sideStripText : "";
}
} // namespace PanelType

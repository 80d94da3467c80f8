#pragma once

#include "instrument/session/IdentRecord.h"

// Panel type codes, persisted per panel in "Settings"/"Panels" and in each "Panel%d-%d" section.
namespace PanelType
{
constexpr int Laser = 1;
constexpr int TEC = 2;
constexpr int Combo = 3;
constexpr int Norlase = 4;
constexpr int M609 = 5;
constexpr int M6x8 = 6;
constexpr int M607 = 7;

bool IsValid(int typeCode);

// Whether a panel of the type takes the identified unit (each panel's acceptance rule).
bool Accepts(int typeCode, const SIdentRecord& record);

// The panel type that fits an identified unit, or 0 when none does. A type is only named when its panel
// would accept the record, so a replacement can never be refused again (a replacement loop).
int FittingType(const SIdentRecord& record);

// The models a panel of the type drives, as their identities begin ("M609, M619"), for the choice of
// a panel by a person who knows the unit but not the panel's name.
const char* ModelNames(int typeCode);

// The kind shown on the panel's side strip and the error log's title.
const char* SideStripText(int typeCode);
} // namespace PanelType

#pragma once

#include "instrument/session/IdentRecord.h"

#include <span>

struct SUiContext;
class CBasePanel;
class IPanelHost;
class QWidget;

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

using Factory = CBasePanel* (*)(const SUiContext& context, IPanelHost& host, int index, QWidget* parent);

// Everything the program knows of a panel kind, in one row of one table: adding a kind is adding a row
// (and its panel class, whose source defines the factory declared below).
struct SKind
{
    int typeCode;
    Factory create;
    // The kind shown on the panel's side strip and the error log's title.
    const char* sideStripText;
    // The models the panel drives, as their identities begin ("M609, M619"), for the choice of a panel
    // by a person who knows the unit but not the panel's name.
    const char* modelNames;
    // The "Add Panel" button: its kind ("Laser" gives "Laser panel: ...") and object name; null for a
    // kind only detection puts up.
    const char* choiceKind;
    const char* choiceName;
    // The unit's family and model point to this kind (the kinds are disjoint in this).
    bool (*fits)(const SIdentRecord& record);
    // The panel takes the identified unit (each panel's acceptance rule).
    bool (*accepts)(const SIdentRecord& record);
};

// The kinds in type-code order.
std::span<const SKind> Kinds();
// Null for a code that names no kind.
const SKind* Find(int typeCode);

bool IsValid(int typeCode);

// Whether a panel of the type takes the identified unit.
bool Accepts(int typeCode, const SIdentRecord& record);

// The panel type that fits an identified unit, or 0 when none does. A type is only named when its panel
// would accept the record, so a replacement can never be refused again (a replacement loop).
int FittingType(const SIdentRecord& record);

const char* ModelNames(int typeCode);
const char* SideStripText(int typeCode);

// The factories, each defined beside its panel class.
CBasePanel* CreateLaserPanel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent);
CBasePanel* CreateTecPanel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent);
CBasePanel* CreateComboPanel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent);
CBasePanel* CreateNorlasePanel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent);
CBasePanel* CreateM609Panel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent);
CBasePanel* CreateM6x8Panel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent);
CBasePanel* CreateM607Panel(const SUiContext& context, IPanelHost& host, int index, QWidget* parent);
} // namespace PanelType

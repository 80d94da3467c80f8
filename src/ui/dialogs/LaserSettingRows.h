#pragma once

#include "ui/dialogs/SettingRow.h"

#include <cstdint>
#include <vector>

class CLaser;

// The laser settings page described once: the capabilities that take a field away, its write-order
// groups and one row per edit.
namespace LaserSettingRows
{
// Capabilities a model may lack (asked with the page's reads).
constexpr uint32_t NeedsCableR = 1;
constexpr uint32_t NeedsPdBias = 2;
constexpr double MaxPDBias = 10.0; // [V] the photodiode bias supply's ceiling

// The order in which OK's writes go out.
enum EWriteGroup
{
    WriteRange,
    WriteConditions,
    WritePdResponse,
    WriteLdiLimit,
    WriteMdiLimit,
    WriteMdpLimit,
    WriteLdvLimit,
    WriteCableR,
    WritePdBias,
    WriteTolerance,
    WriteOnDelay
};

// The edits, in the order of Rows() (and of the page, top to bottom).
enum EField : size_t
{
    LdiLimit,
    LdvLimit,
    MdiLimit,
    MdpLimit,
    CableR,
    PdResponse,
    PdBias,
    TolTime,
    TolIo,
    OnDelay,
    FieldCount
};

// The values that share one query and one command.
enum EGroup : size_t
{
    ToleranceGroup,
    GroupCount
};

const std::vector<SSettingRow<CLaser>>& Rows();
const std::vector<SSettingGroup<CLaser>>& Groups();
// The fields in the order their writes go out.
std::vector<size_t> WriteOrder();
} // namespace LaserSettingRows

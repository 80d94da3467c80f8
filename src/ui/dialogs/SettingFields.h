#pragma once

#include "ui/dialogs/SettingRow.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class CPrompter;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QWidget;

// The edits of a page's described fields: each built as caption | edit | unit, filled with what was
// read, checked against its range on OK and compared with what it showed.
class CSettingFields
{
public:
    // What the page's description says about one field, without its unit's getter and setter.
    struct SLook
    {
        const char* name;
        QString label;
        QString unit;
        QString rangeUnit;
        EShown shown;
        int decimals;
        double scale;
        double low;
        double high;
    };
    template <class Unit>
    static SLook LookOf(const SSettingRow<Unit>& row)
    {
        return {row.name,  row.label,    row.unit,  row.rangeUnit.isEmpty() ? row.unit : row.rangeUnit,
                row.shown, row.decimals, row.scale, row.low,
                row.high};
    }

    // Compact: narrow edits under right-aligned captions (pages of many boxes); wide: edits that hold
    // eleven digits beside plain captions (a page of one column).
    enum class ELayout
    {
        Compact,
        Wide
    };

    template <class Unit>
    CSettingFields(const std::vector<SSettingRow<Unit>>& rows, ELayout layout) : m_layout(layout)
    {
        for (const SSettingRow<Unit>& row : rows)
        {
            m_fields.emplace_back();
            m_fields.back().look = LookOf(row);
        }
    }

    // Builds field k's edit alone, for a box that places it itself.
    QLineEdit* NewEdit(size_t k, QWidget* parent);
    // Builds field k into the grid's row: caption, edit and unit in columns 0 to 2 (the caption and
    // the unit only where the description has them).
    QLineEdit* Place(size_t k, QGridLayout* grid, int row, QWidget* parent);
    // The field's caption, edit and unit, to show or hide together.
    std::vector<QWidget*> Widgets(size_t k) const;
    QLineEdit* Edit(size_t k) const { return m_fields[k].edit; }
    QLabel* Unit(size_t k) const { return m_fields[k].unitLabel; }

    // Shows what was read (blank when nothing could be, or the unit's "no value") and takes it as
    // unchanged.
    void Show(size_t k, std::optional<double> value);
    double Read(size_t k) const { return m_fields[k].read; }
    // The user typed in the field since it was filled.
    bool Modified(size_t k) const;
    // The field is usable and its text is not what was shown.
    bool Differs(size_t k) const;
    // What the user entered where the field differs, else what was read.
    double Entered(size_t k) const { return Differs(k) ? Value(k) : Read(k); }
    // What the field holds, in the unit's terms (0 when it holds no number).
    double Value(size_t k) const;
    std::vector<double> Values(const std::vector<size_t>& fields) const;
    bool AnyModified(const std::vector<size_t>& fields) const;
    // The value as entered, checked against the description's range or the one given; prompts and
    // focuses the field when it is not a number in range.
    std::optional<double> Check(size_t k, CPrompter& prompter) const;
    std::optional<double> Check(size_t k, CPrompter& prompter, double low, double high) const;
    // The same with a unit the page knows only once it has read (the sensor's R unit).
    std::optional<double> Check(size_t k, CPrompter& prompter, double low, double high,
                                const QString& unit) const;
    // What went out is what the field now shows as read.
    void Taken(size_t k);
    // Taken for each field, to run once their write went out.
    std::function<void()> TakenLater(std::vector<size_t> fields);

private:
    struct SField
    {
        SLook look;
        QLabel* caption = nullptr;
        QLineEdit* edit = nullptr;
        QLabel* unitLabel = nullptr;
        QString shown;
        double read = 0.0;
    };
    ELayout m_layout;
    std::vector<SField> m_fields;
};

// How a settings page lays out and locks its controls.
namespace SettingLayout
{
// A hidden group stays visible but cannot be changed: lists and boxes disabled, edits read-only.
void Lock(QWidget* control, bool locked);
// A list with its right-aligned caption, across the edit column and (by default) the unit column of a
// box's grid.
QComboBox* PlaceList(QGridLayout* grid, int row, const QString& caption, const char* name,
                     const QStringList& items = {}, int columns = 2);
// Replaces a list's entries (text and code) and selects the entry of code; without a code the first
// entry stays selected.
void Fill(QComboBox* list, const std::vector<std::pair<QString, int>>& items, std::optional<int> code);
} // namespace SettingLayout

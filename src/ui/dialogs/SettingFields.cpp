#include "ui/dialogs/SettingFields.h"

#include "ui/dialogs/FieldPrompts.h"
#include "ui/widgets/LocaleNumber.h"
#include "ui/widgets/ReadingState.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

namespace
{
QString Shown(EShown shown, int decimals, double value)
{
    switch (shown)
    {
    case EShown::Fixed:
        return LocaleNumber::Format(value, decimals);
    case EShown::Trimmed:
        return LocaleNumber::Trimmed(value, decimals);
    case EShown::Integer:
        return QString::number(static_cast<int>(value));
    case EShown::Constant:
        return LocaleNumber::Locale().toString(value, 'g', 7);
    case EShown::Bound:
        break;
    }
    return LocaleNumber::Bound(value);
}
} // namespace

QLineEdit* CSettingFields::NewEdit(size_t k, QWidget* parent)
{
    SField& field = m_fields[k];
    field.edit = new QLineEdit(parent);
    field.edit->setObjectName(field.look.name);
    field.edit->setAlignment(Qt::AlignRight);
    if (m_layout == ELayout::Compact)
        field.edit->setMaximumWidth(110);
    else
        field.edit->setMinimumWidth(field.edit->fontMetrics().horizontalAdvance("000000.0000") + 10);
    return field.edit;
}

QLineEdit* CSettingFields::Place(size_t k, QGridLayout* grid, int row, QWidget* parent)
{
    SField& field = m_fields[k];
    NewEdit(k, parent);
    if (!field.look.label.isEmpty())
    {
        field.caption = new QLabel(field.look.label, parent);
        field.caption->setBuddy(field.edit);
        if (m_layout == ELayout::Compact)
            field.caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(field.caption, row, 0);
    }
    grid->addWidget(field.edit, row, 1);
    if (!field.look.unit.isEmpty())
    {
        field.unitLabel = new QLabel(field.look.unit, parent);
        grid->addWidget(field.unitLabel, row, 2);
    }
    return field.edit;
}

std::vector<QWidget*> CSettingFields::Widgets(size_t k) const
{
    const SField& field = m_fields[k];
    std::vector<QWidget*> widgets;
    for (QWidget* widget : {static_cast<QWidget*>(field.caption), static_cast<QWidget*>(field.edit),
                            static_cast<QWidget*>(field.unitLabel)})
        if (widget)
            widgets.push_back(widget);
    return widgets;
}

void CSettingFields::Show(size_t k, std::optional<double> value)
{
    SField& field = m_fields[k];
    const bool known = value && !ReadingState::IsNoValue(*value);
    field.read = known ? *value : 0.0;
    field.shown = known ? Shown(field.look.shown, field.look.decimals, *value * field.look.scale) : QString();
    field.edit->setText(field.shown);
    field.edit->setModified(false);
}

bool CSettingFields::Modified(size_t k) const
{
    return m_fields[k].edit->isModified();
}

bool CSettingFields::Differs(size_t k) const
{
    const SField& field = m_fields[k];
    return field.edit->isEnabled() && field.edit->text().trimmed() != field.shown;
}

double CSettingFields::Value(size_t k) const
{
    return LocaleNumber::Parse(m_fields[k].edit->text()).value_or(0.0) / m_fields[k].look.scale;
}

std::vector<double> CSettingFields::Values(const std::vector<size_t>& fields) const
{
    std::vector<double> values;
    values.reserve(fields.size());
    for (size_t k : fields)
        values.push_back(Value(k));
    return values;
}

bool CSettingFields::AnyModified(const std::vector<size_t>& fields) const
{
    return std::any_of(fields.begin(), fields.end(), [this](size_t k) { return Modified(k); });
}

std::optional<double> CSettingFields::Check(size_t k, CPrompter& prompter) const
{
    return Check(k, prompter, m_fields[k].look.low, m_fields[k].look.high);
}

std::optional<double> CSettingFields::Check(size_t k, CPrompter& prompter, double low, double high) const
{
    return Check(k, prompter, low, high, m_fields[k].look.rangeUnit);
}

std::optional<double> CSettingFields::Check(size_t k, CPrompter& prompter, double low, double high,
                                            const QString& unit) const
{
    const SField& field = m_fields[k];
    if (field.look.shown == EShown::Integer)
    {
        const std::optional<int> value =
            FieldPrompts::Integer(prompter, field.edit, static_cast<int>(low), static_cast<int>(high));
        return value ? std::optional<double>(*value) : std::nullopt;
    }
    return FieldPrompts::Number(prompter, field.edit, low, high, unit);
}

void CSettingFields::Taken(size_t k)
{
    SField& field = m_fields[k];
    field.read = Value(k);
    field.shown = field.edit->text().trimmed();
    field.edit->setModified(false);
}

std::function<void()> CSettingFields::TakenLater(std::vector<size_t> fields)
{
    return [this, fields = std::move(fields)]
    {
        for (size_t k : fields)
            Taken(k);
    };
}

namespace SettingLayout
{
void Lock(QWidget* control, bool locked)
{
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setReadOnly(locked);
    else
        control->setEnabled(!locked);
}

QComboBox* PlaceList(QGridLayout* grid, int row, const QString& caption, const char* name,
                     const QStringList& items, int columns)
{
    QWidget* box = grid->parentWidget();
    auto* list = new QComboBox(box);
    list->setObjectName(name);
    list->addItems(items);
    auto* label = new QLabel(caption, box);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setBuddy(list);
    grid->addWidget(label, row, 0);
    grid->addWidget(list, row, 1, 1, columns);
    return list;
}

void Fill(QComboBox* list, const std::vector<std::pair<QString, int>>& items, std::optional<int> code)
{
    list->clear();
    for (const auto& [text, value] : items)
        list->addItem(text, value);
    if (code)
        list->setCurrentIndex(list->findData(*code));
}
} // namespace SettingLayout

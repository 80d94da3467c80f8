#include "ui/widgets/OutputOffBoxes.h"

#include <QCheckBox>
#include <QGridLayout>

COutputOffBoxes::COutputOffBoxes(const std::vector<SCondition>& conditions, int perColumn, QWidget* parent)
    : QGroupBox("Conditions That Turn Output Off", parent)
{
    auto* grid = new QGridLayout(this);
    int place = 0;
    for (const SCondition& condition : conditions)
    {
        auto* check = new QCheckBox(condition.label, this);
        check->setObjectName(condition.name);
        grid->addWidget(check, place % perColumn, place / perColumn);
        m_boxes.emplace_back(check, condition.bit);
        ++place;
    }
    grid->setRowStretch(perColumn, 1);
}

void COutputOffBoxes::Show(int mask)
{
    m_read = mask;
    for (const auto& [check, bit] : m_boxes)
        check->setChecked((mask & bit) != 0);
}

int COutputOffBoxes::Mask() const
{
    int mask = m_read;
    for (const auto& [check, bit] : m_boxes)
        mask = check->isChecked() ? (mask | bit) : (mask & ~bit);
    return mask;
}

QCheckBox* COutputOffBoxes::Box(int bit) const
{
    for (const auto& [check, boxBit] : m_boxes)
        if (boxBit == bit)
            return check;
    return nullptr;
}

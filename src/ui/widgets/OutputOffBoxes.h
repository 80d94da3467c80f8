#pragma once

#include <QGroupBox>
#include <vector>

class QCheckBox;

// "Conditions That Turn Output Off": one check box per bit of a channel's output-off enable mask.
// Bits without a box are written back as they were read.
class COutputOffBoxes : public QGroupBox
{
    Q_OBJECT

public:
    struct SCondition
    {
        const char* label;
        const char* name; // the box's object name
        int bit;
    };

    // The boxes fill each column top to bottom, perColumn to a column.
    COutputOffBoxes(const std::vector<SCondition>& conditions, int perColumn, QWidget* parent = nullptr);

    // Ticks the boxes from the mask read from the unit.
    void Show(int mask);
    // The mask read, with the boxes' bits as the user left them.
    int Mask() const;
    bool Changed() const { return Mask() != m_read; }
    // The mask went out: it is now the one read.
    void Taken(int mask) { m_read = mask; }
    QCheckBox* Box(int bit) const;

private:
    std::vector<std::pair<QCheckBox*, int>> m_boxes;
    int m_read = 0;
};

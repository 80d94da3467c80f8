#pragma once

#include <QWidget>

class QKeyEvent;
class QSpinBox;

// "Poll period: [100 ms]": how often a panel asks its unit for readings, changeable while connected.
class CPollPeriodBox : public QWidget
{
    Q_OBJECT

public:
    static constexpr int MaxPeriodMs = 60000;

    CPollPeriodBox(int minimumMs, QWidget* parent);

    int PeriodMs() const;
    // Shows the period without reporting it back as the user's change.
    void ShowPeriodMs(int periodMs);

signals:
    void periodChanged(int periodMs);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QSpinBox* m_spin = nullptr;
};

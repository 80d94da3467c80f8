#include "ui/widgets/PollPeriodBox.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>

CPollPeriodBox::CPollPeriodBox(int minimumMs, QWidget* parent) : QWidget(parent)
{
    setObjectName("pollPeriodBox");
    m_spin = new QSpinBox(this);
    m_spin->setObjectName("pollPeriodSpin");
    m_spin->setRange(minimumMs, MaxPeriodMs);
    m_spin->setSingleStep(10);
    m_spin->setSuffix(" ms");
    // Typing "250" does not poll at 2 and 25 ms on the way.
    m_spin->setKeyboardTracking(false);
    m_spin->setToolTip(QString("How often the readings are asked for; at least %1 ms. A slow link makes "
                               "the cycles longer still.")
                           .arg(minimumMs));
    auto* label = new QLabel("Poll period:", this);
    label->setBuddy(m_spin);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addWidget(m_spin);
    connect(m_spin, qOverload<int>(&QSpinBox::valueChanged), this, &CPollPeriodBox::periodChanged);
}

int CPollPeriodBox::PeriodMs() const
{
    return m_spin->value();
}

void CPollPeriodBox::ShowPeriodMs(int periodMs)
{
    const QSignalBlocker quiet(m_spin);
    m_spin->setValue(periodMs);
}

void CPollPeriodBox::keyPressEvent(QKeyEvent* event)
{
    // Enter in the box takes the period (the spin box has read it); it is not the panel's "Set".
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
    {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

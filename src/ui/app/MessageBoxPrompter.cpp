#include "ui/app/MessageBoxPrompter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace
{
const char* const Title = "Tamrix Control";
}

void CMessageBoxPrompter::Message(QWidget* parent, const QString& text, EIcon icon)
{
    switch (icon)
    {
    case EIcon::Information:
        QMessageBox::information(parent, Title, text);
        break;
    case EIcon::Warning:
        QMessageBox::warning(parent, Title, text);
        break;
    case EIcon::Error:
        QMessageBox::critical(parent, Title, text);
        break;
    }
}

bool CMessageBoxPrompter::AskYesNo(QWidget* parent, const QString& text)
{
    return QMessageBox::question(parent, Title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

CPrompter::EOutputChoice CMessageBoxPrompter::AskOutputsOn(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, Title, text, QMessageBox::NoButton, parent);
    QPushButton* off = box.addButton("Switch Off First", QMessageBox::AcceptRole);
    QPushButton* leave = box.addButton("Leave On", QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    // Enter switches off, Escape cancels: neither key leaves an output running unasked.
    box.setDefaultButton(off);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == off)
        return EOutputChoice::SwitchOff;
    if (box.clickedButton() == leave)
        return EOutputChoice::LeaveOn;
    return EOutputChoice::Cancel;
}

void CMessageBoxPrompter::Beep()
{
    QApplication::beep();
}

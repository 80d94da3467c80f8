#include "ui/app/MessageBoxPrompter.h"

#include <QApplication>
#include <QMessageBox>

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

void CMessageBoxPrompter::Beep()
{
    QApplication::beep();
}

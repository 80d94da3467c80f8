#include "ui/dialogs/TerminalCommandsDlg.h"

#include "ui/widgets/OkCancelButtons.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CTerminalCommandsDlg::CTerminalCommandsDlg(const QStringList& commands, QWidget* parent) : QDialog(parent)
{
    setObjectName("terminalCommandsDialog");
    setWindowTitle("Command Buttons");
    auto* form = new QFormLayout;
    for (qsizetype i = 0; i < commands.size(); ++i)
    {
        auto* field = new QLineEdit(commands[i], this);
        field->setObjectName(QString("command%1Edit").arg(i + 1));
        field->setMinimumWidth(260);
        form->addRow(QString("Button %1:").arg(i + 1), field);
        m_fields.push_back(field);
    }
    auto* buttons = new COkCancelButtons(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
}

QStringList CTerminalCommandsDlg::Commands() const
{
    QStringList commands;
    for (const QLineEdit* field : m_fields)
        commands << field->text();
    return commands;
}

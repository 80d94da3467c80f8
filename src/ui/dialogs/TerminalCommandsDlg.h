#pragma once

#include <QDialog>
#include <QStringList>
#include <vector>

class QLineEdit;

// "Command Buttons": the texts of the terminal's stored command buttons, one field each; an empty field
// hides its button.
class CTerminalCommandsDlg : public QDialog
{
    Q_OBJECT

public:
    CTerminalCommandsDlg(const QStringList& commands, QWidget* parent = nullptr);

    // The fields as they stand, in button order.
    QStringList Commands() const;

private:
    std::vector<QLineEdit*> m_fields;
};

#pragma once

#include <QDialogButtonBox>

class QDialog;
class QPushButton;

// The OK and Cancel buttons of a dialog, named as the tests and the screenshots find them; Cancel
// rejects the dialog, and OK is left to the dialog, which may check or write before it closes.
class COkCancelButtons : public QDialogButtonBox
{
    Q_OBJECT
public:
    explicit COkCancelButtons(QDialog* dialog);
    QPushButton* OkButton() const;
};

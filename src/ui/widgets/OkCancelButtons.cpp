#include "ui/widgets/OkCancelButtons.h"

#include <QDialog>
#include <QPushButton>

COkCancelButtons::COkCancelButtons(QDialog* dialog)
    : QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog)
{
    button(QDialogButtonBox::Ok)->setObjectName("okButton");
    button(QDialogButtonBox::Cancel)->setObjectName("cancelButton");
    connect(this, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
}

QPushButton* COkCancelButtons::OkButton() const
{
    return button(QDialogButtonBox::Ok);
}

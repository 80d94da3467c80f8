#include "ui/dialogs/SelectPanelDlg.h"

// Placeholder until the dialog is built: offers no panel type.
CSelectPanelDlg::CSelectPanelDlg(QWidget* parent) : QDialog(parent) {}

int CSelectPanelDlg::SelectedType() const
{
    return 0;
}

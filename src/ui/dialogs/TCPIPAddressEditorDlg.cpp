#include "ui/dialogs/TCPIPAddressEditorDlg.h"

// Placeholder until the dialog is built.
CTCPIPAddressEditorDlg::CTCPIPAddressEditorDlg(const SUiContext&, QWidget* parent) : QDialog(parent) {}

void CTCPIPAddressEditorDlg::SetOfferConnect(bool) {}

bool CTCPIPAddressEditorDlg::ListChanged() const
{
    return false;
}

const std::string& CTCPIPAddressEditorDlg::Descriptor() const
{
    static const std::string none;
    return none;
}

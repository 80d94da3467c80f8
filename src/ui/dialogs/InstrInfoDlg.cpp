#include "ui/dialogs/InstrInfoDlg.h"

// Placeholder until the dialog is built.
CInstrInfoDlg::CInstrInfoDlg(const SUiContext&, CBasePanel&, QWidget* parent) : QDialog(parent) {}

int CInstrInfoDlg::exec()
{
    return -1;
}

#include "ui/dialogs/AboutDlg.h"

// Placeholder until the dialog is built.
CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {}

#pragma once

#include "ui/app/UiContext.h"

#include <QDialog>

class CBasePanel;

// The instrument's identity, its stored message and remote permission, and the way to the terminal.
// The instrument is looked up through the panel before each use: the panel's connection watch may have
// deleted it meanwhile.
class CInstrInfoDlg : public QDialog
{
    Q_OBJECT

public:
    CInstrInfoDlg(const SUiContext& context, CBasePanel& panel, QWidget* parent = nullptr);

    // -1 at once when the panel has no instrument.
    int exec() override;
};

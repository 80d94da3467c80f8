#pragma once

#include "ui/app/UiContext.h"

#include <QDialog>
#include <string>

// The list of saved network addresses (section "IPAddresses"); can start a connection to one of them.
class CTCPIPAddressEditorDlg : public QDialog
{
    Q_OBJECT

public:
    // exec() gives this when the dialog ended with "Connect..." (or a double click while offered).
    static constexpr int ConnectResult = 1045;

    CTCPIPAddressEditorDlg(const SUiContext& context, QWidget* parent = nullptr);

    // Shows "Connect..."; set before exec().
    void SetOfferConnect(bool offer);
    // An entry was added, edited or deleted.
    bool ListChanged() const;
    // "TCP:" address ":" port " " name of the entry chosen with "Connect...".
    const std::string& Descriptor() const;
};

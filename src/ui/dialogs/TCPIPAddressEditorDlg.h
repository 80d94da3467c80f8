#pragma once

#include "ui/common/NetworkAddresses.h"
#include "ui/common/UiContext.h"

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class CTCPIPConnect;
class QListWidget;
class QPushButton;

// The list of saved network addresses (section "IPAddresses"); can start a connection to one of them.
// "Close" (also Escape) writes the list back and ends with Accepted.
class CTCPIPAddressEditorDlg : public QDialog
{
    Q_OBJECT

public:
    // exec() gives this when the dialog ended with "Connect..." (or a double click while offered).
    static constexpr int ConnectResult = 1045;
    // Runs the address entry dialog; true when it ended with OK. exec() unless a test puts in its own.
    using EntryRunner = std::function<bool(CTCPIPConnect&)>;

    CTCPIPAddressEditorDlg(const SUiContext& context, QWidget* parent = nullptr);

    // Shows "Connect..."; set before exec().
    void SetOfferConnect(bool offer);
    // An entry was added, edited or deleted.
    bool ListChanged() const { return m_changed; }
    // "TCP:" address ":" port " " name of the entry chosen with "Connect...".
    const std::string& Descriptor() const { return m_descriptor; }
    void SetEntryRunner(EntryRunner runner) { m_runEntry = std::move(runner); }

    void reject() override;

private:
    void OnNew();
    void OnEdit();
    void OnDelete();
    void OnConnect();
    void OnDoubleClick();
    void WriteBack();
    void MarkChanged();

    SUiContext m_context;
    EntryRunner m_runEntry;
    std::vector<SNetworkAddress> m_entries; // one per list line, in the same order
    int m_storedCount = 0;                  // entries the settings hold, numbered from 1
    bool m_changed = false;
    bool m_saved = true;
    bool m_offerConnect = false;
    std::string m_descriptor;
    QListWidget* m_list = nullptr;
    QPushButton* m_connectButton = nullptr;
};

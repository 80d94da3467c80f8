#pragma once

#include "ui/common/NetworkAddresses.h"
#include "ui/common/UiContext.h"

#include <QDialog>

class QLineEdit;

// Asks for one network address, TCP port and name. Prefilled with the last one used ("Settings":
// "IPAddress", "IPPort", "IPName"), which OK writes back.
class CTCPIPConnect : public QDialog
{
    Q_OBJECT

public:
    static constexpr int MaxAddressChars = 25;
    static constexpr int DefaultPort = 10001;

    explicit CTCPIPConnect(const SUiContext& context, QWidget* parent = nullptr);

    // Puts an entry into the fields (editing a saved one).
    void SetEntry(const SNetworkAddress& entry);
    // The fields as accepted by OK.
    const SNetworkAddress& Entry() const { return m_entry; }

    // OK: checks every field first; a bad one is explained and the dialog stays open.
    void accept() override;

private:
    bool ReadFields();

    SUiContext m_context;
    SNetworkAddress m_entry;
    QLineEdit* m_address = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_name = nullptr;
};

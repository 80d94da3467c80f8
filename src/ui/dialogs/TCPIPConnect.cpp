#include "ui/dialogs/TCPIPConnect.h"

#include "diag/Profile.h"
#include "ui/dialogs/FieldPrompts.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace
{
const char* const SettingsSection = "Settings";
} // namespace

CTCPIPConnect::CTCPIPConnect(const SUiContext& context, QWidget* parent) : QDialog(parent), m_context(context)
{
    setObjectName("tcpipConnectDialog");
    setWindowTitle("TCP/IP Address");
    m_address = new QLineEdit(this);
    m_address->setObjectName("ipAddressEdit");
    m_address->setMaxLength(MaxAddressChars);
    m_port = new QLineEdit(this);
    m_port->setObjectName("portEdit");
    m_port->setMaxLength(6);
    m_name = new QLineEdit(this);
    m_name->setObjectName("nameEdit");
    // Room for the longest address the field takes.
    m_address->setMinimumWidth(m_address->fontMetrics().horizontalAdvance(QString(MaxAddressChars, '8')) +
                               16);

    auto* form = new QFormLayout;
    form->addRow("IP Address:", m_address);
    form->addRow("Port:", m_port);
    form->addRow("Name:", m_name);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("okButton");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancelButton");
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CTCPIPConnect::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CTCPIPConnect::reject);

    const CProfile& profile = m_context.profile;
    SetEntry({profile.GetString(SettingsSection, "IPAddress"),
              profile.GetInt(SettingsSection, "IPPort", DefaultPort),
              profile.GetString(SettingsSection, "IPName")});
}

void CTCPIPConnect::SetEntry(const SNetworkAddress& entry)
{
    m_address->setText(QString::fromStdString(entry.address));
    m_port->setText(QString::number(entry.port));
    m_name->setText(QString::fromStdString(entry.name));
}

void CTCPIPConnect::accept()
{
    if (!ReadFields())
        return;
    CProfile& profile = m_context.profile;
    profile.WriteString(SettingsSection, "IPAddress", m_entry.address);
    profile.WriteInt(SettingsSection, "IPPort", m_entry.port);
    profile.WriteString(SettingsSection, "IPName", m_entry.name);
    QDialog::accept();
}

bool CTCPIPConnect::ReadFields()
{
    CPrompter& prompter = m_context.prompter;
    const QString address = m_address->text();
    // An empty address would end the saved list early and hide the entries after it; ":" and blanks
    // would split the stored line and the port descriptor in the wrong places.
    if (address.isEmpty())
        return FieldPrompts::Refuse(prompter, m_address, "Enter the instrument's IP address or host name.");
    if (address.contains(':') ||
        std::any_of(address.begin(), address.end(), [](QChar c) { return c.isSpace(); }))
        return FieldPrompts::Refuse(prompter, m_address, "The IP address cannot contain \":\" or blanks.");
    if (!FieldPrompts::MaxChars(prompter, m_address, MaxAddressChars))
        return false;
    const std::optional<int> port = FieldPrompts::Integer(prompter, m_port, 0, 65535);
    if (!port)
        return false;
    m_entry = {address.toStdString(), *port, m_name->text().trimmed().toStdString()};
    return true;
}

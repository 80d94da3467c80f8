#include "ui/dialogs/TCPIPConnect.h"

#include "comm/HostNameForm.h"
#include "diag/Profile.h"
#include "ui/dialogs/FieldPrompts.h"
#include "ui/widgets/OkCancelButtons.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace
{
const char* const SettingsSection = "Settings";

// Why the typed host cannot be stored, or "" when it can.
QString AddressProblem(const QString& address)
{
    const QString bad = "The IP address cannot contain \":\" or blanks.";
    if (std::any_of(address.begin(), address.end(), [](QChar c) { return c.isSpace(); }))
        return bad;
    switch (HostNameForm::Classify(address.toStdString()))
    {
    case EHostForm::Ipv4Address:
    case EHostForm::HostName:
        return {};
    case EHostForm::Ipv6Literal:
        return bad + " IPv6 addresses cannot be stored; enter the instrument's host name or IPv4 address.";
    case EHostForm::BadIpv4:
        return QString("\"%1\" is not an IP address: enter four numbers from 0 to 255 separated by dots, "
                       "without leading zeros (for example 192.168.1.40).")
            .arg(address);
    default:
        break;
    }
    if (address.contains(':'))
        return bad + " Enter the TCP port in the Port field.";
    return QString("\"%1\" is not a host name: use letters, digits and hyphens in parts separated by dots; a "
                   "part cannot begin or end with a hyphen.")
        .arg(address);
}
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
    auto* buttons = new COkCancelButtons(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CTCPIPConnect::accept);

    const CProfile& profile = m_context.profile;
    SetEntry({profile.GetString(SettingsSection, "IPAddress"),
              profile.GetInt(SettingsSection, "IPPort", DefaultPort),
              profile.GetString(SettingsSection, "IPName")});
    // The prefilled address is a suggestion: typing replaces it.
    m_address->setFocus();
}

void CTCPIPConnect::SetEntry(const SNetworkAddress& entry)
{
    m_address->setText(QString::fromStdString(entry.address));
    m_port->setText(QString::number(entry.port));
    m_name->setText(QString::fromStdString(entry.name));
    m_address->selectAll();
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
    if (!FieldPrompts::MaxChars(prompter, m_address, MaxAddressChars))
        return false;
    if (const QString problem = AddressProblem(address); !problem.isEmpty())
        return FieldPrompts::Refuse(prompter, m_address, problem);
    const std::optional<int> port = FieldPrompts::Integer(prompter, m_port, 1, 65535);
    if (!port)
        return false;
    m_entry = {address.toStdString(), *port, m_name->text().trimmed().toStdString()};
    return true;
}

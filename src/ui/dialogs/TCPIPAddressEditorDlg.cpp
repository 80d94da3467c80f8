#include "ui/dialogs/TCPIPAddressEditorDlg.h"

#include "ui/common/Prompter.h"
#include "ui/dialogs/TCPIPConnect.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

CTCPIPAddressEditorDlg::CTCPIPAddressEditorDlg(const SUiContext& context, QWidget* parent)
    : QDialog(parent), m_context(context),
      m_runEntry([](CTCPIPConnect& dialog) { return dialog.exec() == Accepted; })
{
    setObjectName("addressEditorDialog");
    setWindowTitle("IP Address Editor");
    m_list = new QListWidget(this);
    m_list->setObjectName("addressList");
    m_list->setMinimumSize(300, 160);
    auto* newButton = new QPushButton("New...", this);
    newButton->setObjectName("newButton");
    auto* editButton = new QPushButton("Edit...", this);
    editButton->setObjectName("editButton");
    auto* deleteButton = new QPushButton("Delete...", this);
    deleteButton->setObjectName("deleteButton");
    m_connectButton = new QPushButton("Connect...", this);
    m_connectButton->setObjectName("connectButton");
    m_connectButton->hide();
    auto* closeButton = new QPushButton("Close", this);
    closeButton->setObjectName("closeButton");
    for (QPushButton* button : {newButton, editButton, deleteButton, m_connectButton, closeButton})
        button->setAutoDefault(false);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(newButton);
    buttons->addWidget(editButton);
    buttons->addWidget(deleteButton);
    buttons->addSpacing(12);
    buttons->addWidget(m_connectButton);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(newButton, &QPushButton::clicked, this, &CTCPIPAddressEditorDlg::OnNew);
    connect(editButton, &QPushButton::clicked, this, &CTCPIPAddressEditorDlg::OnEdit);
    connect(deleteButton, &QPushButton::clicked, this, &CTCPIPAddressEditorDlg::OnDelete);
    connect(m_connectButton, &QPushButton::clicked, this, &CTCPIPAddressEditorDlg::OnConnect);
    connect(closeButton, &QPushButton::clicked, this, &CTCPIPAddressEditorDlg::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &CTCPIPAddressEditorDlg::OnDoubleClick);

    m_entries = NetworkAddresses::Read(m_context.profile);
    m_storedCount = static_cast<int>(m_entries.size());
    for (const SNetworkAddress& entry : m_entries)
        m_list->addItem(NetworkAddresses::ListText(entry, true));
    if (!m_entries.empty())
        m_list->setCurrentRow(0);
}

void CTCPIPAddressEditorDlg::SetOfferConnect(bool offer)
{
    m_offerConnect = offer;
    m_connectButton->setVisible(offer);
}

void CTCPIPAddressEditorDlg::reject()
{
    WriteBack();
    done(Accepted);
}

void CTCPIPAddressEditorDlg::OnNew()
{
    CTCPIPConnect dialog(m_context, this);
    if (!m_runEntry(dialog))
        return;
    m_entries.push_back(dialog.Entry());
    m_list->addItem(NetworkAddresses::ListText(dialog.Entry(), false));
    m_list->setCurrentRow(m_list->count() - 1);
    MarkChanged();
}

void CTCPIPAddressEditorDlg::OnEdit()
{
    const int row = m_list->currentRow();
    if (row < 0)
        return;
    CTCPIPConnect dialog(m_context, this);
    dialog.SetEntry(m_entries[row]);
    if (!m_runEntry(dialog))
        return;
    m_entries[row] = dialog.Entry();
    m_list->item(row)->setText(NetworkAddresses::ListText(dialog.Entry(), false));
    MarkChanged();
}

void CTCPIPAddressEditorDlg::OnDelete()
{
    const int row = m_list->currentRow();
    if (row < 0)
        return;
    m_entries.erase(m_entries.begin() + row);
    delete m_list->takeItem(row);
    m_list->setCurrentRow(std::min(row, m_list->count() - 1));
    MarkChanged();
}

void CTCPIPAddressEditorDlg::OnConnect()
{
    WriteBack();
    const int row = m_list->currentRow();
    if (row < 0)
        return;
    m_descriptor = NetworkAddresses::Descriptor(m_entries[row]);
    done(ConnectResult);
}

void CTCPIPAddressEditorDlg::OnDoubleClick()
{
    if (m_offerConnect)
        OnConnect();
}

void CTCPIPAddressEditorDlg::WriteBack()
{
    if (m_saved)
        return;
    if (!NetworkAddresses::Write(m_context.profile, m_entries, m_storedCount))
        m_context.prompter.Message(this, "The address list could not be saved in the settings file.");
    // The numbers beyond the list are gone now; a later write-back deletes from the new end.
    m_storedCount = static_cast<int>(m_entries.size());
    m_saved = true;
}

void CTCPIPAddressEditorDlg::MarkChanged()
{
    m_changed = true;
    m_saved = false;
}

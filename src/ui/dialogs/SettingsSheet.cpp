#include "ui/dialogs/SettingsSheet.h"

#include "ui/dialogs/SettingsPage.h"
#include "ui/widgets/OkCancelButtons.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

CSettingsSheet::CSettingsSheet(const SUiContext&, const QString& title, QWidget* parent) : QDialog(parent)
{
    setObjectName("settingsSheet");
    setWindowTitle(title);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName("settingsTabs");
    auto* buttons = new COkCancelButtons(this);
    m_okButton = buttons->OkButton();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSettingsSheet::OnOk);
    connect(&m_lossTimer, &QTimer::timeout, this, &CSettingsSheet::OnLossCheck);
    connect(this, &QDialog::finished, &m_lossTimer, &QTimer::stop);
}

void CSettingsSheet::AddPage(CSettingsPage* page, const QString& title)
{
    m_pages.push_back(page);
    m_tabs->addTab(page, title);
}

bool CSettingsSheet::LoadPages()
{
    for (CSettingsPage* page : m_pages)
        if (!page->Load())
            return false;
    m_lossTimer.start(LossCheckMs);
    return true;
}

int CSettingsSheet::Open()
{
    if (!LoadPages())
        return LostResult;
    return exec();
}

bool CSettingsSheet::AllChannelsPresent() const
{
    for (const CSettingsPage* page : m_pages)
        if (!page->IsChannelPresent())
            return false;
    return true;
}

bool CSettingsSheet::IsLoaded() const
{
    return std::all_of(m_pages.begin(), m_pages.end(),
                       [](const CSettingsPage* page) { return page->IsLoaded(); });
}

void CSettingsSheet::OnOk()
{
    if (!IsLoaded() || m_writing)
        return;
    if (!AllChannelsPresent())
    {
        done(LostResult);
        return;
    }
    for (CSettingsPage* page : m_pages)
    {
        if (!page->Validate())
        {
            m_tabs->setCurrentWidget(page);
            return;
        }
    }
    m_lossTimer.stop();
    SetWriting(true);
    WriteFrom(0);
}

void CSettingsSheet::WriteFrom(size_t index)
{
    if (index == m_pages.size())
    {
        SetWriting(false);
        accept();
        return;
    }
    CSettingsPage* page = m_pages[index];
    page->Write(
        [this, page, index](bool written)
        {
            if (written)
            {
                WriteFrom(index + 1);
                return;
            }
            SetWriting(false);
            m_lossTimer.start(LossCheckMs);
            m_tabs->setCurrentWidget(page);
        });
}

void CSettingsSheet::SetWriting(bool writing)
{
    m_writing = writing;
    m_okButton->setEnabled(!writing);
}

void CSettingsSheet::OnLossCheck()
{
    if (!AllChannelsPresent())
        done(LostResult);
}

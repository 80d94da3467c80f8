#include "ui/dialogs/TECSettingsDlg.h"

#include "ui/dialogs/TecSettingsPage.h"
#include "ui/widgets/OkCancelButtons.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CTECSettingsDlg::CTECSettingsDlg(const SUiContext& context, STecChannelAccess access, QWidget* parent)
    : QDialog(parent)
{
    setObjectName("tecSettingsDlg");
    setWindowTitle(access.channelCount > 1 ? QString("TEC Chan %1").arg(access.channelIndex + 1)
                                           : QString("TEC Settings"));
    m_page = new CTecSettingsPage(context, std::move(access), this);
    auto* buttons = new COkCancelButtons(this);
    m_okButton = buttons->OkButton();
    m_page->layout()->setContentsMargins(0, 0, 0, 0);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_page->BusyLabel());
    bottom->addWidget(buttons, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_page);
    layout->addLayout(bottom);
    connect(buttons, &QDialogButtonBox::accepted, this, &CTECSettingsDlg::accept);
    connect(m_page, &CTecSettingsPage::busyChanged, m_okButton,
            [this](bool busy) { m_okButton->setEnabled(!busy); });
    connect(m_page, &CTecSettingsPage::loaded, this, &CTECSettingsDlg::loaded);
    m_watch.setInterval(WatchMs);
    connect(&m_watch, &QTimer::timeout, this, &CTECSettingsDlg::OnWatchTick);
}

bool CTECSettingsDlg::Load()
{
    if (!m_page->Load())
        return false;
    m_watch.start();
    return true;
}

bool CTECSettingsDlg::IsLoaded() const
{
    return m_page->IsLoaded();
}

bool CTECSettingsDlg::IsWriting() const
{
    return m_page->IsWriting();
}

int CTECSettingsDlg::exec()
{
    if (!Load())
    {
        setResult(ClosedNoChannel);
        return ClosedNoChannel;
    }
    return QDialog::exec();
}

void CTECSettingsDlg::accept()
{
    if (!m_page->IsLoaded() || m_page->IsWriting())
        return;
    if (!m_page->IsChannelPresent())
    {
        done(ClosedNoChannel);
        return;
    }
    if (!m_page->Validate())
        return;
    m_watch.stop();
    m_page->Write(
        [this](bool written)
        {
            if (written)
                QDialog::accept();
            else
                m_watch.start();
        });
}

void CTECSettingsDlg::OnWatchTick()
{
    if (!m_page->IsChannelPresent())
    {
        m_watch.stop();
        done(ClosedNoChannel);
    }
}

#include "ui/dialogs/TecSettingsPage.h"

#include "ui/dialogs/TECSettingsDlg.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

CTecSettingsPage::CTecSettingsPage(const SUiContext& context, STecChannelAccess access, QWidget* parent)
    : CSettingsPage(parent), m_access(access)
{
    setObjectName("tecSettingsPage");
    m_dialog = new CTECSettingsDlg(context, std::move(access), this);
    m_dialog->setWindowFlags(Qt::Widget);
    // The sheet's OK and Cancel stand for the dialog's own.
    if (auto* buttons = m_dialog->findChild<QDialogButtonBox*>())
        buttons->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_dialog);
}

bool CTecSettingsPage::Load()
{
    return m_dialog->Load();
}

bool CTecSettingsPage::Validate()
{
    return m_dialog->ValidateForSheet();
}

void CTecSettingsPage::Write(std::function<void(bool)> done)
{
    m_dialog->WriteForSheet(std::move(done));
}

bool CTecSettingsPage::IsChannelPresent() const
{
    return m_access.channel && m_access.channel();
}

bool CTecSettingsPage::IsLoaded() const
{
    return m_dialog->IsLoaded();
}

#pragma once

#include "ui/common/UiContext.h"
#include "ui/dialogs/SettingsPage.h"
#include "ui/widgets/TecChannelAccess.h"

class CTECSettingsDlg;

// The TEC settings page inside a settings sheet with other pages: the TEC settings dialog embedded
// without its own buttons, validated and written by the sheet.
class CTecSettingsPage : public CSettingsPage
{
    Q_OBJECT

public:
    CTecSettingsPage(const SUiContext& context, STecChannelAccess access, QWidget* parent = nullptr);

    bool Load() override;
    bool IsLoaded() const override;
    bool Validate() override;
    void Write(std::function<void(bool)> done) override;
    bool IsChannelPresent() const override;

    CTECSettingsDlg* Dialog() const { return m_dialog; }

private:
    STecChannelAccess m_access;
    CTECSettingsDlg* m_dialog = nullptr;
};

#pragma once

#include "ui/common/UiContext.h"
#include "ui/widgets/TecChannelAccess.h"

#include <QDialog>
#include <QTimer>

class CTecSettingsPage;
class QPushButton;

// The TEC settings page as a dialog of its own, with OK and Cancel: it opens at once saying
// "Reading...", OK validates and then writes (a refusal is reported and the dialog stays open), and it
// closes with ClosedNoChannel when the channel goes away.
class CTECSettingsDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int ClosedNoChannel = -1;
    static constexpr int WatchMs = 250;

    CTECSettingsDlg(const SUiContext& context, STecChannelAccess access, QWidget* parent = nullptr);

    // Starts reading every value; false when the channel is gone (the dialog closes with -1).
    bool Load();
    bool IsLoaded() const;
    // OK's writes are under way.
    bool IsWriting() const;
    // Load, then the modal loop.
    int exec() override;
    // OK: validation, then the writes.
    void accept() override;

signals:
    // The values are in the controls and the page may be changed and written.
    void loaded();

private:
    void OnWatchTick();

    CTecSettingsPage* m_page = nullptr;
    QPushButton* m_okButton = nullptr;
    QTimer m_watch;
};

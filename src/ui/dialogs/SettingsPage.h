#pragma once

#include <QWidget>

// One page of a settings sheet. The sheet validates every page before any page writes, so a refusal
// on one page never leaves another page's values half written.
class CSettingsPage : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

    // Reads the channel's values into the controls; false when the channel is gone.
    virtual bool Load() = 0;
    // Whether the values are in (a page may read them on the instrument's strand after Load).
    virtual bool IsLoaded() const { return true; }
    // Checks every edit against its range; on a failure prompts, focuses the edit and returns false.
    virtual bool Validate() = 0;
    // Sends what the user changed. Runs only after every page of the sheet has validated; false (after
    // telling the user) when the unit refused a value, which keeps the sheet open.
    virtual bool Write() = 0;
    // Whether the page's channel still exists (the panel may have lost the instrument).
    virtual bool IsChannelPresent() const = 0;
};

#pragma once

#include <QWidget>
#include <functional>

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
    // Sends what the user changed, on the instrument's strand. Runs only after every page of the sheet
    // has validated; done(false) (after telling the user) when the unit refused a value, which keeps the
    // sheet open. done is not called when the page is gone by then.
    virtual void Write(std::function<void(bool written)> done) = 0;
    // Whether the page's channel still exists (the panel may have lost the instrument).
    virtual bool IsChannelPresent() const = 0;
};

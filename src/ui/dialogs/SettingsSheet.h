#pragma once

#include "ui/common/UiContext.h"

#include <QDialog>
#include <QTimer>
#include <vector>

class CSettingsPage;
class QPushButton;
class QTabWidget;

// A modal property sheet of settings pages with OK and Cancel. OK validates every page first and only
// then lets each page write; Cancel writes nothing. A page whose channel disappears (checked every
// 250 ms, at opening and at OK) closes the sheet with LostResult.
class CSettingsSheet : public QDialog
{
    Q_OBJECT

public:
    static constexpr int LostResult = -1;
    static constexpr int LossCheckMs = 250;

    CSettingsSheet(const SUiContext& context, const QString& title, QWidget* parent = nullptr);

    // The sheet takes ownership.
    void AddPage(CSettingsPage* page, const QString& title);
    // Loads every page and runs the sheet modally: Accepted, Rejected or LostResult.
    int Open();
    // Loads every page without running the sheet (screenshots, tests); false when a channel is gone.
    bool LoadPages();
    // Every page has its values in.
    bool IsLoaded() const;
    // What OK does (nothing while a page is still reading or writing); public so that tests drive it without
    // a modal loop.
    void OnOk();
    // OK's writes are under way, page after page.
    bool IsWriting() const { return m_writing; }
    void OnLossCheck();

private:
    bool AllChannelsPresent() const;
    // Each page writes once the page before it has written; the sheet closes after the last.
    void WriteFrom(size_t index);
    void SetWriting(bool writing);

    QTabWidget* m_tabs = nullptr;
    std::vector<CSettingsPage*> m_pages;
    QTimer m_lossTimer;
    QPushButton* m_okButton = nullptr;
    bool m_writing = false;
};

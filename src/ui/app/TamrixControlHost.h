#pragma once

#include "ui/common/UiContext.h"
#include "ui/panels/PanelHost.h"

#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class CBanner;
class CBasePanel;
class CDeviceMonitor;
class CPortWatch;
class QTimer;
class QPushButton;
class QScrollArea;

// The program's one main window: a banner, the instrument panels side by side, and a fixed bar with
// "Add Panel", "About..." and "Exit". It owns the panels, lays them out, keeps the panel list and its
// position in "Settings", and asks before quitting while an instrument is connected. At most
// MaxRestoredPanels panels are made from the stored list; the rest of the list is said once and kept as
// it is.
class CTamrixControlHost : public QWidget, public IPanelHost
{
    Q_OBJECT

public:
    static constexpr int FirstPanelX = 15;
    static constexpr int GapAfterExpanded = 30;
    static constexpr int GapAfterCollapsed = 15;
    static constexpr int Margin = 15;
    // Between rows, once the user has made the window narrow enough for the panels to wrap.
    static constexpr int RowGap = 15;
    // The least room the row of panels keeps when the user makes the window small.
    static constexpr int MinimumViewWidth = 200;
    static constexpr int MinimumViewHeight = 200;
    // The most panels made from the stored list; a longer list would take minutes and gigabytes.
    static constexpr int MaxRestoredPanels = 64;

    using PanelFactory =
        std::function<CBasePanel*(int typeCode, const SUiContext&, IPanelHost&, int index, QWidget* parent)>;

    // The factory builds the panel of a type code (tests pass stand-in panels).
    explicit CTamrixControlHost(const SUiContext& context, PanelFactory factory = {},
                                QWidget* parent = nullptr);
    ~CTamrixControlHost() override;

    // Builds the panels of "Settings"/"Panels", moves to the stored position and lays out.
    void RestorePanels();
    // Listens for serial devices that arrive or go away and tells every panel.
    void StartDeviceMonitor();
    // Watches the settings file and the device folders for ports registered, removed, come or gone
    // (tamrix-cli ports add, a simulator's pseudo-terminal) and has every panel read its list again.
    void StartPortWatch();

    // index -1 (or out of range) appends; an index that holds a panel replaces it. Returns the index,
    // or -1 when the type code names no panel.
    int AddPanel(int index, int typeCode, bool layoutNow);
    void RemovePanel(int index);
    int PanelCount() const { return static_cast<int>(m_panels.size()); }
    CBasePanel* PanelAt(int index) const;

    // The quit sequence; false when the user chose to keep running.
    bool Quit(bool ask = true);
    // A device arrival or removal, forwarded to every panel.
    void ForwardDeviceChange();

    void LayoutPanels() override;
    bool IsAnotherPanelExpanded(const CBasePanel* panel) const override;
    void RemovePanelLater(int index) override;
    void ReplacePanelLater(int index, int typeCode, const std::string& descriptor, bool autoConnect) override;
    int PanelHoldingPort(int portNumber, const CBasePanel* asker) const override;
    void PortHoldersChanged() override;

signals:
    // The quit sequence has ended: the panel list is written and the window closes.
    void quitFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnAddPanel();
    void OnAbout();
    // Scrolls the row so that the panel is in sight (a new panel lands at the far end).
    void ScrollIntoView(CBasePanel* panel);
    void ReplacePanel(int index, int typeCode, const std::string& descriptor, bool autoConnect);
    void SavePosition();
    // Asks before quitting: names the outputs still on, else asks while a unit is connected.
    bool ConfirmQuit();
    QSize AvailableRoom() const;
    // The canvas the panels need when rows wrap at rowWidth; moves them there when move is set.
    QSize FlowPanels(int rowWidth, bool move);
    // Places the panels, the banner, the scrolling view and the command bar in the window's size.
    void ArrangePanels();
    void WarnPanelsLeftOut(int listed);
    void RefreshPortLists();

    SUiContext m_context;
    PanelFactory m_factory;
    std::vector<CBasePanel*> m_panels;
    // Entries of the stored list past MaxRestoredPanels: no panel, written back as they were.
    QStringList m_unmadePanels;
    int m_panelTop = 0;
    // The size the window last gave itself for its row of panels, and whether the user has chosen another.
    QSize m_fittedSize;
    bool m_userSized = false;
    bool m_quitting = false;
    CBanner* m_banner = nullptr;
    // The panels stand on a canvas that scrolls when the row is larger than the screen.
    QScrollArea* m_scroll = nullptr;
    QWidget* m_canvas = nullptr;
    QWidget* m_commandBar = nullptr;
    QPushButton* m_addButton = nullptr;
    QPushButton* m_exitButton = nullptr;
    QPushButton* m_aboutButton = nullptr;
    std::unique_ptr<CDeviceMonitor> m_deviceMonitor;
    CPortWatch* m_portWatch = nullptr;
    // Coalesces the panels' port changes into one refresh of every list.
    QTimer* m_holdersChanged = nullptr;
};

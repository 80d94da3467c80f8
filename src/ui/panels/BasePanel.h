#pragma once

#include "instrument/session/IdentRecord.h"
#include "instrument/session/InstrBase.h"
#include "ui/common/UiContext.h"
#include "ui/dialogs/InstrumentHolder.h"
#include "ui/panels/PanelConnectJob.h"
#include "ui/widgets/InstrumentLink.h"

#include <QFrame>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <string>

class CErrorLogDlg;
class CErrorLogGroup;
class CInstrBase;
class CLaser;
class CPanelReconnect;
class CPollPeriodBox;
class CPortListBox;
class CTEC;
class CTrendWindow;
class CSideStrip;
class IPanelHost;
class QCheckBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;
struct SPanelSettings;

// The common base of every instrument panel: the connect/disconnect cycle and the connection watch,
// collapse/expand and close, put together from its port list, its connect job, its error-log group and
// its settings section "Panel%d-%d". Derived panels add the readings and set points into Body() and override
// the virtual operations. Detection and connect run on a worker thread; the panel stays disabled meanwhile
// and the window keeps running.
class CBasePanel : public QFrame, public IInstrumentHolder
{
    Q_OBJECT

public:
    CBasePanel(const SUiContext& context, IPanelHost& host, int index, int typeCode,
               QWidget* parent = nullptr);
    ~CBasePanel() override;

    int Index() const { return m_index; }
    int TypeCode() const { return m_typeCode; }
    const std::string& SectionName() const { return m_section; }
    bool IsCondensed() const { return m_condensed; }
    bool IsConnecting() const { return m_connecting; }
    // A disconnected instrument still saying "LOCAL" and closing its port on its strand.
    bool IsDisconnecting() const { return m_retiring > 0; }
    bool AutoConnect() const;
    void SetAutoConnect(bool on);
    // "Reconnect automatically": a lost connection or an unplug makes the panel wait for the same unit
    // to come back, rather than end the connection.
    bool ReconnectsAutomatically() const;
    void SetReconnectAutomatically(bool on);
    bool IsWaitingToReconnect() const;
    // While the panel waits for its unit: the cause a recording's gap row gives ("connection lost"), the
    // file staying open for the rows after the reconnect; empty otherwise.
    QString ReconnectGap() const;
    // How often the connected instrument is polled [ms], saved with the panel ("PollPeriod"); at least
    // the instrument's floor. The readings on screen, the trend and the recording follow it, no faster
    // than WatchPeriodMs.
    int PollPeriodMs() const { return m_pollPeriodMs; }
    void SetPollPeriodMs(int periodMs);

    // Reads the port list again and selects the descriptor's entry (a serial port that is gone stays,
    // marked missing); a descriptor that does not parse keeps the current selection.
    virtual void FillPortList(const std::string& descriptor);
    // The list read again with its selection kept; put off while the user has the list open.
    void RefreshPortList();
    // The serial port this panel is connected or connecting on; 0 for none or a network port.
    int HeldSerialPort() const;
    virtual bool IsComPortPresent(int port) const;
    virtual void Disconnect();
    // Takes ownership; a previous, different instrument is disconnected and deleted.
    virtual void SetInstrument(CInstrBase* instrument);
    virtual void UpdateControls();
    virtual void OnDeviceChange();
    virtual bool IsConnected() const;
    CInstrBase* GetInstrument() const { return m_link.get(); }
    // The instrument with its request strand, for whatever works with it beyond this call.
    const SInstrumentLink& Link() const override { return m_link; }
    virtual CTEC* GetTEC() const { return nullptr; }
    CLaser* GetLaser() const override { return nullptr; }
    // The panel's trend, whose window and series choice are kept with the panel; null without one.
    virtual CTrendWindow* TrendWindow() const { return nullptr; }
    // Accepts or refuses an identified unit; on acceptance creates its instrument object.
    virtual bool CreateInstrument(const SIdentRecord& record, CInstrBase*& instrument);
    // Starts connecting (detection and connect on a worker); false when it could not even start. An
    // empty descriptor takes the port list's selection.
    virtual bool Connect(const std::string& descriptor = {});
    virtual void ResetReadings() {}
    virtual void Expand();
    virtual void Collapse();
    virtual void SetIndex(int index);
    virtual void SelectConnection(const std::string& descriptor);
    virtual void DeleteSettings();
    virtual void OnConnectButton();
    // The "Set" action of the derived panel (Enter).
    virtual void OnSetPoint() {}
    // The outputs that are on now, by the names the panel shows them under ("Laser 2", "TEC").
    virtual QStringList OutputsOn() const { return {}; }
    virtual void SwitchOutputsOff() {}
    // "Laser 1 and TEC 1 of the X510 on COM42"; empty when no output is on.
    QString OutputsOnPhrase() const;
    // "COM42" or "host:10001": the connection as the user chose it.
    QString ConnectionName() const;
    // Saves the panel's settings and disconnects (window close, program end).
    void SaveOnClose();
    // The port descriptor of the current port-list selection; empty for anything else.
    std::string SelectedDescriptor() const;

    // Readings of the derived panel, rewritten on each connection-watch tick before the watch.
    virtual void Refresh() {}

    // Exposed so tests and the host drive the timers' work without waiting for them.
    void OnWatchTick();
    void OnErrorLogTick();
    CErrorLogDlg* ErrorLog() const;

signals:
    // Detection and connect have ended, successfully or not (also when the panel gave way).
    void connectFinished(bool connected);

protected:
    // Derived constructors put their controls into this layout, then call FinishInit().
    QVBoxLayout* Body() const { return m_body; }
    void FinishInit(const QString& errorLogTitle);
    const SUiContext& Context() const { return m_context; }
    IPanelHost& Host() const { return m_host; }
    QLabel* StatusLine() const { return m_status; }
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* BuildStrip();
    QWidget* BuildConnectionRow();
    // Lays out the connection controls once the derived panel's body says how wide the panel is.
    void ArrangeConnectionRow();
    void OnAnyTimerTick();
    void OnHidePanel();
    void OnClosePanel();
    void OnSysSettings();
    void OnNetworkEntryChosen();
    void SayAtPanel(const QString& text);
    bool RunAddressEditor(std::string& descriptor);
    void OnConnectJobFinished(CPanelConnectJob::EOutcome outcome, const QString& message);
    void GiveWay(const SIdentRecord& record);
    void EndConnecting(bool connected);
    // Disconnects the instrument on its strand ("LOCAL", poll thread stopped, port closed); the
    // window goes on meanwhile.
    void Retire(SInstrumentLink link);
    void OnRetired();
    void CompleteConnect();
    void SetConnectingLook(bool connecting);
    // A lost connection: the panel disconnects, and waits for the unit when it reconnects by itself.
    void ReportWatchFailure(const QString& text, const QString& gap);
    void AwaitReturn(const QString& cause, const QString& gap);
    void OnReturned(std::unique_ptr<CInstrBase> instrument, const std::string& descriptor);
    void StopReconnecting();
    void OnReconnectToggled(bool on);
    // Disconnect without ending a wait for the unit.
    void DropConnection();
    // The status line: connected, or how long the unit has not answered.
    void ShowLinkState();
    void FitToContent();
    void ApplySettings(const SPanelSettings& settings);
    SPanelSettings CurrentSettings() const;
    // Outputs still on as the user disconnects or closes: switch off first, leave on or cancel. True
    // when the user goes on (nothing was on, or the outputs are off or left on by choice).
    bool ConfirmLeavingOutputs(const QString& action);

    SUiContext m_context;
    IPanelHost& m_host;
    SInstrumentLink m_link;
    int m_retiring = 0; // instruments given up and not yet disconnected
    // The strand of the last instrument given up: a new connect waits for it, so the port is free.
    std::shared_ptr<CRequestStrand> m_retiredStrand;
    int m_index;
    int m_typeCode;
    std::string m_section;
    bool m_firstTickDone = false;
    int m_pollPeriodMs = CInstrBase::DefaultPollPeriodMs;
    bool m_condensed = false;
    bool m_connecting = false;
    std::string m_connectingDescriptor;
    std::unique_ptr<CPanelConnectJob> m_connectJob;
    int m_serialPort = 0; // the serial port number of the connection; 0 for a network port
    QSize m_fullSize;

    QWidget* m_strip = nullptr;
    QWidget* m_content = nullptr;
    QVBoxLayout* m_body = nullptr;
    QPushButton* m_hideButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    QGridLayout* m_connectionGrid = nullptr;
    QLabel* m_portLabel = nullptr;
    CPortListBox* m_portList = nullptr;
    QPushButton* m_connectButton = nullptr;
    QCheckBox* m_autoCheck = nullptr;
    QCheckBox* m_reconnectCheck = nullptr;
    CPollPeriodBox* m_pollBox = nullptr;
    CPanelReconnect* m_reconnect = nullptr;
    QLabel* m_status = nullptr;
    QString m_connectedText; // what the status line says while the unit answers
    CErrorLogGroup* m_errorGroup = nullptr;
    QPushButton* m_sysSettingsButton = nullptr;

    QTimer m_watchTimer; // connection watch and refresh while connected
    QTimer m_errorTimer; // error-log watch, from initialisation on
};

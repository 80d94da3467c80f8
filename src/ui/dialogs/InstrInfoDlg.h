#pragma once

#include "ui/common/UiContext.h"

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

class IInstrumentHolder;
class CInstrBase;
class CLaser;
class CTerminal;
class QCheckBox;
class QLabel;
class QLineEdit;

// "System Settings": the instrument's identity, its stored message and remote permission, and the way to
// the terminal. The instrument is looked up through the panel before each use: the panel's connection
// watch may have deleted it meanwhile, and the dialog then closes with -1.
class CInstrInfoDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int MaxMessageChars = 16;
    static constexpr int StopTimeoutMs = 25000;
    // Runs the terminal; exec() unless a test puts in its own.
    using TerminalRunner = std::function<void(CTerminal&)>;

    CInstrInfoDlg(const SUiContext& context, IInstrumentHolder& panel, QWidget* parent = nullptr);

    // Starts reading the identity, message and remote permission; the dialog shows "Reading..." with
    // its controls disabled until they are in. False (nothing shown) when the panel has no instrument.
    // exec() does it first; a screenshot calls it before show().
    bool Load();
    // The values are in and nothing is being written.
    bool IsIdle() const { return m_loaded && !m_busy; }
    // -1 at once when the panel has no instrument.
    int exec() override;
    // OK: every field is checked before anything is sent.
    void accept() override;
    void SetTerminalRunner(TerminalRunner runner) { m_runTerminal = std::move(runner); }

private:
    CLaser* RemoteSetLaser(CInstrBase* instrument) const;
    bool SupportsRemote(CInstrBase* instrument) const;
    struct SIdentity
    {
        std::string message;
        bool remote = false;
        std::string model, serial, calibrationDate, firmware, build;
    };
    void Show(const SIdentity& identity, bool remote);
    // While a request is under way the dialog says what it waits for, its controls disabled.
    void SetBusy(bool busy, const QString& text = {});
    void OnTerminal();
    void RunTerminal(const std::weak_ptr<CInstrBase>& handle, bool stopped);

    SUiContext m_context;
    IInstrumentHolder& m_panel;
    TerminalRunner m_runTerminal;
    bool m_remoteAtOpening = false;
    bool m_loaded = false;
    bool m_busy = false;
    QLabel* m_readingLabel = nullptr;
    QWidget* m_okButton = nullptr;
    QWidget* m_terminalButton = nullptr;
    QLabel* m_model = nullptr;
    QLabel* m_serial = nullptr;
    QLabel* m_calibrationDate = nullptr;
    QLabel* m_firmware = nullptr;
    QLabel* m_build = nullptr;
    QLineEdit* m_message = nullptr;
    QCheckBox* m_remote = nullptr;
    QLabel* m_remoteSecondLine = nullptr;
};

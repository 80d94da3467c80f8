#pragma once

#include "ui/app/UiContext.h"

#include <QDialog>
#include <functional>

class CBasePanel;
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

    CInstrInfoDlg(const SUiContext& context, CBasePanel& panel, QWidget* parent = nullptr);

    // Reads the identity, message and remote permission into the controls; false (nothing shown) when
    // the panel has no instrument. exec() does it first; a screenshot calls it before show().
    bool Load();
    // -1 at once when the panel has no instrument.
    int exec() override;
    // OK: every field is checked before anything is sent.
    void accept() override;
    void SetTerminalRunner(TerminalRunner runner) { m_runTerminal = std::move(runner); }

private:
    // The panel's instrument, or null after closing the dialog with -1.
    CInstrBase* Instrument();
    CLaser* RemoteSetLaser(CInstrBase* instrument) const;
    bool SupportsRemote(CInstrBase* instrument) const;
    bool ReadRemote(CInstrBase* instrument);
    void WriteRemote(CInstrBase* instrument, bool allow);
    void OnTerminal();

    SUiContext m_context;
    CBasePanel& m_panel;
    TerminalRunner m_runTerminal;
    bool m_remoteAtOpening = false;
    QLabel* m_model = nullptr;
    QLabel* m_serial = nullptr;
    QLabel* m_calibrationDate = nullptr;
    QLabel* m_firmware = nullptr;
    QLabel* m_build = nullptr;
    QLineEdit* m_message = nullptr;
    QCheckBox* m_remote = nullptr;
    QLabel* m_remoteSecondLine = nullptr;
};

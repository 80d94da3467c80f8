#pragma once

#include "ui/common/UiContext.h"

#include <QDialog>
#include <QFont>
#include <QTimer>
#include <array>
#include <functional>
#include <string>
#include <string_view>

class CCommandHistoryEdit;
class CEchoEdit;
class CSerial;
class QCheckBox;
class QGridLayout;
class QPushButton;

// Raw talk with a connected instrument on its command port: a command line with "Send", typing straight
// into the text area byte by byte, eight stored command buttons ("Command1".."Command8" in "Settings",
// edited with "Buttons..."), and everything the instrument sends shown as it comes; what was sent
// shows in the link colour, so the two directions are told apart. The caller stops the instrument's polling
// first. The port is looked up before each use, and the terminal closes when it is gone or closed.
class CTerminal : public QDialog
{
    Q_OBJECT

public:
    static constexpr int TextLimit = 200000; // [characters] kept in the text area
    static constexpr int TrimChars = 50000;  // [characters] dropped from the front when the limit nears
    static constexpr int ReadPeriodMs = 20;  // a glance at the port 50 times a second, no busy loop
    static constexpr int ReadChunk = 127;    // [bytes] per read
    static constexpr int CommandCount = 8;

    // port gives the port to use now, or null once the instrument is gone.
    CTerminal(const SUiContext& context, std::function<CSerial*()> port, QWidget* parent = nullptr);
    ~CTerminal() override;

    // What the text area's keys do; each writes to the instrument and echoes in the text area.
    void SendCharacter(char byte);
    void SendEnter();
    void SendBackspace();
    void SendText(const std::string& text);
    // "Send": the command line with "\r\n".
    void SendCommandLine();
    void SendStoredCommand(int index);

    enum class EDirection
    {
        Received,
        Sent
    };

    // Shows text in the text area, first dropping the oldest TrimChars characters when the area would
    // pass its limit.
    void Append(const QString& text, EDirection direction = EDirection::Received);
    // Reads what the instrument sent (the timer's work); closes the terminal when the port is gone.
    void ReadPort();

    CEchoEdit* TextArea() const { return m_text; }

    // "Buttons...": edits the stored commands, writes them to the settings and shows the new buttons.
    void EditCommands();

private:
    // Captions the stored commands' buttons and puts the shown ones side by side, four to a row.
    void ShowCommandButtons();
    CSerial* OpenPort();
    bool Write(std::string_view bytes);
    void SetFixedFont(bool on);

    SUiContext m_context;
    std::function<CSerial*()> m_port;
    CEchoEdit* m_text = nullptr;
    CCommandHistoryEdit* m_command = nullptr;
    QGridLayout* m_commandButtons = nullptr;
    std::array<QPushButton*, CommandCount> m_commandButton{};
    QCheckBox* m_fixedFont = nullptr;
    std::array<QString, CommandCount> m_commands;
    QFont m_normalFont;
    QFont m_monoFont;
    // A line end split across two reads counts once. True at the start: the program's own last exchange
    // may have taken the "\r" of a "\r\n" and left the "\n" waiting in the port.
    bool m_lastWasCarriageReturn = true;
    QTimer m_readTimer;
};

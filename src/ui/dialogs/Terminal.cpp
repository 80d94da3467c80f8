#include "ui/dialogs/Terminal.h"

#include "comm/Serial.h"
#include "diag/Profile.h"
#include "ui/common/Prompter.h"
#include "ui/dialogs/CommandHistoryEdit.h"
#include "ui/dialogs/EchoEdit.h"
#include "ui/dialogs/TerminalCommandsDlg.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace
{
const char* const SettingsSection = "Settings";
constexpr int MaxReadPerTick = 64 * 1024; // [bytes] so a flood cannot hold the window up
constexpr int CaptionChars = 20;          // a long stored command is shortened on its button

// Instrument bytes as text: Latin-1 keeps every byte; "\r\n", "\r" and "\n" each end one line.
QString ToDisplayText(std::string_view bytes, bool& lastWasCarriageReturn)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char byte : bytes)
    {
        if (byte == '\n' && lastWasCarriageReturn)
        {
            lastWasCarriageReturn = false;
            continue;
        }
        lastWasCarriageReturn = byte == '\r';
        text += byte == '\r' ? QChar('\n') : QChar(static_cast<unsigned char>(byte));
    }
    return text;
}

// The system's fixed font can be one that fontconfig does not mark as fixed pitch (a "dual" spaced
// font such as a sans mono): the first font Qt really reports as fixed pitch is taken, from known
// monospace families, the Monospace style hint, then any fixed-pitch family installed.
QFont FixedPitchFont(qreal pointSize)
{
    QList<QFont> candidates{QFontDatabase::systemFont(QFontDatabase::FixedFont)};
    for (const char* family : {"DejaVu Sans Mono", "Liberation Mono", "Noto Mono", "Courier New", "FreeMono"})
        candidates.append(QFont(family));
    QFont hinted("Monospace");
    hinted.setStyleHint(QFont::Monospace);
    candidates.append(hinted);
    for (const QString& family : QFontDatabase::families())
        if (QFontDatabase::isFixedPitch(family))
            candidates.append(QFont(family));
    for (QFont& font : candidates)
    {
        font.setPointSizeF(pointSize);
        if (QFontInfo(font).fixedPitch())
            return font;
    }
    return candidates.front();
}
} // namespace

CTerminal::CTerminal(const SUiContext& context, std::function<CSerial*()> port, QWidget* parent)
    : QDialog(parent), m_context(context), m_port(std::move(port))
{
    setObjectName("terminalDialog");
    setWindowTitle("Terminal");
    m_text = new CEchoEdit(this);
    m_text->setObjectName("terminalText");
    m_text->setMinimumSize(420, 200);

    auto* commandGroup = new QGroupBox("Command", this);
    m_command = new CCommandHistoryEdit(commandGroup);
    m_command->setObjectName("commandEdit");
    auto* send = new QPushButton("Send", commandGroup);
    send->setObjectName("sendButton");
    send->setDefault(true);
    auto* commandRow = new QHBoxLayout(commandGroup);
    commandRow->addWidget(m_command, 1);
    commandRow->addWidget(send);

    auto* hint = new QLabel("Click inside text area to type directly to instrument.\nWhat you send is shown "
                            "in colour; Up and Down recall earlier commands.",
                            this);
    m_fixedFont = new QCheckBox("Fixed Font", this);
    m_fixedFont->setObjectName("fixedFontCheck");

    m_commandButtons = new QGridLayout;
    for (int column = 0; column < 4; ++column)
        m_commandButtons->setColumnStretch(column, 1);
    for (int i = 0; i < CommandCount; ++i)
    {
        m_commands[i] = QString::fromLatin1(
            m_context.profile.GetString(SettingsSection, "Command" + std::to_string(i + 1)));
        m_commandButton[i] = new QPushButton(this);
        m_commandButton[i]->setObjectName(QString("command%1Button").arg(i + 1));
        m_commandButton[i]->setAutoDefault(false);
        connect(m_commandButton[i], &QPushButton::clicked, this, [this, i] { SendStoredCommand(i); });
    }
    ShowCommandButtons();
    auto* editCommands = new QPushButton("Buttons...", this);
    editCommands->setObjectName("editCommandsButton");
    editCommands->setAutoDefault(false);
    editCommands->setToolTip("Edit the stored command buttons");

    auto* clear = new QPushButton("Clear", this);
    clear->setObjectName("clearButton");
    clear->setAutoDefault(false);
    auto* close = new QPushButton("Close", this);
    close->setObjectName("closeButton");
    close->setAutoDefault(false);
    auto* bottomRow = new QHBoxLayout;
    bottomRow->addWidget(hint, 1);
    bottomRow->addWidget(m_fixedFont);
    bottomRow->addWidget(editCommands);
    bottomRow->addWidget(clear);
    bottomRow->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addWidget(commandGroup);
    layout->addLayout(m_commandButtons);
    layout->addLayout(bottomRow);
    resize(680, 480);

    connect(send, &QPushButton::clicked, this, &CTerminal::SendCommandLine);
    connect(m_text, &CEchoEdit::characterTyped, this, &CTerminal::SendCharacter);
    connect(m_text, &CEchoEdit::enterPressed, this, &CTerminal::SendEnter);
    connect(m_text, &CEchoEdit::backspacePressed, this, &CTerminal::SendBackspace);
    connect(m_text, &CEchoEdit::textPasted, this, &CTerminal::SendText);
    connect(editCommands, &QPushButton::clicked, this, &CTerminal::EditCommands);
    connect(clear, &QPushButton::clicked, m_text, &QPlainTextEdit::clear);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_fixedFont, &QCheckBox::toggled, this, &CTerminal::SetFixedFont);

    m_normalFont = m_text->font();
    m_monoFont = FixedPitchFont(m_normalFont.pointSizeF());
    m_fixedFont->setChecked(m_context.profile.GetInt(SettingsSection, "FixedFont", 0) != 0);

    connect(&m_readTimer, &QTimer::timeout, this, &CTerminal::ReadPort);
    m_readTimer.start(ReadPeriodMs);
    m_command->setFocus();
}

CTerminal::~CTerminal()
{
    m_context.profile.WriteInt(SettingsSection, "FixedFont", m_fixedFont->isChecked() ? 1 : 0);
}

void CTerminal::ShowCommandButtons()
{
    int shown = 0;
    for (int i = 0; i < CommandCount; ++i)
    {
        QPushButton* button = m_commandButton[i];
        const QString& command = m_commands[i];
        m_commandButtons->removeWidget(button);
        button->setText(command.size() > CaptionChars ? command.left(CaptionChars - 3) + "..." : command);
        button->setToolTip(command);
        button->setVisible(!command.isEmpty());
        // The buttons shown stand side by side in their order, four to a row, without gaps.
        if (!command.isEmpty())
        {
            m_commandButtons->addWidget(button, shown / 4, shown % 4);
            ++shown;
        }
    }
}

void CTerminal::EditCommands()
{
    CTerminalCommandsDlg dialog(QStringList(m_commands.begin(), m_commands.end()), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList edited = dialog.Commands();
    bool saved = true;
    for (int i = 0; i < CommandCount; ++i)
    {
        // Stored as the instrument gets them: one byte a character.
        const QString command = QString::fromLatin1(edited[i].trimmed().toLatin1());
        if (command == m_commands[i])
            continue;
        m_commands[i] = command;
        const std::string key = "Command" + std::to_string(i + 1);
        saved = (m_commands[i].isEmpty()
                     ? m_context.profile.DeleteKey(SettingsSection, key)
                     : m_context.profile.WriteString(SettingsSection, key,
                                                     m_commands[i].toLatin1().toStdString())) &&
                saved;
    }
    ShowCommandButtons();
    if (!saved)
        m_context.prompter.Message(this, "The command buttons could not be saved in the settings file.");
}

void CTerminal::SetFixedFont(bool on)
{
    m_text->setFont(on ? m_monoFont : m_normalFont);
}

CSerial* CTerminal::OpenPort()
{
    CSerial* port = m_port ? m_port() : nullptr;
    if (port && port->IsOpen())
        return port;
    m_readTimer.stop();
    reject();
    return nullptr;
}

bool CTerminal::Write(std::string_view bytes)
{
    CSerial* port = OpenPort();
    if (!port)
        return false;
    port->LockedWrite(bytes.data(), static_cast<int>(bytes.size()));
    return true;
}

void CTerminal::SendCharacter(char byte)
{
    m_text->moveCursor(QTextCursor::End);
    if (Write(std::string_view(&byte, 1)))
        Append(QString(QChar(static_cast<unsigned char>(byte))), EDirection::Sent);
}

void CTerminal::SendEnter()
{
    if (Write("\r"))
        Append("\n", EDirection::Sent);
}

void CTerminal::SendBackspace()
{
    if (Write("\b"))
        m_text->EraseLastCharacter();
}

void CTerminal::SendText(const std::string& text)
{
    if (text.empty() || !Write(text))
        return;
    bool lastWasCarriageReturn = false;
    Append(ToDisplayText(text, lastWasCarriageReturn), EDirection::Sent);
}

void CTerminal::SendCommandLine()
{
    m_command->Remember(m_command->text());
    SendText(m_command->text().toLatin1().toStdString() + "\r\n");
    m_command->selectAll();
    m_command->setFocus();
}

void CTerminal::SendStoredCommand(int index)
{
    if (index < 0 || index >= CommandCount || m_commands[index].isEmpty())
        return;
    SendText(m_commands[index].toLatin1().toStdString() + "\r\n");
}

void CTerminal::Append(const QString& text, EDirection direction)
{
    QTextDocument* document = m_text->document();
    QTextCursor cursor(document);
    const int length = document->characterCount() - 1; // without the document's own end
    if (length + text.size() + TrimChars > TextLimit)
    {
        m_text->setUpdatesEnabled(false);
        cursor.setPosition(0);
        cursor.setPosition(std::min(TrimChars, length), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        m_text->setUpdatesEnabled(true);
    }
    // Text longer than the whole area keeps only its end.
    const QString kept = text.size() > TextLimit - TrimChars ? text.right(TextLimit - TrimChars) : text;
    cursor.movePosition(QTextCursor::End);
    // Each piece carries its own format, so received text never takes the colour of what was sent.
    QTextCharFormat format;
    if (direction == EDirection::Sent)
        format.setForeground(m_text->palette().color(QPalette::Link));
    cursor.insertText(kept, format);
    m_text->moveCursor(QTextCursor::End);
    m_text->ensureCursorVisible();
}

void CTerminal::ReadPort()
{
    char buffer[ReadChunk];
    int total = 0;
    while (total < MaxReadPerTick)
    {
        CSerial* port = OpenPort();
        if (!port)
            return;
        const int count = port->LockedRead(buffer, ReadChunk, 0);
        if (count <= 0)
            return;
        total += count;
        Append(ToDisplayText(std::string_view(buffer, static_cast<size_t>(count)), m_lastWasCarriageReturn));
        if (count < ReadChunk)
            return;
    }
}

#include "ui/dialogs/ErrorLogDlg.h"

#include "instrument/session/InstrBase.h"
#include "ui/common/Prompter.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <ctime>

CErrorLogDlg::CErrorLogDlg(CPrompter& prompter, std::function<CInstrBase*()> source, QWidget* parent)
    : QDialog(parent), m_prompter(prompter), m_source(std::move(source))
{
    setObjectName("errorLogDialog");
    setWindowTitle("Error Log");
    setModal(false);
    m_list = new QListWidget(this);
    m_list->setObjectName("errorList");
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* clear = new QPushButton("Clear", this);
    clear->setObjectName("clearButton");
    auto* hide = new QPushButton("Hide", this);
    hide->setObjectName("hideButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(clear);
    buttons->addWidget(hide);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    resize(520, 260);
    connect(clear, &QPushButton::clicked, this, &CErrorLogDlg::OnClear);
    connect(hide, &QPushButton::clicked, this, &CErrorLogDlg::reject);
    connect(&m_timer, &QTimer::timeout, this, &CErrorLogDlg::CollectErrors);
    m_timer.start(TickMs);
}

void CErrorLogDlg::SetTitle(const QString& title)
{
    if (!title.isEmpty())
        setWindowTitle(title);
}

int CErrorLogDlg::LineCount() const
{
    return m_list->count();
}

void CErrorLogDlg::CollectErrors()
{
    CInstrBase* instrument = m_source ? m_source() : nullptr;
    if (!instrument)
        return;
    // One record at a time, each taken out of the list as it is read: an error the poll thread adds
    // meanwhile stays for the next pass instead of being cleared unseen. Only the records there now are
    // taken, so a unit that reports errors without end cannot hold the window up.
    for (int pending = instrument->GetErrorCount(); pending > 0; --pending)
    {
        const CErrorMsg error = instrument->GetError(0, true);
        m_prompter.Beep();
        const QString text = QString::fromLatin1(error.GetText().c_str());
        const QString line = QString("%1: Err %2 - %3")
                                 .arg(FormatLocalTime(error.GetTime(), "%x %X"))
                                 .arg(error.GetNumber())
                                 .arg(text);
        m_list->insertItem(0, line);
        m_recentText = text;
        m_recentTime = error.GetTime();
    }
}

QString CErrorLogDlg::FormatLocalTime(int64_t time, const char* format)
{
    const std::time_t when = static_cast<std::time_t>(time);
    std::tm local{};
    char text[128];
    if (!localtime_r(&when, &local) || std::strftime(text, sizeof text, format, &local) == 0)
        return {};
    return QString::fromLocal8Bit(text);
}

void CErrorLogDlg::reject()
{
    if (m_toggleButton)
        m_toggleButton->setText("Show\nLog");
    hide();
}

void CErrorLogDlg::OnClear()
{
    m_list->clear();
}

#include "ui/widgets/RecordControl.h"

#include "instrument/session/InstrBase.h"
#include "ui/common/Prompter.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace
{
// "0:01:05" and "12:00:00"; a recording may run for days.
QString Elapsed(qint64 ms)
{
    const qint64 seconds = ms / 1000;
    return QString("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QChar('0'))
        .arg(seconds % 60, 2, 10, QChar('0'));
}
} // namespace

CRecordControl::CRecordControl(const SUiContext& context, QWidget* parent)
    : QWidget(parent), m_context(context)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    m_button = new QPushButton("Record...", this);
    m_button->setObjectName("recordButton");
    m_status = new QLabel(this);
    m_status->setObjectName("recordStatus");
    // A long file name is cut, never widens the panel; the tool tip holds the whole path.
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    row->addWidget(m_button);
    row->addWidget(m_status, 1);
    connect(m_button, &QPushButton::clicked, this, &CRecordControl::OnButton);
}

void CRecordControl::Record(CInstrBase& instrument)
{
    if (!m_recorder.IsRecording())
        return;
    m_lastReadings = CCsvRecorder::ReadingsOf(instrument);
    QString error;
    if (!m_recorder.Record(instrument, m_lastReadings, error))
        return Fail(error);
    ShowStatus();
}

void CRecordControl::RecordIdle(CInstrBase* instrument)
{
    if (!m_recorder.IsRecording() || !instrument || !instrument->IsPaused())
        return;
    QString error;
    if (!m_recorder.RecordGap(CCsvRecorder::ReadingsOf(*instrument), "polling paused", error))
        return Fail(error);
    ShowStatus();
}

bool CRecordControl::Start(const QString& path)
{
    QString error;
    if (!m_recorder.Start(path, m_source ? m_source() : SReadingLogSource{}, error))
    {
        m_context.prompter.Message(this, QString("Could not write %1: %2").arg(path, error));
        return false;
    }
    m_lastReadings.clear();
    m_button->setText("Stop Recording");
    m_button->setEnabled(true);
    m_status->setToolTip(QDir::toNativeSeparators(path));
    ShowStatus();
    return true;
}

void CRecordControl::Stop(const QString& cause)
{
    if (!m_recorder.IsRecording())
        return;
    QString error;
    // Before the first row there are no columns to write a gap row under, nor readings it interrupts.
    bool ok = cause.isEmpty() || m_lastReadings.empty() || m_recorder.RecordGap(m_lastReadings, cause, error);
    QString closeError;
    ok = m_recorder.Stop(closeError) && ok;
    m_button->setText("Record...");
    m_button->setEnabled(m_connected);
    ShowStatus(cause.isEmpty() ? "stopped" : "stopped: " + cause);
    if (!ok)
        Fail(error.isEmpty() ? closeError : error);
}

void CRecordControl::UpdateControls(bool connected, const QString& waitGap)
{
    m_connected = connected;
    if (!connected && m_recorder.IsRecording())
    {
        if (waitGap.isEmpty())
            Stop("disconnected");
        else
            Interrupt(waitGap);
    }
    m_button->setEnabled(connected || m_recorder.IsRecording());
}

void CRecordControl::Interrupt(const QString& cause)
{
    QString error;
    // Before the first row there are no columns to write a gap row under, nor readings it interrupts;
    // the log writes one row however often the gap is reported.
    if (!m_lastReadings.empty() && !m_recorder.RecordGap(m_lastReadings, cause, error))
        return Fail(error);
    ShowStatus("waiting for the instrument");
}

void CRecordControl::OnButton()
{
    if (m_recorder.IsRecording())
    {
        Stop();
        return;
    }
    const QString suggested = QDir::home().filePath(
        QString("readings-%1.csv").arg(QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss")));
    const QString path =
        QFileDialog::getSaveFileName(this, "Record readings", suggested, "CSV files (*.csv)");
    if (!path.isEmpty())
        Start(path);
}

void CRecordControl::ShowStatus(const QString& ending)
{
    const int rows = m_recorder.Rows();
    // One arg() for all: a file name with "%2" in it stays as it is.
    QString text = QString("%1: %2 %3, %4")
                       .arg(QFileInfo(m_recorder.Path()).fileName(), QString::number(rows),
                            QString(rows == 1 ? "row" : "rows"), Elapsed(m_recorder.ElapsedMs()));
    if (!ending.isEmpty())
        text += " (" + ending + ")";
    m_status->setText(text);
}

void CRecordControl::Fail(const QString& error)
{
    // Stopped before the message: the ticks its dialog lets through write nothing more.
    m_button->setText("Record...");
    m_button->setEnabled(m_connected);
    ShowStatus("failed");
    m_context.prompter.Message(this,
                               QString("Recording stopped: could not write %1: %2")
                                   .arg(QDir::toNativeSeparators(m_recorder.Path()), error),
                               CPrompter::EIcon::Error);
}

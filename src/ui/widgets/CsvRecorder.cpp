#include "ui/widgets/CsvRecorder.h"

#include "diag/Version.h"
#include "instrument/report/Channels.h"
#include "instrument/session/InstrBase.h"
#include "instrument/tec/TEC.h"
#include "ui/widgets/ReadingState.h"

#include <chrono>

bool CCsvRecorder::Start(const QString& path, const SReadingLogSource& source, QString& error)
{
    // The file recorded so far is finished first, and what it lost is said.
    if (!Stop(error))
        return false;
    if (!m_log.Open(path.toStdString()))
    {
        error = QString::fromStdString(m_log.Error());
        return false;
    }
    m_log.SetSource(source);
    m_path = path;
    m_recording = true;
    m_stoppedAfterMs = -1;
    m_clock.start();
    return true;
}

bool CCsvRecorder::Stop(QString& error)
{
    if (!m_recording)
        return true;
    m_recording = false;
    m_stoppedAfterMs = m_clock.elapsed();
    if (m_log.Close())
        return true;
    error = QString::fromStdString(m_log.Error());
    return false;
}

bool CCsvRecorder::Record(const CInstrBase& session, std::vector<SChannelReadings> readings, QString& error)
{
    if (!m_recording)
        return true;
    for (SChannelReadings& channel : readings)
    {
        for (SReading& reading : channel.readings)
        {
            if (reading.text.empty() && !reading.blank && !ReadingState::IsKnown(session, reading.value))
                reading.value = CTEC::NoValue;
        }
    }
    return m_log.WriteRow(std::chrono::system_clock::now(), readings) || Failed(error);
}

bool CCsvRecorder::RecordGap(const std::vector<SChannelReadings>& readings, const QString& cause,
                             QString& error)
{
    if (!m_recording)
        return true;
    return m_log.WriteGap(std::chrono::system_clock::now(), readings, cause.toStdString()) || Failed(error);
}

bool CCsvRecorder::Failed(QString& error)
{
    // What the file did not take is said; the file is closed as far as it goes and not written again.
    error = QString::fromStdString(m_log.Error());
    QString ignored;
    Stop(ignored);
    return false;
}

std::vector<SChannelReadings> CCsvRecorder::ReadingsOf(CInstrBase& instrument)
{
    return SChannels::Of(instrument).Read();
}

SReadingLogSource CCsvRecorder::SourceOf(CInstrBase* instrument, const QString& port)
{
    SReadingLogSource source{
        std::string("Tamrix Control ") + kProductVersion, {}, {}, {}, port.toStdString()};
    if (instrument)
    {
        // The identity is cached by the connect: nothing is sent from here.
        source.model = instrument->GetModel();
        source.serialNumber = instrument->GetSerialNumber();
        source.firmware = instrument->GetFirmwareVersion();
    }
    return source;
}

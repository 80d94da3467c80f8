#include "ui/widgets/CsvRecorder.h"

#include "instrument/report/Channels.h"
#include "instrument/session/InstrBase.h"
#include "instrument/tec/TEC.h"
#include "ui/widgets/ReadingState.h"

#include <cerrno>
#include <chrono>
#include <cstring>

bool CCsvRecorder::Start(const QString& path, QString& error)
{
    Stop();
    if (!m_file.Open(path.toStdString()))
    {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_path = path;
    m_recording = true;
    m_headerWritten = false;
    return true;
}

void CCsvRecorder::Stop()
{
    m_file = CCsvFile();
    m_recording = false;
}

void CCsvRecorder::Record(const CInstrBase& session, std::vector<SChannelReadings> readings)
{
    if (!m_recording)
        return;
    for (SChannelReadings& channel : readings)
        for (SReading& reading : channel.readings)
            if (reading.text.empty() && !ReadingState::IsKnown(session, reading.value))
                reading.value = CTEC::NoValue;
    if (!m_headerWritten)
    {
        m_file.WriteLine(ReadingFormat::CsvHeader(readings));
        m_headerWritten = true;
    }
    m_file.WriteLine(
        ReadingFormat::CsvRow(ReadingFormat::IsoTimestamp(std::chrono::system_clock::now()), readings));
}

std::vector<SChannelReadings> CCsvRecorder::ReadingsOf(CInstrBase& instrument)
{
    return SChannels::Of(instrument).Read();
}

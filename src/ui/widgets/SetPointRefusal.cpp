#include "ui/widgets/SetPointRefusal.h"

#include "instrument/session/InstrBase.h"

int CSetPointRefusal::Mark(const CInstrBase* session)
{
    return session ? session->GetErrorCount() : 0;
}

QString CSetPointRefusal::Message(const QString& value, CInstrBase* session, int mark)
{
    QString reason = "the instrument did not confirm it";
    const int count = session ? session->GetErrorCount() : 0;
    if (count > mark)
    {
        const CErrorMsg error = session->GetError(count - 1, false);
        reason = QString("error %1").arg(error.GetNumber());
        if (!error.GetText().empty())
            reason += ", " + QString::fromStdString(error.GetText());
    }
    return QString("The instrument did not accept the set point %1 (%2). The field shows the set point "
                   "the instrument holds.")
        .arg(value, reason);
}

void CSetPointRefusal::Hold(float refused)
{
    m_refused = refused;
    m_clock.start();
}

bool CSetPointRefusal::Hides(float channelValue)
{
    if (m_refused && (channelValue != *m_refused || m_clock.hasExpired(HoldMs)))
        m_refused.reset();
    return m_refused.has_value();
}

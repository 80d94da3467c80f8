#include "ui/panels/PanelSettings.h"

#include "diag/Profile.h"

#include <algorithm>

SPanelSettings SPanelSettings::Load(const CProfile& profile, const std::string& section)
{
    SPanelSettings settings;
    const int errX = profile.GetInt(section, "ErrX", -1);
    const int errY = profile.GetInt(section, "ErrY", -1);
    if (errX != -1 && errY != -1)
        settings.errorLogPlace = QPoint(errX, errY);
    settings.condensed = profile.GetInt(section, "Condensed", 0) != 0;
    settings.autoConnect = profile.GetInt(section, "AutoConnect", 0) != 0;
    settings.reconnect = profile.GetInt(section, "Reconnect", 0) != 0;
    settings.pollPeriodMs = std::max(CInstrBase::MinPollPeriodMs,
                                     profile.GetInt(section, "PollPeriod", CInstrBase::DefaultPollPeriodMs));
    settings.connection = profile.GetString(section, "Connection");
    return settings;
}

void SPanelSettings::Save(CProfile& profile, const std::string& section, bool minimized) const
{
    if (!minimized)
    {
        if (errorLogPlace)
        {
            profile.WriteInt(section, "ErrX", errorLogPlace->x());
            profile.WriteInt(section, "ErrY", errorLogPlace->y());
        }
        profile.WriteInt(section, "AutoConnect", autoConnect ? 1 : 0);
        profile.WriteInt(section, "Reconnect", reconnect ? 1 : 0);
        // Only a period the user chose is kept: the default may change with later versions.
        if (pollPeriodMs == CInstrBase::DefaultPollPeriodMs)
            profile.DeleteKey(section, "PollPeriod");
        else
            profile.WriteInt(section, "PollPeriod", pollPeriodMs);
        if (connection.empty())
            profile.DeleteKey(section, "Connection");
        else
            SaveConnection(profile, section, connection);
    }
    profile.WriteInt(section, "Condensed", condensed ? 1 : 0);
}

void SPanelSettings::SaveConnection(CProfile& profile, const std::string& section,
                                    const std::string& descriptor)
{
    profile.WriteString(section, "Connection", descriptor);
}

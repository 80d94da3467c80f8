#pragma once

#include "comm/SerialMulti.h"
#include "comm/SerialRedirector.h"
#include "instrument/session/InstrBase.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>

class CTEC;

// One channel of a multi-channel instrument: a full laser or TEC channel object whose port redirects
// to the host's shared port. It never runs a poll thread of its own; the host polls it. While the host
// polls, a command or query of the channel made on another thread travels through the host's hand-over
// slots with the channel's prefix in front, so the user-interface thread never writes into the middle
// of a poll exchange. On the host's own thread (and while it does not poll) the channel talks directly.
template <class Family>
class CHostedChannel : public Family
{
public:
    // Called once by the host, before any traffic: the channel's number and its view of the shared port.
    void AttachHost(CInstrBase* host, CSerialMulti* shared)
    {
        m_host = host;
        this->SetPort(std::make_unique<CSerialRedirector>(shared));
    }

    // The channel reports the host's identity, so the firmware gates of the models work per channel.
    void CopyIdentity(CInstrBase& from)
    {
        std::string serial = from.GetSerialNumber();
        std::string model = from.GetModel();
        std::string firmware = from.GetFirmwareVersion();
        std::string build = from.GetBuild();
        std::string calibrationDate = from.GetCalibrationDate();
        {
            std::lock_guard lock(this->m_identLock);
            this->m_serialNumber = std::move(serial);
            this->m_model = std::move(model);
            this->m_firmwareVersion = std::move(firmware);
            this->m_build = std::move(build);
            this->m_calibrationDate = std::move(calibrationDate);
            this->m_revision = from.GetRevision();
        }
        this->m_familyCode = from.GetFamilyCode();
        this->m_modelCode = from.GetModelCode();
        this->m_variantCode = from.GetVariantCode();
        this->m_buildNumber = from.GetBuildNumber();
        this->m_identified = true;
    }

    void ForgetIdentity()
    {
        this->m_identified = false;
        this->m_familyCode = 0;
        this->m_modelCode = 0;
        this->m_variantCode = 0;
        this->m_buildNumber = 0;
        this->ClearIdentityTexts();
    }

    // Cached readings are current while the host polls.
    bool IsPolling() const override { return m_host != nullptr && m_host->IsPolling(); }

    // A laser channel polls its own selection combined with the host's; a TEC channel the host's.
    uint64_t GetPollFlags() const override
    {
        const uint64_t hostFlags = m_host != nullptr ? m_host->GetPollFlags() : 0;
        if constexpr (std::is_base_of_v<CTEC, Family>)
            return m_host != nullptr ? hostFlags : CInstrBase::GetPollFlags();
        else
            return CInstrBase::GetPollFlags() | hostFlags;
    }

    std::string Query(std::string_view command, int timeoutMs = -1) override
    {
        if (IsPolling())
            return m_host->Query(Prefixed(command), timeoutMs);
        return this->QueryDirect(command, -1);
    }

    bool Command(std::string_view command, bool checkErrors = true, int timeoutMs = -1) override
    {
        if (IsPolling())
            return m_host->Command(Prefixed(command), checkErrors, timeoutMs);
        return checkErrors ? this->CommandChecked(command, true) : this->CommandRaw(command);
    }

private:
    // The host adds no prefix of its own, so the channel's goes in front here, once.
    std::string Prefixed(std::string_view command) const
    {
        std::string text = this->GetUsePrefix() > 0 ? this->GetCommandPrefix() : std::string();
        text += command;
        return text;
    }

    CInstrBase* m_host = nullptr;
};

#pragma once

#include "comm/SerialMulti.h"
#include "instrument/multi/MultiChannelConnect.h"
#include "instrument/session/ErrorMsg.h"
#include "instrument/session/InstrBase.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The channels of a multi-channel unit: the slots the model fitted, the ones found present (compacted,
// in channel order) and the selection. The present list and the selection are atomics: the poll thread
// walks the list while the user-interface thread reads and selects.
template <class Channel, int Capacity>
class CChannelSet
{
public:
    // The slot gets the host's shared port; the caller numbers it first.
    void Add(std::unique_ptr<Channel> channel, CInstrBase* host, CSerialMulti& shared)
    {
        channel->AttachHost(host, &shared);
        m_slots.push_back(std::move(channel));
    }

    int GetSlots() const { return static_cast<int>(m_slots.size()); }
    // Slots whose selection the last discovery saw answered with another channel's number while none
    // answered with its own: the selection itself failed, which is not the same as a unit without
    // channels.
    int GetMisselected() const { return m_misanswered.load(); }
    int GetCount() const { return m_presentCount.load(); }

    // Zero-based index into the present channels; out of range leaves the selection unchanged.
    void Select(int index)
    {
        if (index >= 0 && index < m_presentCount.load())
            m_selected.store(index);
    }
    int GetSelected() const { return m_selected.load(); }
    Channel* Get(int index) const
    {
        if (index < 0 || index >= Capacity)
            return nullptr;
        return m_present[static_cast<size_t>(index)].load();
    }
    Channel* GetSelectedObject() const { return Get(m_selected.load()); }

    // Asks each slot "<family>:CHAN %d;<family>:CHAN?" and keeps those answering their own number,
    // compacted, each given the host's identity.
    void Discover(CInstrBase& host, const std::string& family,
                  const std::function<int(const Channel&)>& numberOf)
    {
        std::array<Channel*, Capacity> found{};
        int count = 0;
        int misanswered = 0;
        for (const auto& slot : m_slots)
        {
            const int number = numberOf(*slot);
            const std::string chan = family + ":CHAN ";
            const std::string query = chan + std::to_string(number) + ";" + family + ":CHAN?";
            const int answered = ParseChannelNumber(host.Query(query));
            if (answered == number)
                found[static_cast<size_t>(count++)] = slot.get();
            else if (answered > 0)
                ++misanswered;
        }
        // A unit keeps its selection when asked for an empty slot, so another number is normal there;
        // only when no slot at all answered to its own number is the selection itself in doubt.
        m_misanswered.store(count == 0 ? misanswered : 0);
        for (size_t i = 0; i < found.size(); ++i)
            m_present[i].store(found[i]);
        m_presentCount.store(count);
        CopyIdentity(host);
    }

    // Every slot present, in channel order, each given the host's identity; nothing is sent.
    void PresentAll(CInstrBase& host)
    {
        for (size_t i = 0; i < m_present.size(); ++i)
            m_present[i].store(i < m_slots.size() ? m_slots[i].get() : nullptr);
        m_presentCount.store(static_cast<int>(std::min(m_slots.size(), m_present.size())));
        CopyIdentity(host);
    }

    // Every slot, present or not.
    void ForEachSlot(const std::function<void(Channel&)>& visit) const
    {
        for (const auto& slot : m_slots)
            visit(*slot);
    }

    // None present any more.
    void ClearPresent()
    {
        for (auto& present : m_present)
            present.store(nullptr);
        m_presentCount.store(0);
    }

    // Every present channel, in channel order.
    void ForEach(const std::function<void(Channel&)>& visit) const
    {
        const int count = m_presentCount.load();
        for (int i = 0; i < count; ++i)
            if (Channel* channel = m_present[static_cast<size_t>(i)].load())
                visit(*channel);
    }

    // Runs one of the session's poll hooks (1 to 3) on every present channel with the flags flagsOf
    // gives it, until the host is asked to stop.
    void Poll(const CInstrBase& host, int hook, const std::function<uint64_t(const Channel&)>& flagsOf) const
    {
        ForEach(
            [&](Channel& channel)
            {
                if (host.IsStopRequested())
                    return;
                const uint64_t flags = flagsOf(channel);
                if (hook == 1)
                    channel.PollHook1(flags);
                else if (hook == 2)
                    channel.PollHook2(flags);
                else
                    channel.PollHook3(flags);
            });
    }

    // The channels' health folded into the host's: the worst failedPolls, fresh values from any.
    void CollectHealth(int& failedPolls, bool& fresh) const
    {
        ForEach(
            [&](Channel& channel)
            {
                failedPolls = std::max(failedPolls, channel.GetFailedPolls());
                fresh = fresh || channel.GetUserFlag();
            });
    }

    int SumErrors() const
    {
        int sum = 0;
        ForEach([&sum](Channel& channel) { sum += channel.GetErrorCount(); });
        return sum;
    }

    std::vector<CInstrBase*> List() const
    {
        std::vector<CInstrBase*> channels;
        ForEach([&channels](Channel& channel) { channels.push_back(&channel); });
        return channels;
    }

    // The error at index in the present channels' lists taken one after the other.
    CErrorMsg GetError(int index, bool remove) const { return ChannelError(List(), index, remove); }

    void ProcessPending() const
    {
        ForEach([](Channel& channel) { channel.ProcessPending(); });
    }
    void ClearErrors() const
    {
        ForEach([](Channel& channel) { channel.ClearErrors(); });
    }
    void ClearUserFlag() const
    {
        ForEach([](Channel& channel) { channel.ClearUserFlag(); });
    }

private:
    void CopyIdentity(CInstrBase& host) const
    {
        ForEach([&host](Channel& channel) { channel.CopyIdentity(host); });
    }

    std::vector<std::unique_ptr<Channel>> m_slots;
    std::array<std::atomic<Channel*>, Capacity> m_present{};
    std::atomic<int> m_presentCount{0};
    std::atomic<int> m_misanswered{0};
    std::atomic<int> m_selected{0};
};

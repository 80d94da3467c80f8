#pragma once

#include "BrokerOptions.h"
#include "instrument/session/InstrBase.h"

#include <chrono>
#include <string>
#include <vector>

// The command line and configuration file of tamrix-bridge. Options on the command line win over
// the file's; the instruments of both are taken.
//
//   tamrix-bridge [DESCRIPTOR...] [--config FILE] [--host HOST] [--port N] [--client-id ID]
//                 [--credentials FILE] [--cafile FILE] [--reconnect-max S] [--period S]
//                 [--max-rate N] [--poll-period S] [--allow-set]
//
// The configuration file is INI: [Broker] host, port, client-id, credentials, cafile, reconnect-max;
// [Bridge] period, max-rate, poll-period, allow-set (1 or 0); [Instruments] Instrument1=DESCRIPTOR, ... . The
// credentials file holds "username=NAME" and "password=SECRET" lines, so that no password appears
// in a process list or a shell history.
struct SBridgeOptions
{
    bool help = false;
    std::vector<std::string> instruments;
    SBrokerOptions broker;
    std::chrono::milliseconds period{1000};     // 0: on change only
    std::chrono::milliseconds minInterval{250}; // between two publications of a changing value
    std::chrono::milliseconds pollPeriod{CInstrBase::DefaultPollPeriodMs}; // of every instrument
    bool allowSet = false;
    std::vector<std::string> warnings; // for the user, about files that were taken all the same

    // False with a message for the user on any bad option, file or value.
    static bool Parse(const std::vector<std::string>& args, SBridgeOptions& options, std::string& error);
    static std::string Usage();
};

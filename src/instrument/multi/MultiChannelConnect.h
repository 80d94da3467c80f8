#pragma once

#include "comm/SerialMulti.h"
#include "instrument/session/ErrorMsg.h"

#include <string>
#include <string_view>
#include <vector>

class CInstrBase;

// Steps shared by the multi-channel instruments, whose one real connection is a CSerialMulti.

// The instrument's shared port, installed in place of the plain command port on first use.
CSerialMulti& InstallSharedPort(CInstrBase& instrument);

// The session's connect steps up to identification, on the shared port: disconnect, clear the mismatch
// and failure counts, open the connection for real, ask "BUILD?"; a serial descriptor with baud 0 that
// gets no answer at 38400 tries 9600. False (and disconnected) when nothing answered.
bool OpenSharedAndProbe(CInstrBase& instrument, const std::string& descriptor);

// The error at index in the channels' lists taken one after the other, as the unit's total counts them;
// an empty record past the end.
CErrorMsg ChannelError(const std::vector<CInstrBase*>& channels, int index, bool remove);

// The channel number in a "LAS:CHAN?"-style reply; -1 when the reply is no whole number.
int ParseChannelNumber(std::string_view reply);

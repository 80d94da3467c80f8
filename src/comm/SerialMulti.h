#pragma once

#include "comm/PortDescriptor.h"
#include "comm/Serial.h"

#include <string>

// The one real command port of a device whose channels are modelled as instruments of their own. Its
// ordinary serial and descriptor opens only report whether the shared connection is open, so that a
// channel object's own connect never replaces the connection of its siblings; the owner opens the
// connection through the shared opens.
class CSerialMulti : public CSerial
{
public:
    CSerialMulti() = default;

    bool OpenPort(int portNumber, int baud) override;
    bool OpenDescriptor(const std::string& descriptor) override;

    // The real serial open (the command port's own OpenPort).
    virtual bool OpenSharedPort(int portNumber, int baud);
    // The real descriptor open, from the descriptor as its owner has split it: "COM" opens the serial
    // port, "TCP" the network connection; false for any other kind.
    virtual bool OpenSharedDescriptor(const PortDescriptor& descriptor);
    virtual bool CloseSharedPort();
};

#pragma once

#include <QString>
#include <vector>

// A serial port as the port lists offer it.
struct SSerialChoice
{
    int number = 0; // "COM n", 1 to 255
    QString detail; // the device's description and path, as tamrix-cli ports shows them
    bool present = true;
};

// The serial entries of the panels' port lists and of "Add Panel", from the port discovery that
// tamrix-cli uses.
namespace PortChoices
{
constexpr int NotHeld = -1;

// The numbered ports present, in number order, then the registered ports whose device is gone (not
// present). A discovery that fails gives the registered ports only: the lists still name them.
std::vector<SSerialChoice> SerialPorts();
// "COM3 (CP2102 USB to UART Bridge Controller, /dev/ttyUSB0)", "COM42 (/tmp/k760)"; a port another
// panel holds adds " - in use by panel n" (heldBy counts from 0), a port that is gone " - missing".
QString Text(const SSerialChoice& port, int heldBy = NotHeld);
} // namespace PortChoices

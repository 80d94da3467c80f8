#pragma once

#include <string>

// One serial port found by port discovery. Texts are UTF-8.
struct SSerInfo
{
    std::string devicePath;   // the node to open, e.g. "/dev/ttyUSB0" or a registered pseudo-terminal
    std::string portName;     // "COM%d" when the number is known
    std::string friendlyName; // ends in "(COM%d)" when the port registry gave the device a number
    bool isUsb = false;
    std::string description;
    int portNumber = 0; // 0 when the port has no number
};

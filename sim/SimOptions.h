#pragma once

#include <string>
#include <vector>

// The command line of tamrix-sim.
struct SSimOptions
{
    bool help = false;
    bool listModels = false;
    std::string model = "K760";
    bool pty = false;
    std::string ptyLink;
    bool tcp = false;
    int tcpPort = 10001;
    std::string bind = "127.0.0.1";
    int baud = 38400;
    std::string serial;
    double timeScale = 1.0;
    bool wireTiming = false;
    bool echo = false;
    bool silent = false;
    int dropEvery = 0;
    bool truncate = false;
    bool garble = false;
    bool wrongChannel = false;
    int delayMs = 0;
    std::vector<int> errors;
    std::vector<std::pair<std::string, unsigned>> fitted; // family ("TEC", "LAS", "LPS"), channel mask
    std::vector<int> sensorOpen;                          // TEC channel numbers, from 1
    std::vector<int> sensorShort;                         // TEC channel numbers, from 1
    int unplugAfterS = 0;                                 // 0: never
};

// Parses the arguments after the program name. On failure returns false with a message for the
// user in `error`. Without --pty and --tcp the unit listens on both (TCP on the default port).
bool ParseSimOptions(const std::vector<std::string>& args, SSimOptions& options, std::string& error);

// The --help text.
std::string SimUsage();

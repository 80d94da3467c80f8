// tamrix-bridge: the instruments of this PC on an MQTT broker, as Homie devices.
#include "Bridge.h"
#include "BridgeOptions.h"
#include "CliStopSignals.h"

#include <cstdio>

int main(int argc, char** argv)
{
    SBridgeOptions options;
    std::string error;
    if (!SBridgeOptions::Parse(std::vector<std::string>(argv + 1, argv + argc), options, error))
    {
        std::fprintf(stderr, "tamrix-bridge: %s\n(tamrix-bridge --help shows the options)\n", error.c_str());
        return 2;
    }
    for (const std::string& warning : options.warnings)
        std::fprintf(stderr, "tamrix-bridge: warning: %s\n", warning.c_str());
    if (options.help)
    {
        std::fputs(SBridgeOptions::Usage().c_str(), stdout);
        return 0;
    }
    // Blocked before any thread starts, so that only the main thread takes the stop signals.
    CCliStopSignals stop;
    CBridge bridge(std::move(options));
    bridge.Run(stop);
    return 0;
}

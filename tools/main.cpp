// tamrix-cli: the instruments from a terminal or a script, without a display.
#include "CliCommands.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    return RunCli(std::vector<std::string>(argv + 1, argv + argc));
}

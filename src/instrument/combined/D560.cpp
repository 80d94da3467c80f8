#include "instrument/combined/D560.h"

#include "instrument/combined/D560Main.h"
#include "instrument/combined/D560Pilot.h"

#include <memory>

CD560::CD560()
{
    AddLaserChannel(std::make_unique<CD560Main>());
    AddLaserChannel(std::make_unique<CD560Pilot>());
}

void CD560::DiscoverLaserChannels()
{
    PresentAllLaserChannels();
}

#pragma once

#include "ui/widgets/ChannelAccess.h"

class CLaser;

// How a laser block, the laser settings page and the QCW parameters dialog reach their channel.
using SLaserChannelAccess = SChannelAccess<CLaser>;

#pragma once

#include "ui/widgets/ChannelAccess.h"

class CTEC;

// How a TEC block, the TEC settings page and the AutoTune wizard reach their channel.
using STecChannelAccess = SChannelAccess<CTEC>;

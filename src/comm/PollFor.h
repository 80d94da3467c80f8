#pragma once

// Blocks in poll(2) for the events on fd, restarting after signals until the time-out [ms] is used up.
// The events that came (POLLHUP/POLLERR among them), 0 on time-out, POLLERR when poll itself fails.
short PollFor(int fd, short events, int timeoutMs);

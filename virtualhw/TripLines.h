#ifndef VIRTUALHW_TRIPLINES_H
#define VIRTUALHW_TRIPLINES_H

// Trip lines of the simulated boards. A channel's "TripInt" word names the
// internal lines of its board, its "TripExt" word the four external lines
// shared by every board of the system. In each word bit L says the channel
// drives line L when it trips, bit L + n (its companion) that it listens to
// line L and trips when the line is driven; n is 4 for the external word and
// half the board's channel count, at most 16, for the internal one.

#include "virtualhw/World.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace vhw {

// Number of internal lines of a board with this many channels.
int internalTripLines(int channels);

// Lines a trip word drives and listens to, as line masks (bit L = line L).
uint32_t drivenLines(double word, int lines);
uint32_t listenedLines(double word, int lines);

// The channels that a trip of `channel` on `board` trips at once through the
// lines it drives (not yet tripped ones only; the tripping channel itself is
// not listed). Channels they trip in turn are found when they trip.
std::vector<std::pair<Board *, int>> tripLineFollowers(System &sys, Board &board, int channel);

} // namespace vhw

#endif

#include "virtualhw/TripLines.h"

#include <algorithm>

namespace vhw {

namespace {

const int kExternalLines = 4;

uint32_t lineMask(int lines)
{
    return lines >= 32 ? 0xFFFFFFFFu : (1u << lines) - 1;
}

// The stored value is the 32-bit word the library wrote (possibly negative).
uint32_t word32(double v)
{
    return uint32_t(int64_t(v));
}

double paramOf(const Channel &ch, int idx)
{
    return idx >= 0 && size_t(idx) < ch.values.size() ? ch.values[size_t(idx)] : 0;
}

} // namespace

int internalTripLines(int channels)
{
    return std::min(16, std::max(0, channels) / 2);
}

uint32_t drivenLines(double word, int lines)
{
    return lines <= 0 ? 0 : word32(word) & lineMask(lines);
}

uint32_t listenedLines(double word, int lines)
{
    return lines <= 0 || lines >= 32 ? 0 : (word32(word) >> lines) & lineMask(lines);
}

std::vector<std::pair<Board *, int>> tripLineFollowers(System &sys, Board &board, int channel)
{
    std::vector<std::pair<Board *, int>> out;
    if (channel < 0 || size_t(channel) >= board.channels.size())
        return out;
    const Channel &me = board.channels[size_t(channel)];
    auto listed = [&](Board *b, int c) {
        return std::find(out.begin(), out.end(), std::make_pair(b, c)) != out.end();
    };

    const int intIdx = paramIndex(board.model.channelParams, "TripInt");
    const int nInt = internalTripLines(int(board.channels.size()));
    const uint32_t driveInt = intIdx >= 0 ? drivenLines(paramOf(me, intIdx), nInt) : 0;
    if (driveInt)
        for (size_t o = 0; o < board.channels.size(); ++o) {
            const Channel &other = board.channels[o];
            if (int(o) != channel && !other.tripped && (listenedLines(paramOf(other, intIdx), nInt) & driveInt))
                out.emplace_back(&board, int(o));
        }

    const int extIdx = paramIndex(board.model.channelParams, "TripExt");
    const uint32_t driveExt = extIdx >= 0 ? drivenLines(paramOf(me, extIdx), kExternalLines) : 0;
    if (driveExt)
        for (auto &bp : sys.slots) {
            if (!bp)
                continue;
            const int idx = paramIndex(bp->model.channelParams, "TripExt");
            if (idx < 0)
                continue;
            for (size_t o = 0; o < bp->channels.size(); ++o) {
                const Channel &other = bp->channels[o];
                if ((bp.get() == &board && int(o) == channel) || other.tripped || listed(bp.get(), int(o)))
                    continue;
                if (listenedLines(paramOf(other, idx), kExternalLines) & driveExt)
                    out.emplace_back(bp.get(), int(o));
            }
        }
    return out;
}

} // namespace vhw

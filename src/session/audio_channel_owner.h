#pragma once
// The selected audio channel belongs to the main window; the session asks
// it about every audio frame. Called from the receive thread.

#include <cstdint>

namespace kalix::session {

class AudioChannelOwner {
public:
    virtual ~AudioChannelOwner() = default;
    // Re-checks the selection against the mask of the latest audio frame
    // and returns it (-1: none).
    virtual int recheck(std::uint32_t mask) = 0;
    // The session chose for a selection of -1 (the lowest channel of a
    // frame), or the recorder's audio went off (-1).
    virtual void select(int channel) = 0;
    virtual int selected() const = 0;
};

}  // namespace kalix::session

#pragma once
// The SoundOutput on SDL2's default output device. SDL pulls the sound in
// small pieces from its own thread; the ring's play cursor is what those
// pulls have taken, and block ends and the stop are raised from there.

#include <memory>

#include "media/audio/sound_output.h"

namespace kalix::media {

// Whether the default output device can be opened at all (the check made
// once at start-up: without it no audio player is created).
bool sdlSoundOutputPresent();

std::unique_ptr<SoundOutput> makeSdlSoundOutput();

}  // namespace kalix::media

#pragma once
// Sound output for commands that play or talk without a sound card.

#include <functional>
#include <memory>

#include "media/audio/sound_output.h"

namespace kalix::cli {

// The sound still has to be played somewhere: SDL's dummy output takes it
// at the real rate, unless the caller chose a driver (SDL_AUDIODRIVER).
std::function<std::unique_ptr<media::SoundOutput>()> headlessSoundOutput();

}  // namespace kalix::cli

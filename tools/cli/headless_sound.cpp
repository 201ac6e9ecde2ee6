#include "cli/headless_sound.h"

#include <cstdlib>

#include "media/audio/sdl_sound_output.h"

namespace kalix::cli {

std::function<std::unique_ptr<media::SoundOutput>()> headlessSoundOutput() {
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    return [] { return media::makeSdlSoundOutput(); };
}

}  // namespace kalix::cli

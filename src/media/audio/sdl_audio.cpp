#include "media/audio/sdl_audio.h"

#include <mutex>

namespace kalix::media {
namespace {

// SDL's subsystem counting is not thread-safe; every reference goes
// through here.
std::mutex& subsystemMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

SdlAudioSubsystem::SdlAudioSubsystem() {
    std::lock_guard lock(subsystemMutex());
    ok_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

SdlAudioSubsystem::~SdlAudioSubsystem() {
    if (!ok_) return;
    std::lock_guard lock(subsystemMutex());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlAudioDevice::open(SdlDirection direction, const SDL_AudioSpec& wanted) {
    reset();
    SDL_AudioSpec obtained{};
    id_ = SDL_OpenAudioDevice(nullptr, direction == SdlDirection::Capture ? 1 : 0, &wanted,
                              &obtained, 0);
    return id_ != 0;
}

void SdlAudioDevice::reset() {
    if (id_ != 0) SDL_CloseAudioDevice(id_);
    id_ = 0;
}

}  // namespace kalix::media

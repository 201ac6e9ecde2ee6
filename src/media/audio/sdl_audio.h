#pragma once
// Owners of SDL's audio subsystem and of one opened SDL audio device. Kept
// out of the media headers' users: only the SDL backends include this.

#include <SDL.h>

#include <cstdint>

namespace kalix::media {

// One reference on SDL's audio subsystem (SDL counts them). The driver is
// chosen when the first reference is taken (SDL_AUDIODRIVER).
class SdlAudioSubsystem {
public:
    SdlAudioSubsystem();
    ~SdlAudioSubsystem();
    SdlAudioSubsystem(const SdlAudioSubsystem&) = delete;
    SdlAudioSubsystem& operator=(const SdlAudioSubsystem&) = delete;

    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

enum class SdlDirection : std::uint8_t { Output = 1, Capture };

// An opened device, closed once. SDL_CloseAudioDevice waits for a running
// callback to return, so after reset() the callback's userdata may go.
class SdlAudioDevice {
public:
    SdlAudioDevice() = default;
    ~SdlAudioDevice() { reset(); }
    SdlAudioDevice(const SdlAudioDevice&) = delete;
    SdlAudioDevice& operator=(const SdlAudioDevice&) = delete;

    // Opens the default device in exactly the wanted format (SDL converts
    // for the hardware). False with the device left closed.
    bool open(SdlDirection direction, const SDL_AudioSpec& wanted);
    void reset();

    SDL_AudioDeviceID id() const { return id_; }
    explicit operator bool() const { return id_ != 0; }

private:
    SDL_AudioDeviceID id_ = 0;
};

// Holds the device lock, which SDL also holds around every callback.
class SdlDeviceLock {
public:
    explicit SdlDeviceLock(SDL_AudioDeviceID id) : id_(id) {
        if (id_ != 0) SDL_LockAudioDevice(id_);
    }
    ~SdlDeviceLock() {
        if (id_ != 0) SDL_UnlockAudioDevice(id_);
    }
    SdlDeviceLock(const SdlDeviceLock&) = delete;
    SdlDeviceLock& operator=(const SdlDeviceLock&) = delete;

private:
    SDL_AudioDeviceID id_;
};

}  // namespace kalix::media

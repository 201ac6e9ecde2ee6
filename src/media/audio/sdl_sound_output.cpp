#include "media/audio/sdl_sound_output.h"

#include <cstddef>

#include "media/audio/sdl_audio.h"
#include "media/audio/sound_ring.h"

namespace kalix::media {
namespace {

// 256 frames (32 ms at 8 kHz) per pull: block ends are seen within that.
constexpr Uint16 kPullFrames = 256;

SDL_AudioSpec wantedSpec(const PcmFormat& format, SDL_AudioCallback callback, void* userdata) {
    SDL_AudioSpec spec{};
    spec.freq = format.sample_rate;
    spec.format = AUDIO_S16LSB;
    spec.channels = static_cast<Uint8>(format.channels);
    spec.samples = kPullFrames;
    spec.callback = callback;
    spec.userdata = userdata;
    return spec;
}

void silence(void*, Uint8* stream, int len) {
    if (len > 0) SDL_memset(stream, 0, static_cast<std::size_t>(len));
}

class SdlSoundOutput final : public SoundOutput {
public:
    ~SdlSoundOutput() override { device_.reset(); }

    bool open(const PcmFormat& format, std::size_t block_bytes,
              SoundOutputEvents& events) override {
        device_.reset();
        if (!subsystem_.ok() || format.bits != 16 || format.channels < 1 || format.channels > 8)
            return false;
        if (!ring_.allocate(block_bytes)) return false;
        events_ = &events;
        if (!device_.open(SdlDirection::Output, wantedSpec(format, &SdlSoundOutput::pull, this)))
            return false;
        // The device runs from now on; it plays silence until play().
        SDL_PauseAudioDevice(device_.id(), 0);
        return true;
    }

    bool write(std::size_t offset, std::span<const std::uint8_t> data) override {
        if (!device_) return false;
        SdlDeviceLock lock(device_.id());
        return ring_.write(offset, data);
    }

    bool zero() override {
        if (!device_) return false;
        SdlDeviceLock lock(device_.id());
        ring_.zero();
        return true;
    }

    void setPlayPosition(std::size_t offset) override {
        SdlDeviceLock lock(device_.id());
        ring_.setPosition(offset);
    }
    void play() override {
        SdlDeviceLock lock(device_.id());
        ring_.play();
    }
    void stop() override {
        SdlDeviceLock lock(device_.id());
        ring_.stop();
    }
    std::size_t playPosition() const override {
        SdlDeviceLock lock(device_.id());
        return ring_.position();
    }
    // What SDL has pulled is out of our hands: writing beyond it is safe.
    std::size_t writeCursor() const override { return playPosition(); }

private:
    // SDL's audio thread, with the device lock held.
    static void pull(void* userdata, Uint8* stream, int len) {
        auto& self = *static_cast<SdlSoundOutput*>(userdata);
        if (len <= 0) return;
        const auto consumed = self.ring_.consume({stream, static_cast<std::size_t>(len)});
        for (std::size_t i = 0; i < consumed.block_ends; ++i)
            self.events_->soundNotice(SoundNotice::BlockEnd);
        if (consumed.stopped) self.events_->soundNotice(SoundNotice::Stopped);
    }

    SdlAudioSubsystem subsystem_;  // outlives the device
    // -- guarded by the SDL device lock once the device is open --
    SoundRing ring_;
    SoundOutputEvents* events_ = nullptr;
    SdlAudioDevice device_;
};

}  // namespace

bool sdlSoundOutputPresent() {
    SdlAudioSubsystem subsystem;
    if (!subsystem.ok()) return false;
    SdlAudioDevice probe;
    return probe.open(SdlDirection::Output, wantedSpec(kVoiceFormat, &silence, nullptr));
}

std::unique_ptr<SoundOutput> makeSdlSoundOutput() { return std::make_unique<SdlSoundOutput>(); }

}  // namespace kalix::media

#include <SDL.h>

#include <algorithm>
#include <array>
#include <atomic>

#include "media/audio/sdl_audio.h"
#include "media/audio/sound_in.h"

namespace kalix::media {
namespace {

// SDL may hand over pieces of any size; they are gathered into whole
// capture buffers here.
class SdlSoundIn final : public SoundIn {
public:
    ~SdlSoundIn() override { stop(); }

    bool start(CaptureSink& sink) override {
        stop();
        if (!subsystem_.ok()) return false;
        sink_ = &sink;
        filled_ = 0;
        SDL_AudioSpec wanted{};
        wanted.freq = 8000;
        wanted.format = AUDIO_S16LSB;
        wanted.channels = 2;
        wanted.samples = static_cast<Uint16>(kCaptureFrames);
        wanted.callback = &SdlSoundIn::take;
        wanted.userdata = this;
        if (!device_.open(SdlDirection::Capture, wanted)) return false;
        SDL_PauseAudioDevice(device_.id(), 0);
        return true;
    }

    void stop() override { device_.reset(); }

private:
    // SDL's capture thread.
    static void take(void* userdata, Uint8* stream, int len) {
        auto& self = *static_cast<SdlSoundIn*>(userdata);
        std::size_t left = len > 0 ? static_cast<std::size_t>(len) : 0;
        while (left > 0) {
            const std::size_t n = std::min(left, kCaptureBufferBytes - self.filled_);
            std::copy_n(stream, n, self.buffer_.begin() + static_cast<std::ptrdiff_t>(self.filled_));
            stream += n;
            left -= n;
            self.filled_ += n;
            if (self.filled_ == kCaptureBufferBytes) {
                self.filled_ = 0;
                self.sink_->captured(self.buffer_);
            }
        }
    }

    SdlAudioSubsystem subsystem_;
    // -- capture thread, or any thread while the device is closed --
    CaptureSink* sink_ = nullptr;
    std::array<std::uint8_t, kCaptureBufferBytes> buffer_{};
    std::size_t filled_ = 0;
    SdlAudioDevice device_;
};

}  // namespace

std::unique_ptr<SoundIn> makeSdlSoundIn() { return std::make_unique<SdlSoundIn>(); }

}  // namespace kalix::media

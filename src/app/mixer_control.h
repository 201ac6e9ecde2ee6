#pragma once
// The speakers' volume and mute as the main window sees them. The front
// end hands over the ALSA mixer; tests hand over a double.

#include <cstdint>

#include "media/audio/speaker_mixer.h"

namespace kalix::app {

class MixerControl {
public:
    virtual ~MixerControl() = default;
    virtual std::int32_t volume() const = 0;  // -1: no volume control
    virtual bool setVolume(std::uint32_t level) = 0;
    virtual bool muted() const = 0;
    virtual bool setMuted(bool muted) = 0;
};

class SpeakerMixerControl final : public MixerControl {
public:
    explicit SpeakerMixerControl(media::SpeakerMixer& mixer) : mixer_(mixer) {}
    std::int32_t volume() const override { return mixer_.volume(); }
    bool setVolume(std::uint32_t level) override { return mixer_.setVolume(level); }
    bool muted() const override { return mixer_.muted(); }
    bool setMuted(bool muted) override { return mixer_.setMuted(muted); }

private:
    media::SpeakerMixer& mixer_;
};

}  // namespace kalix::app

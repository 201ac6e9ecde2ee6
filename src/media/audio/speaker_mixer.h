#pragma once
// Master volume and mute of the speakers: the ALSA simple-mixer element
// "Master" of card "default". The main window keeps the operator's settings
// at start-up, switches mute off, and puts both back at shutdown.
//
// Failure values: volume() is -1 when there is no volume control (no card,
// no element, mixer not open) and 0 when reading it fails; setVolume() is
// false only when there is no volume control; muted() is false on any
// failure; setMuted() is true only when the switch was set.

#include <cstdint>
#include <memory>
#include <string>

namespace kalix::media {

inline constexpr std::uint32_t kMixerFullScale = 65535;

// Maps between our 0-65535 scale and an element's raw range [min, max],
// rounding to the nearest step. An empty or reversed range maps everything
// to min / 0.
std::int64_t mixerRawFromLevel(std::uint32_t level, std::int64_t min, std::int64_t max);
std::uint32_t mixerLevelFromRaw(std::int64_t raw, std::int64_t min, std::int64_t max);

class SpeakerMixer {
public:
    SpeakerMixer();
    ~SpeakerMixer();
    SpeakerMixer(const SpeakerMixer&) = delete;
    SpeakerMixer& operator=(const SpeakerMixer&) = delete;

    bool open(const std::string& card = "default", const std::string& element = "Master");
    void close();
    bool isOpen() const;

    std::int32_t volume() const;
    bool setVolume(std::uint32_t level);
    bool muted() const;
    bool setMuted(bool muted);

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
};

}  // namespace kalix::media

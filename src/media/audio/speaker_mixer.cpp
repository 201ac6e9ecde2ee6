#include "media/audio/speaker_mixer.h"

#include <alsa/asoundlib.h>

#include <algorithm>

namespace kalix::media {
namespace {

// ALSA prints every failure to standard error by default; a PC without a
// sound card is an ordinary case for us, reported through return values.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

class QuietAlsaErrors {
public:
    QuietAlsaErrors() { snd_lib_error_set_handler(&quietAlsa); }
    ~QuietAlsaErrors() { snd_lib_error_set_handler(nullptr); }
    QuietAlsaErrors(const QuietAlsaErrors&) = delete;
    QuietAlsaErrors& operator=(const QuietAlsaErrors&) = delete;
};

struct MixerCloser {
    void operator()(snd_mixer_t* mixer) const { snd_mixer_close(mixer); }
};
using MixerPtr = std::unique_ptr<snd_mixer_t, MixerCloser>;

struct SelemIdFree {
    void operator()(snd_mixer_selem_id_t* id) const { snd_mixer_selem_id_free(id); }
};
using SelemIdPtr = std::unique_ptr<snd_mixer_selem_id_t, SelemIdFree>;

}  // namespace

std::int64_t mixerRawFromLevel(std::uint32_t level, std::int64_t min, std::int64_t max) {
    if (max <= min) return min;
    const std::int64_t clamped = std::min<std::int64_t>(level, kMixerFullScale);
    return min + (clamped * (max - min) + kMixerFullScale / 2) / kMixerFullScale;
}

std::uint32_t mixerLevelFromRaw(std::int64_t raw, std::int64_t min, std::int64_t max) {
    if (max <= min) return 0;
    const std::int64_t clamped = std::clamp(raw, min, max);
    const std::int64_t span = max - min;
    return static_cast<std::uint32_t>(((clamped - min) * kMixerFullScale + span / 2) / span);
}

struct SpeakerMixer::Handle {
    MixerPtr mixer;
    snd_mixer_elem_t* element = nullptr;  // owned by the mixer
};

SpeakerMixer::SpeakerMixer() = default;
SpeakerMixer::~SpeakerMixer() = default;

bool SpeakerMixer::open(const std::string& card, const std::string& element) {
    close();
    QuietAlsaErrors quiet;
    snd_mixer_t* raw = nullptr;
    if (snd_mixer_open(&raw, 0) < 0 || raw == nullptr) return false;
    MixerPtr mixer(raw);
    if (snd_mixer_attach(mixer.get(), card.c_str()) < 0) return false;
    if (snd_mixer_selem_register(mixer.get(), nullptr, nullptr) < 0) return false;
    if (snd_mixer_load(mixer.get()) < 0) return false;

    snd_mixer_selem_id_t* raw_id = nullptr;
    if (snd_mixer_selem_id_malloc(&raw_id) < 0 || raw_id == nullptr) return false;
    SelemIdPtr id(raw_id);
    snd_mixer_selem_id_set_index(id.get(), 0);
    snd_mixer_selem_id_set_name(id.get(), element.c_str());
    snd_mixer_elem_t* found = snd_mixer_find_selem(mixer.get(), id.get());
    if (found == nullptr) return false;

    handle_ = std::make_unique<Handle>();
    handle_->mixer = std::move(mixer);
    handle_->element = found;
    return true;
}

void SpeakerMixer::close() { handle_.reset(); }

bool SpeakerMixer::isOpen() const { return handle_ != nullptr; }

std::int32_t SpeakerMixer::volume() const {
    if (!handle_ || !snd_mixer_selem_has_playback_volume(handle_->element)) return -1;
    long min = 0;
    long max = 0;
    long raw = 0;
    if (snd_mixer_selem_get_playback_volume_range(handle_->element, &min, &max) < 0) return 0;
    // One value for all channels: the first channel speaks for them.
    if (snd_mixer_selem_get_playback_volume(handle_->element, SND_MIXER_SCHN_FRONT_LEFT, &raw) < 0)
        return 0;
    return static_cast<std::int32_t>(mixerLevelFromRaw(raw, min, max));
}

bool SpeakerMixer::setVolume(std::uint32_t level) {
    if (!handle_ || !snd_mixer_selem_has_playback_volume(handle_->element)) return false;
    long min = 0;
    long max = 0;
    if (snd_mixer_selem_get_playback_volume_range(handle_->element, &min, &max) < 0) return true;
    snd_mixer_selem_set_playback_volume_all(
        handle_->element, static_cast<long>(mixerRawFromLevel(level, min, max)));
    return true;
}

bool SpeakerMixer::muted() const {
    if (!handle_ || !snd_mixer_selem_has_playback_switch(handle_->element)) return false;
    int on = 1;
    if (snd_mixer_selem_get_playback_switch(handle_->element, SND_MIXER_SCHN_FRONT_LEFT, &on) < 0)
        return false;
    return on == 0;  // the switch is "sound on"
}

bool SpeakerMixer::setMuted(bool muted) {
    if (!handle_ || !snd_mixer_selem_has_playback_switch(handle_->element)) return false;
    return snd_mixer_selem_set_playback_switch_all(handle_->element, muted ? 0 : 1) >= 0;
}

}  // namespace kalix::media

#pragma once
// Local playback as the main window owns it: the local player, its sixteen
// channel decoders drawing on the wall, and what the window reads of it
// (slider, time display, speed) on its 100 ms tick. The player thread only
// stores values here; nothing it does touches a window.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/audio/sound_stream.h"
#include "media/video/channel_decoder.h"
#include "media/video/video_wall.h"
#include "player/local_player.h"

namespace kalix::app {

// An event of the local event list, as the event-jump bar walks it.
struct JumpEvent {
    protocol::RecorderTime time = 0;
    protocol::RecorderTime time2 = 0;
    std::uint32_t number = 0;  // running number within its kind
};

enum class JumpWay : std::uint8_t { Previous, Next };

// The event to jump to from the current frame time: the nearest earlier
// running number (previous) or later one (next), counted from the last
// event at or before `now`. Before every event, "next" is the first one.
std::optional<std::size_t> eventJumpTarget(const std::vector<JumpEvent>& events, protocol::RecorderTime now,
                                           JumpWay way);

struct LocalStatus {
    player::Command state = player::Command::None;
    int speed = 0;  // as shown
    protocol::RecorderTime time = 0;
    std::uint32_t slider_range = 0;
    std::uint32_t slider_position = 0;
    std::uint32_t channel_mask = 0;
    bool running = false;
};

// Sound of local playback: played at speed 1 when the segment has audio,
// the operator wants sound and the PC has an output.
struct LocalSound {
    std::function<std::unique_ptr<media::SoundOutput>()> make_output{};  // none: silent
    std::uint8_t audio_buf = 2;  // the local-playback AudioBuf setting
    bool wanted = false;         // the main window's audio flag at the start
};

class LocalPlayback {
public:
    LocalPlayback(player::Catalogue catalogue, media::VideoWall& wall, LocalSound sound = {});
    ~LocalPlayback();  // stops the player, then the decoders
    LocalPlayback(const LocalPlayback&) = delete;
    LocalPlayback& operator=(const LocalPlayback&) = delete;

    void start(const player::PlayerStart& start);
    void command(player::Command command) { player_->command(command); }
    void sliderGrabbed() { player_->sliderGrabbed(); }
    void seek(std::uint32_t position) { player_->seek(position); }
    void stop();

    LocalStatus status() const;
    std::string currentPath() const { return player_->currentPath(); }
    const player::Catalogue& catalogue() const { return player_->catalogue(); }

private:
    class Output;
    std::unique_ptr<Output> output_;
    std::unique_ptr<player::LocalPlayer> player_;
};

}  // namespace kalix::app

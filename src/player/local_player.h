#pragma once
// The local player: a thread that reads the units of archive pairs
// forwards or backwards at a chosen speed, paces them by their frame times
// and hands pictures to the channel decoders and sound blocks to the audio
// player, through a PlayerOutput.
//
// Threads: the owner's thread (the user-interface thread, kalix-cli's main
// loop) gives commands, seeks and stops; the player thread does everything
// else and is the only caller of the output. A command wakes a pacing wait
// at once. State, speed and the seek request change together under
// control_mutex_; the thread reads them as atomics.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "media/frame_formats.h"
#include "player/play_segment.h"
#include "player/player_commands.h"
#include "player/reverse_gops.h"
#include "player/vid_reader.h"

namespace kalix::player {

// At most this many pictures wait in a channel's queue while the player
// plays forwards or backwards; it waits for the decoder rather than drop.
inline constexpr std::size_t kQueueLimit = 10;
// A frame due later than this is shown after it and the clock rebased.
inline constexpr std::chrono::milliseconds kRebaseAfter{3000};

enum class PauseCause : std::uint8_t {
    Command = 1,  // the operator paused
    End,          // nothing more to play in this direction
    StepDone,     // a step has shown its frames
    Damage,       // the pair is damaged where the player reads
    Watermark,    // a picture's watermark does not match its contents
};

// The watermark of a picture's payload: the bytes at 0, p1, p2, … added
// in 16 bits, each step moving on by (byte & 7) × 2 + 2.
std::uint16_t watermarkSum(std::span<const std::uint8_t> payload);

// Where the player's results go. Every call comes from the player thread.
class PlayerOutput {
public:
    virtual ~PlayerOutput() = default;

    virtual void started() {}
    // The position slider spans one stretch; positions are seconds from its start.
    virtual void stretchChanged(protocol::RecorderTime range_start, protocol::RecorderTime range_end) {
        (void)range_start, (void)range_end;
    }
    virtual void sliderMoved(std::uint32_t position) { (void)position; }
    virtual void timeShown(protocol::RecorderTime time) { (void)time; }
    // The wall's panes (4, 9 or 16) for the segment's highest channel, and its mask.
    virtual void channelsChanged(int panes, std::uint32_t video_mask) { (void)panes, (void)video_mask; }
    virtual bool channelVisible(int channel) { return channel >= 0; }

    // False when `stop` came first.
    virtual bool waitForRoom(int channel, std::size_t limit, std::stop_token stop) = 0;
    virtual void queueFrame(media::FrameItem item, const Unit& unit, const std::string& vid_path) = 0;

    // Sound: the main window's audio flag, the player's AudioPlayer.
    virtual bool audioWanted() { return false; }
    virtual bool audioRunning() { return false; }
    virtual void startAudio() {}
    virtual void stopAudio() {}
    virtual int selectedAudioChannel() { return -1; }
    virtual void selectAudioChannel(int channel) { (void)channel; }
    virtual void queueAudio(const media::AudioBlock& block) { (void)block; }
    // Every audio unit the player hands on (speeds 1 and 11).
    virtual void audioUnit(const Unit& unit, const std::string& vid_path) { (void)unit, (void)vid_path; }

    // A channel's watermark state for the wall: −1 unchecked, 0 none, 1 checked, 2 mismatch.
    virtual void watermarkState(int channel, int state) { (void)channel, (void)state; }
    virtual void paused(PauseCause cause) { (void)cause; }
    virtual void damage(const std::string& vid_path, std::uint32_t offset, const std::string& reason) {
        (void)vid_path, (void)offset, (void)reason;
    }
    virtual void ended() {}
};

enum class Pacing : std::uint8_t {
    FrameTimes = 1,  // wait until each frame is due
    None,            // hand on as fast as the decoders take (no frame is lost)
};

struct PlayerStart {
    std::size_t segment = 0;                // the catalogue's starting segment
    Command first = Command::Forward;       // 3, 2, 10, 11 or 4 (paused at the start frame)
    int speed = 1;                          // 1 … 6 forwards, −2 … −6 backwards
    Pacing pacing = Pacing::FrameTimes;
    std::chrono::milliseconds start_delay{200};
    // Backward play shows every picture: each group is decoded forwards
    // and shown backwards (the desktop). Off, it shows the key frames only.
    bool every_picture_backwards = false;
    // At speed 1, check the watermark of every picture that carries one
    // and pause at a mismatch (the local setup's Watermark setting).
    bool watermark_check = false;
};

// Every picture backwards only while a segment has at most this many
// channels: the decoders hold a group of pictures per channel.
inline constexpr int kEveryPictureChannels = 4;

class LocalPlayer {
public:
    LocalPlayer(Catalogue catalogue, PlayerOutput& output);
    ~LocalPlayer();  // stops and joins
    LocalPlayer(const LocalPlayer&) = delete;
    LocalPlayer& operator=(const LocalPlayer&) = delete;

    void start(const PlayerStart& start);
    void command(Command command);
    // The position slider: grabbed (1), dragging (2), released at a position.
    void sliderGrabbed();
    void sliderDragging();
    void seek(std::uint32_t position);
    void stop();

    bool running() const { return running_.load(); }
    Command state() const { return state_.load(); }
    int speed() const { return speed_.load(); }
    int displayedSpeed() const { return player::displayedSpeed(state_.load(), speed_.load()); }
    protocol::RecorderTime currentTime() const { return current_time_.load(); }
    std::uint32_t channelMask() const { return channel_mask_.load(); }
    std::uint64_t framesHandedOn() const { return frames_.load(); }
    const Catalogue& catalogue() const { return catalogue_; }
    // The .vid of the segment being played.
    std::string currentPath() const;

private:
    enum class Step : std::uint8_t { Unit, Skip, Reopen, Damage, Stopped };
    enum class StepFrame : std::uint8_t { Passed, Shown, Repeated };

    void run(std::stop_token stop);
    void applyLocked(Command command);
    void internalCommand(Command command, PauseCause cause);
    bool openSegment(bool first);
    void forwardIteration(std::stop_token stop);
    void backwardIteration(std::stop_token stop);
    void stepForwardIteration(std::stop_token stop);
    void stepBackwardIteration(std::stop_token stop);
    Step stepSeek();
    StepFrame stepFrame();
    Step readForward();
    Step readAt(std::uint32_t offset);
    Step readBackward();
    Step movedSliderPos();
    bool seekPending() const { return seek_state_.load() > 2; }
    bool goPrevious(bool within_stretch);
    void handOn(std::stop_token stop, Command state);
    void handVideo(std::stop_token stop, const Unit& unit, Command state, media::HoldRole role, std::uint64_t id);
    bool everyPictureBackwards(Command state) const;
    void checkWatermark(const media::VideoFrameHeader& h);
    bool showHeld(std::stop_token stop);
    void leaveGroups(bool keep_place);
    void reportDamage(std::uint32_t offset, const std::string& reason);
    void wait(std::stop_token stop, std::uint64_t frame_ms);

    const Catalogue catalogue_;
    PlayerOutput& output_;

    std::mutex control_mutex_;
    std::condition_variable_any control_changed_;
    // -- written under control_mutex_, read by the player thread --
    std::atomic<Command> state_{Command::None};
    std::atomic<int> speed_{0};
    std::atomic<int> seek_state_{0};  // 0 none, 1 grabbed, 2 dragging, 3 released, 4 seeking
    std::atomic<protocol::RecorderTime> seek_target_{0};
    std::atomic<bool> restart_timing_{false};
    std::atomic<bool> stop_audio_{false};
    std::atomic<bool> clear_step_mask_{false};
    std::atomic<std::uint64_t> control_serial_{0};

    std::atomic<bool> running_{false};
    std::atomic<protocol::RecorderTime> current_time_{0};
    std::atomic<std::uint32_t> channel_mask_{0};
    std::atomic<std::uint64_t> frames_{0};
    std::atomic<protocol::RecorderTime> range_start_{0};

    mutable std::mutex path_mutex_;
    std::string current_path_;  // -- guarded by path_mutex_ --

    // -- player thread only --
    PlayerStart start_;
    std::size_t segment_ = 0;
    PairReader reader_;
    std::uint32_t pos_ = 0;
    Unit current_;
    bool have_current_ = false;
    std::optional<std::uint32_t> next_back_;  // the next backward read, instead of the link
    bool first_open_ = true;
    bool rebase_ = false;
    bool after_seek_ = false;
    int seek_direction_ = 0;
    protocol::RecorderTime range_end_ = 0;
    int last_high_channel_ = -1;
    std::uint32_t epoch_ = 0;
    std::uint32_t step_mask_ = 0;
    std::array<unsigned, 16> key_counters_{};
    std::int64_t base_ms_ = 0;
    std::chrono::steady_clock::time_point base_tick_{};
    std::int64_t due_ms_ = 0;
    std::vector<std::uint8_t> buffer_;
    ReverseGops gops_;
    std::optional<Unit> last_shown_;  // the held picture last shown, of the open .vid

    std::jthread thread_;  // last: joined before the rest goes
};

}  // namespace kalix::player

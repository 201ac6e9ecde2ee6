#pragma once
// The SoundStream: a ring of 16 blocks on a SoundOutput, written one block
// at a time, with a notification thread that keeps the writer and the
// player apart.
//
// Positions: the write position is where the next block goes; the player
// laps P count the times the ring played to its end, the writer laps W the
// times the write position wrapped to 0. At every block end the lap and
// cursor rules decide whether playback has drifted too far from the writer;
// if so the stream resets, and the next write starts playing again at the
// block it writes. The alternate mode (remote playback running when the
// stream was made) clears the ring on every restart and resets at least
// every 30 seconds.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <stop_token>
#include <thread>

#include "media/audio/sound_output.h"

namespace kalix::media {

enum class StreamMode : std::uint8_t { Normal = 1, Alternate };

inline constexpr std::chrono::milliseconds kAlternateResetInterval{30'000};

// The write and check rules, without a thread or a lock: the SoundStream
// runs them under its lock; tests run them on a simulated clock.
class SoundStreamState {
public:
    using Clock = std::chrono::steady_clock;

    SoundStreamState(SoundOutput& output, StreamMode mode, std::size_t block_bytes);

    // Writes one block (exactly the block size). False, with nothing
    // changed, for a wrong size or when the output refuses the write.
    bool write(std::span<const std::uint8_t> block);

    // Runs the checks for one notice; true when they reset the stream.
    // `reference` is the alternate mode's shared reference time.
    bool onNotice(SoundNotice notice, Clock::time_point now, Clock::time_point& reference);

    // Stops playing, rewinds, empties the ring (remote playback's clear).
    void clear();

    std::size_t blockBytes() const { return block_; }
    std::size_t ringBytes() const { return ring_; }
    std::size_t writePosition() const { return write_pos_; }
    std::uint64_t playerLaps() const { return player_laps_; }
    std::uint64_t writerLaps() const { return writer_laps_; }
    bool restarting() const { return restart_; }
    std::uint64_t resets() const { return resets_; }
    // Of those resets, the ones where the player had caught up with the
    // writer (an underrun: it would have played stale or silent bytes).
    // The others resynchronise a writer running ahead, or are the
    // alternate mode's periodic reset.
    std::uint64_t underruns() const { return underruns_; }

private:
    enum class Drift : std::uint8_t { None, Starved, Ahead };
    Drift drifted(Clock::time_point now, Clock::time_point& reference) const;
    void reset();

    SoundOutput& output_;
    const StreamMode mode_;
    const std::size_t block_;
    const std::size_t ring_;
    std::size_t write_pos_ = 0;
    std::uint64_t player_laps_ = 0;
    std::uint64_t writer_laps_ = 0;
    bool restart_ = true;
    bool lead_in_ = false;  // playback (normal mode) began a block early
    std::uint64_t resets_ = 0;
    std::uint64_t underruns_ = 0;
};

class SoundStream final : private SoundOutputEvents {
public:
    SoundStream(std::unique_ptr<SoundOutput> output, StreamMode mode);
    ~SoundStream() override;
    SoundStream(const SoundStream&) = delete;
    SoundStream& operator=(const SoundStream&) = delete;

    // Opens the output with a ring of 16 × block_bytes and starts the
    // notification thread. False: the stream stays silent and every write
    // fails (the caller still consumes its blocks).
    bool initialise(const PcmFormat& format, std::size_t block_bytes);
    bool ready() const;

    bool writeBlock(std::span<const std::uint8_t> block);
    void clear();

    // Stops the notification thread; the stream is silent afterwards.
    void stopThread();

    struct Snapshot {
        std::size_t write_position = 0;
        std::uint64_t player_laps = 0;
        std::uint64_t writer_laps = 0;
        bool restarting = true;
        std::uint64_t resets = 0;
        std::uint64_t underruns = 0;
    };
    Snapshot snapshot() const;

private:
    void soundNotice(SoundNotice notice) override;
    void notificationLoop(std::stop_token stop);

    std::unique_ptr<SoundOutput> output_;
    const StreamMode mode_;

    // Lock order: lock_, then the output's own lock, then notice_mutex_.
    // -- guarded by lock_ --
    mutable std::mutex lock_;
    std::unique_ptr<SoundStreamState> state_;

    // The two auto-reset events: a block ended, the ring played out.
    // -- guarded by notice_mutex_ --
    std::mutex notice_mutex_;
    std::condition_variable_any notice_ready_;
    bool block_end_ = false;
    bool stopped_ = false;

    std::jthread thread_;
};

}  // namespace kalix::media

#pragma once
// The audio player: a thread that gathers the selected channel's audio
// blocks into batches, decodes each batch with its own G.726 decoder and
// writes it to its SoundStream as one block of the ring.
//
// The batch size is the operator's latency setting: N = 4 × AudioBuf + 32
// blocks of 48 bytes (AudioBuf slot 1 for live view, 2 for remote playback,
// 3 for local playback). A batch of N blocks is N × 128 values, N × 256
// bytes of PCM, and the ring holds 16 batches.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include "media/frame_formats.h"
#include "media/audio/g726.h"
#include "media/audio/sound_stream.h"

namespace kalix::media {

inline constexpr std::size_t kAudioBlockBytes = kAudioBlockSize;  // one block: frame_formats.h
inline constexpr std::size_t kAudioBlockValues = g726SampleCount(kAudioBlockBytes);  // 128
inline constexpr std::size_t kAudioBlockPcmBytes = kAudioBlockValues * 2;            // 256

constexpr std::size_t audioBatchBlocks(std::uint8_t audio_buf) {
    return 4 * std::size_t{audio_buf} + 32;
}

// Where the player takes its blocks from: the session's audio block queue
// (guarded by its own lock, waking the consumer on every append) implements
// this; tests use a plain queue.
class AudioBlockSource {
public:
    virtual ~AudioBlockSource() = default;
    // The oldest block, waiting until one is queued; nothing once `stop` is
    // requested.
    virtual std::optional<AudioBlock> pop(std::stop_token stop) = 0;
    virtual std::size_t size() const = 0;
};

enum class PlayerStop : std::uint8_t {
    Drain = 1,  // live view: first wait until the queue holds no block
    Immediate,
};

// How long a draining stop waits for the queue to empty before it stops
// anyway (a producer that never stops must not hang the caller).
inline constexpr std::chrono::seconds kPlayerDrainLimit{5};
// The pause after the first batch, which lets playback start before the
// second batch is written.
inline constexpr std::chrono::milliseconds kFirstBatchPause{100};

class AudioPlayer {
public:
    // Nothing when there is no output (the PC has no sound output device):
    // audio blocks then find no player and are dropped. An output that
    // fails to open leaves a silent player that still consumes its blocks.
    // `source` must outlive the player.
    static std::unique_ptr<AudioPlayer> create(AudioBlockSource& source, std::uint8_t audio_buf,
                                               std::unique_ptr<SoundOutput> output,
                                               StreamMode mode = StreamMode::Normal);
    ~AudioPlayer();
    AudioPlayer(const AudioPlayer&) = delete;
    AudioPlayer& operator=(const AudioPlayer&) = delete;

    void stop(PlayerStop how);

    // Discard on: every block taken is dropped together with the batch
    // being gathered, the batch counter restarts and the stream is cleared.
    void setDiscard(bool on);
    bool discarding() const { return discard_.load(); }

    std::size_t batchBlocks() const { return batch_blocks_; }
    std::uint32_t batchCount() const { return batch_count_.load(); }
    std::uint64_t blocksTaken() const { return blocks_taken_.load(); }
    bool running() const { return running_.load(); }
    SoundStream& stream() { return stream_; }

private:
    struct Key {};  // only create() makes players

public:
    AudioPlayer(Key, AudioBlockSource& source, std::uint8_t audio_buf,
                std::unique_ptr<SoundOutput> output, StreamMode mode);

private:
    void run(std::stop_token stop);
    void writeBatch(std::stop_token stop, std::span<const std::uint8_t> coded);
    void wakeDrain();

    AudioBlockSource& source_;
    const std::size_t batch_blocks_;
    SoundStream stream_;

    std::atomic<bool> discard_{false};
    std::atomic<bool> drop_batch_{false};  // set with discard: the batch in hand goes too
    std::atomic<std::uint32_t> batch_count_{0};
    std::atomic<std::uint64_t> blocks_taken_{0};
    std::atomic<bool> running_{false};

    // Wakes a draining stop each time the thread takes a block.
    std::mutex progress_mutex_;
    std::condition_variable progress_;

    // -- player thread only --
    G726Decoder decoder_;
    std::vector<std::int16_t> values_;
    std::vector<std::uint8_t> pcm_;

    std::jthread thread_;
};

}  // namespace kalix::media

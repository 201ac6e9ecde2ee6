#pragma once
// Talking to the recorder: the microphone's buffers are G.726-coded as they
// arrive (one encoder state for the whole talk, each 8,192-byte buffer of
// 4,096 interleaved values becoming 1,536 bytes) and queued; a send thread
// takes the oldest chunk and sends it as one A_LISTEN_DATA message with
// last_fragment set, then rests 100 ms, so at most ten go out a second.
// The queue keeps the newest 200 chunks: when the link is slower than the
// microphone, the oldest sound is dropped first.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include "media/audio/g726.h"
#include "media/audio/sound_in.h"
#include "protocol/transport.h"

namespace kalix::media {

inline constexpr std::size_t kSendListLimit = 200;
inline constexpr std::size_t kTalkChunkBytes = g726PackedBytes(kCaptureBufferBytes / 2);  // 1,536
inline constexpr std::chrono::milliseconds kTalkSendInterval{100};

// The bounded list of encoded chunks between the capture and send threads.
class SendList {
public:
    explicit SendList(std::size_t limit = kSendListLimit) : limit_(limit) {}

    // Appends at the tail; a full list first drops its oldest chunk.
    void push(std::vector<std::uint8_t> chunk);
    // The oldest chunk, waiting for one; nothing once `stop` is requested.
    std::optional<std::vector<std::uint8_t>> pop(std::stop_token stop);

    std::size_t size() const;
    std::uint64_t dropped() const;

private:
    const std::size_t limit_;
    // -- guarded by mutex_ --
    mutable std::mutex mutex_;
    std::condition_variable_any ready_;
    std::deque<std::vector<std::uint8_t>> chunks_;
    std::uint64_t dropped_ = 0;
};

class MicSender final : private CaptureSink {
public:
    // Starts the send thread and capture. When capture cannot start,
    // nothing is sent (capturing() is false).
    MicSender(protocol::Connection& connection, std::unique_ptr<SoundIn> capture);
    ~MicSender() override;
    MicSender(const MicSender&) = delete;
    MicSender& operator=(const MicSender&) = delete;

    // Ends the send thread, then capture; unsent chunks are dropped.
    void stop();

    bool capturing() const { return capturing_.load(); }
    std::uint64_t chunksSent() const { return sent_.load(); }
    std::size_t pendingChunks() const { return list_.size(); }
    std::uint64_t droppedChunks() const { return list_.dropped(); }

private:
    void captured(std::span<const std::uint8_t> buffer) override;
    void sendLoop(std::stop_token stop);

    protocol::Connection& connection_;
    std::unique_ptr<SoundIn> capture_;
    SendList list_;
    std::atomic<bool> capturing_{false};
    std::atomic<std::uint64_t> sent_{0};

    // -- capture thread only --
    G726Encoder encoder_;
    std::vector<std::int16_t> values_;

    std::jthread sender_;
};

}  // namespace kalix::media

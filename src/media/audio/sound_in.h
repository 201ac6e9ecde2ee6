#pragma once
// Sound capture for talking to the recorder: whole buffers of 2,048 stereo
// frames, 16-bit little endian at 8,000 Hz (8,192 bytes), handed to a sink
// on the capture thread as they fill.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <span>

namespace kalix::media {

inline constexpr std::size_t kCaptureFrames = 2048;
inline constexpr std::size_t kCaptureBufferBytes = kCaptureFrames * 4;  // 8,192
inline constexpr std::chrono::milliseconds kCaptureBufferDuration{256};

class CaptureSink {
public:
    virtual ~CaptureSink() = default;
    // One whole capture buffer; called on the capture thread.
    virtual void captured(std::span<const std::uint8_t> buffer) = 0;
};

class SoundIn {
public:
    virtual ~SoundIn() = default;
    // Starts delivering buffers to `sink`. False: capture does not run.
    virtual bool start(CaptureSink& sink) = 0;
    // Once it returns, the sink hears nothing more. Also done on destruction.
    virtual void stop() = 0;
};

// The default SDL2 capture device (SDL_DISKAUDIOFILEIN with the disk driver).
std::unique_ptr<SoundIn> makeSdlSoundIn();

enum class CapturePacing : std::uint8_t {
    RealTime = 1,  // one buffer every 256 ms, as a microphone delivers them
    Immediate,     // as fast as the sink takes them
};

// Raw PCM (2 channels, 8 kHz, 16-bit little endian) read from a file, from
// `offset` for at most `length` bytes (a WAV file's data chunk, say). A
// short last buffer is filled up with silence; at the end capture stops.
std::unique_ptr<SoundIn> makeFileSoundIn(
    std::filesystem::path path, CapturePacing pacing, std::uint64_t offset = 0,
    std::uint64_t length = std::numeric_limits<std::uint64_t>::max());

}  // namespace kalix::media

#pragma once
// A streaming sound output over a ring of blocks, the backend under the
// SoundStream.
//
// Contract: the output owns the ring's memory (16 blocks). It plays from the
// play position towards the end of the ring and stops there (it never loops
// by itself), raising SoundNotice::BlockEnd each time the last byte of a
// block has been consumed and SoundNotice::Stopped when it reached the end.
// Notices come from the output's own thread through SoundOutputEvents and
// must not block. All other calls may come from any thread; the output
// serialises them against its playing thread.

#include <cstddef>
#include <cstdint>
#include <span>

namespace kalix::media {

// Linear PCM as the recorder's sound is played and captured: 16-bit little
// endian, interleaved channels.
struct PcmFormat {
    int channels = 2;
    int sample_rate = 8000;
    int bits = 16;

    int blockAlign() const { return channels * bits / 8; }
    int bytesPerSecond() const { return sample_rate * blockAlign(); }
};

inline constexpr PcmFormat kVoiceFormat{};  // 2 channels, 8,000 Hz, 16 bits
inline constexpr std::size_t kRingBlocks = 16;

enum class SoundNotice : std::uint8_t { BlockEnd = 1, Stopped };

class SoundOutputEvents {
public:
    virtual ~SoundOutputEvents() = default;
    virtual void soundNotice(SoundNotice notice) = 0;
};

class SoundOutput {
public:
    virtual ~SoundOutput() = default;

    // Creates the ring of kRingBlocks × block_bytes bytes, zeroed and not
    // playing. False when the device or the ring cannot be had.
    virtual bool open(const PcmFormat& format, std::size_t block_bytes,
                      SoundOutputEvents& events) = 0;

    // Copies data into the ring at offset; false (nothing copied) when the
    // range does not lie inside the ring or the ring cannot be written.
    virtual bool write(std::size_t offset, std::span<const std::uint8_t> data) = 0;
    virtual bool zero() = 0;  // the whole ring

    virtual void setPlayPosition(std::size_t offset) = 0;
    virtual void play() = 0;
    virtual void stop() = 0;  // keeps the ring's contents and the position

    // Byte of the ring being played (the ring's size once played out), and
    // the first byte the output has not yet taken, beyond which writing is
    // safe.
    virtual std::size_t playPosition() const = 0;
    virtual std::size_t writeCursor() const = 0;
};

}  // namespace kalix::media

#pragma once
// The frame headers the recorder puts in front of every picture and every
// batch of sound, read field by field from bytes, and what we build from them.
//
// Layouts (offsets in bytes):
//
//   VideoFrameHeader, 192 bytes, in front of a remote-playback or archived
//   picture; its 32-bit fields are big-endian:
//     16 type word   24 frame time   28 payload length   32 previous link
//     40 segment key   50 event flags   51 watermark kind   52 decode-only
//     53 watermark value (le16)   92 title CRC-32   96 title (32 bytes)
//     128 EncVideoHeader
//
//   EncVideoHeader, 64 bytes, little-endian (at 128 of a VideoFrameHeader and
//   at 260 of a live video unit):
//     0 coded length bits 0-15   2 bits 0-3 coded length bits 16-19,
//     bits 6-7 frame kind   3 bit 6 carried flag   4 height / 16
//     5 width / 16   20 seconds   24 microseconds   36 bits 0-3 channel
//
//   AudioFrameHeader, 64 bytes, big-endian words:
//     16 type word   28 payload length   32 previous link
//     40 channel mask of the blocks that follow (live and playback)
//     52 channel mask used by the archive writer
//
// Bytes not named here are not interpreted; whoever stores frames keeps the
// recorder's bytes, never these parsed forms.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "protocol/message_header.h"
#include "protocol/recorder_time.h"

namespace kalix::media {

inline constexpr std::uint32_t kTypeVideo = 0x20061123;  // ENC_HEADER_TYPE_VIDEO
inline constexpr std::uint32_t kTypeAudio = 0x2518F049;  // ENC_HEADER_TYPE_AUDIO
inline constexpr std::uint32_t kTypeEventLog = 0x20100611;  // HEAD_TYPE_EVTLOG

inline constexpr std::size_t kTypeWordOffset = 16;
inline constexpr std::size_t kVideoFrameHeaderSize = 192;
inline constexpr std::size_t kEncVideoHeaderSize = 64;
inline constexpr std::size_t kEncVideoHeaderInVideoHeader = 128;
inline constexpr std::size_t kAudioFrameHeaderSize = 64;
inline constexpr std::size_t kAudioBlockSize = 48;
inline constexpr std::size_t kTitleSize = 32;
inline constexpr int kChannelCount = 16;

// A live video unit: 260 bytes we pass over, the EncVideoHeader, the picture.
inline constexpr std::size_t kLiveEncHeaderOffset = 260;
inline constexpr std::size_t kLiveDataOffset = kLiveEncHeaderOffset + kEncVideoHeaderSize;  // 324

// The values are the recorder's.
enum class FrameKind : std::uint8_t {
    Key = 0,           // decodable on its own
    Predicted = 1,
    Predicted2 = 2,
    NeverDecoded = 3,
};

// Why bytes could not be read as a frame.
enum class FrameError : std::uint8_t {
    ShortHeader = 1,  // fewer bytes than the header needs
};

const char* toString(FrameError error);

// A parsed value or the reason there is none.
template <typename T>
class Parsed {
public:
    Parsed(T value) : state_(std::move(value)) {}  // NOLINT: implicit by design
    Parsed(FrameError error) : state_(error) {}    // NOLINT: implicit by design

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }
    const T& operator*() const { return std::get<T>(state_); }
    T& operator*() { return std::get<T>(state_); }
    const T* operator->() const { return &std::get<T>(state_); }
    FrameError error() const { return std::get<FrameError>(state_); }

private:
    std::variant<T, FrameError> state_;
};

struct EncVideoHeader {
    std::uint32_t coded_len = 0;  // 20 bits
    FrameKind kind = FrameKind::Key;
    std::uint8_t carried_flag = 0;  // bit 6 of byte 3, passed on untouched
    std::uint8_t height_mb = 0;     // height / 16
    std::uint8_t width_mb = 0;      // width / 16
    std::uint32_t seconds = 0;
    std::uint32_t microseconds = 0;
    std::uint8_t channel = 0;  // 0-15

    std::uint16_t width() const { return static_cast<std::uint16_t>(width_mb * 16u); }
    std::uint16_t height() const { return static_cast<std::uint16_t>(height_mb * 16u); }
};

Parsed<EncVideoHeader> parseEncVideoHeader(std::span<const std::uint8_t> bytes);

struct VideoFrameHeader {
    std::uint32_t type_word = 0;
    protocol::RecorderTime frame_time = 0;
    std::uint32_t payload_len = 0;
    std::uint32_t previous_link = 0;
    std::uint32_t segment_key = 0;
    std::uint8_t event_flags = 0;
    std::uint8_t watermark_kind = 0;  // 2: watermark_value is present
    std::uint8_t decode_only = 0;     // 1: decoded but not shown in backward play
    std::uint16_t watermark_value = 0;
    std::uint32_t title_crc = 0;
    std::array<std::uint8_t, kTitleSize> title{};
    EncVideoHeader enc;
};

// The type word is read big-endian here; remote playback of a kind-5
// recorder reads it low byte first, see playbackTypeWord().
Parsed<VideoFrameHeader> parseVideoFrameHeader(std::span<const std::uint8_t> bytes);

struct AudioFrameHeader {
    std::uint32_t type_word = 0;
    std::uint32_t payload_len = 0;
    std::uint32_t previous_link = 0;
    std::uint32_t channel_mask = 0;          // blocks that follow, live and playback
    std::uint32_t archive_channel_mask = 0;  // the archive writer's mask
};

Parsed<AudioFrameHeader> parseAudioFrameHeader(std::span<const std::uint8_t> bytes);

// The caption of a picture: the recorder's title when its CRC-32 matches,
// otherwise "CH<channel + 1>". Zero-filled, not necessarily zero-terminated.
using Title = std::array<char, kTitleSize>;

Title checkedTitle(std::span<const std::uint8_t, kTitleSize> title, std::uint32_t stored_crc,
                   std::uint8_t channel);

// The title up to its first zero byte (at most 32 characters).
std::string titleText(const Title& title);

// The description of a picture that travels with it to the decoder.
struct FrameInfo {
    std::uint8_t channel = 0;
    FrameKind kind = FrameKind::Key;
    std::uint8_t carried_flag = 0;
    std::uint32_t seconds = 0;
    std::uint32_t microseconds = 0;
    std::uint32_t available_len = 0;  // data bytes actually present
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint32_t epoch = 0;
    Title title{};                    // playback: checked title; live: zero
    std::uint32_t coded_len = 0;      // never more than available_len

    // seconds × 1000 + (microseconds >> 10), as the pacing counts it.
    std::uint64_t timeMs() const { return std::uint64_t{seconds} * 1000 + (microseconds >> 10); }
};

// FrameInfo from an EncVideoHeader; available_len and epoch stay 0 and the
// coded length is as declared until the caller knows how many bytes arrived.
FrameInfo buildFrameInfo(const EncVideoHeader& enc);

// Sets the bytes present and lowers the coded length to them.
void setAvailable(FrameInfo& info, std::uint32_t available_len);

enum class Direction : std::uint8_t { Forward = 1, Backward };

// Backward play of every picture: a group is decoded forwards and its
// pictures held by the decoder, then shown one by one, latest first.
enum class HoldRole : std::uint8_t {
    None,
    Hold,  // decode into a held picture named hold_id, show nothing
    Show,  // show the held picture hold_id (no coded data)
};

// One coded picture on its way to the decoder of its channel.
struct FrameItem {
    std::uint32_t decode_len = 0;  // = info.coded_len; data holds at least this many
    std::uint32_t epoch = 0;
    Direction direction = Direction::Forward;
    std::uint8_t decode_only = 0;  // with Backward: decoded for reference, not shown
    HoldRole hold = HoldRole::None;
    std::uint64_t hold_id = 0;
    FrameInfo info;
    // The last fragment's header, with frame_channel set in live view.
    protocol::MessageHeader header;
    std::vector<std::uint8_t> data;  // info.available_len bytes, as received

    std::span<const std::uint8_t> codedData() const { return {data.data(), decode_len}; }
};

using AudioBlock = std::array<std::uint8_t, kAudioBlockSize>;

// Where the selected channel's block lies among the blocks a mask announces.
struct AudioBlockChoice {
    std::size_t index = 0;  // position among the blocks present
    int channel = 0;        // the selected channel, after the "none selected" rule
};

// With no channel selected (−1) the lowest channel of the mask is chosen.
// Nothing when the mask has no channel 0-15, or when the selected channel is
// not in it: its block is not there, and the block at its position belongs
// to another channel or lies beyond the unit.
std::optional<AudioBlockChoice> audioBlockIndex(std::uint32_t mask, int selected_channel);

}  // namespace kalix::media

#pragma once
// G.726 ADPCM in its 24 kbit/s mode: 3-bit codes on 14-bit linear samples.
//
// Our side speaks 16-bit PCM: a sample is shifted right by 2 (arithmetic)
// before encoding, and a decoded value is shifted left by 2 and saturated to
// the 16-bit range. Codes travel eight to three bytes, first code in the
// lowest bits:
//
//   byte 0  c0 | c1 << 3 | (c2 & 3) << 6
//   byte 1  c2 >> 2 | c3 << 1 | c4 << 4 | (c5 & 1) << 7
//   byte 2  c5 >> 1 | c6 << 2 | c7 << 5
//
// A 48-byte audio block is 128 codes; an 8,192-byte capture buffer (4,096
// values) encodes to 1,536 bytes. Each coder keeps its state across calls, so
// a stream cut into blocks codes exactly as it would in one piece.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace kalix::media {

inline constexpr std::size_t kG726GroupSamples = 8;  // codes per packed group
inline constexpr std::size_t kG726GroupBytes = 3;    // bytes per packed group

constexpr std::size_t g726PackedBytes(std::size_t samples) {
    return samples / kG726GroupSamples * kG726GroupBytes;
}
constexpr std::size_t g726SampleCount(std::size_t packed_bytes) {
    return packed_bytes / kG726GroupBytes * kG726GroupSamples;
}

enum class G726Status : std::uint8_t {
    Ok = 1,
    PartialGroup,    // the input is not a whole number of 8-code groups
    OutputTooSmall,  // the output span cannot take the whole result
};

// A refused call writes nothing and leaves the coder's state untouched.
struct G726Result {
    G726Status status = G726Status::Ok;
    std::size_t written = 0;  // bytes (encode) or values (decode)

    bool ok() const { return status == G726Status::Ok; }
};

namespace detail {

// The adaptive quantizer and predictor state, in the fixed-point widths of
// the ITU-T algorithm. Values in `dq` and `sr` are kept in the algorithm's
// 11-bit floating format: sign << 10 | exponent << 6 | mantissa.
struct G726State {
    std::int32_t yu = 544;    // fast scale factor
    std::int32_t yl = 34816;  // slow scale factor
    std::int32_t dms = 0;     // short-term mean of F[I]
    std::int32_t dml = 0;     // long-term mean of F[I]
    std::int32_t ap = 0;      // speed control
    std::array<std::int32_t, 2> a{};  // pole coefficients
    std::array<std::int32_t, 6> b{};  // zero coefficients
    std::array<std::uint16_t, 6> dq{32, 32, 32, 32, 32, 32};
    std::array<std::uint16_t, 2> sr{32, 32};
    std::array<std::uint8_t, 2> pk{};  // signs of the last two dq + sez
    bool td = false;                   // tone detected
};

}  // namespace detail

class G726Encoder {
public:
    G726Encoder() = default;
    void reset() { state_ = {}; }

    // One code (0-7) for one 16-bit sample.
    std::uint8_t encodeSample(std::int16_t sample);

    // Encodes samples.size() samples (a multiple of 8) into
    // g726PackedBytes(samples.size()) bytes at the front of out.
    G726Result encode(std::span<const std::int16_t> samples, std::span<std::uint8_t> out);

private:
    detail::G726State state_;
};

class G726Decoder {
public:
    G726Decoder() = default;
    void reset() { state_ = {}; }

    // The 16-bit value for one code; only the low three bits are read.
    std::int16_t decodeCode(std::uint8_t code);

    // Decodes packed.size() bytes (a multiple of 3) into
    // g726SampleCount(packed.size()) values at the front of out.
    G726Result decode(std::span<const std::uint8_t> packed, std::span<std::int16_t> out);

private:
    detail::G726State state_;
};

}  // namespace kalix::media

#pragma once
// Bits of an H.264 raw byte sequence payload (the NAL unit payload without
// its emulation-prevention bytes), most significant bit first.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kalix::sim {

// Exp-Golomb and fixed-width fields, appended.
class RbspWriter {
public:
    void bits(unsigned count, std::uint32_t value);  // the low `count` bits, count <= 32
    void ue(std::uint32_t value);
    void se(std::int32_t value);
    void alignWithZeros();
    // Whole bytes; the writer must be at a byte boundary.
    void aligned(std::span<const std::uint8_t> data);
    void trailingBits();  // a one bit, zeros to the byte boundary

    std::span<const std::uint8_t> bytes() const { return bytes_; }
    bool byteAligned() const { return pending_ == 0; }

private:
    std::vector<std::uint8_t> bytes_;
    std::uint64_t acc_ = 0;
    unsigned pending_ = 0;
};

// Reads fields off a payload. Never reads past its end: a read that would
// fails, returns nothing, and every later read fails too.
class RbspReader {
public:
    explicit RbspReader(std::span<const std::uint8_t> rbsp) : data_(rbsp) {}

    std::optional<std::uint32_t> bits(unsigned count);  // count <= 32
    std::optional<bool> flag();
    // Codes of more than 32 bits (values above 2^32 - 2) fail.
    std::optional<std::uint32_t> ue();
    std::optional<std::int32_t> se();

    std::size_t position() const { return position_; }  // in bits
    std::size_t size() const { return data_.size() * 8; }
    bool failed() const { return failed_; }

    // The position of the rbsp_stop_one_bit: the last one bit of the
    // payload. Nothing when the payload has no one bit.
    std::optional<std::size_t> stopBitPosition() const;
    // True when only the stop bit and its zeros follow the position.
    bool atTrailingBits() const { return stopBitPosition() == position_; }

    // Appends the bits from the position up to (not including) `end` to
    // `out`, bit for bit; false (and nothing copied) when `end` is behind the
    // position or past the payload.
    bool copyTo(RbspWriter& out, std::size_t end);

private:
    std::span<const std::uint8_t> data_;
    std::size_t position_ = 0;
    bool failed_ = false;
};

// The payload of a NAL unit (after its one-byte header) without its
// emulation-prevention bytes: every 0x03 that follows two zero bytes goes.
std::vector<std::uint8_t> unescapePayload(std::span<const std::uint8_t> payload);

// Appends `rbsp` as NAL unit payload: a 0x03 goes after every two zero bytes
// that a byte 0x00-0x03 follows, so no start code appears inside the unit.
void appendEscaped(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> rbsp);

}  // namespace kalix::sim

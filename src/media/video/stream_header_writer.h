#pragma once
// Our own H.264 parameter sets. The recorder sends bare slices, so every run
// of a channel starts with a sequence and a picture parameter set written
// here from the picture size, put in front of the first key frame:
//
//   SPS  Baseline, level 3.0, max frame_num 2^9, POC type 0 with a 10-bit
//        lsb, one reference frame, frame macroblocks only, no VUI
//   PPS  CAVLC, one slice group, chroma QP offset 2, no deblocking control,
//        constrained intra prediction
//
// Each unit carries its four-byte start code. For every size a recorder can
// send (up to 255 macroblocks a side) no zero run in these units is long
// enough to need emulation-prevention bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace kalix::media {

// A most-significant-bit-first writer over a small fixed buffer. Bits that
// would not fit are dropped and overflowed() says so; nothing is written past
// the buffer.
class StreamHeaderWriter {
public:
    static constexpr std::size_t kCapacity = 128;

    void reset();
    void writeBits(unsigned count, std::uint32_t value);  // the low `count` bits, count <= 32
    void writeUe(std::uint32_t value);                    // unsigned Exp-Golomb
    void writeSe(std::int32_t value);                     // signed Exp-Golomb
    void writeTrailingBits();                             // a one bit, zeros to the byte boundary

    // The whole bytes written so far.
    std::span<const std::uint8_t> bytes() const { return {buffer_.data(), bit_count_ / 8}; }
    bool overflowed() const { return overflowed_; }

    // Resets, then writes SPS and PPS for width × height pixels. Empty for a
    // size that is not a positive multiple of 16 up to 255 macroblocks.
    std::span<const std::uint8_t> writeParameterSets(unsigned width, unsigned height);

private:
    void writeBit(bool bit);

    std::array<std::uint8_t, kCapacity> buffer_{};
    std::size_t bit_count_ = 0;
    bool overflowed_ = false;
};

}  // namespace kalix::media

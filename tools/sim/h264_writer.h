#pragma once
// The simulated recorder's video encoder: H.264 Baseline slices that fit the
// parameter sets every client writes for itself (a 9-bit frame_num, POC type
// 0 with a 10-bit lsb, one reference frame, CAVLC, pic_init_qp 26, chroma QP
// offset 2, deblocking on with offsets 0, constrained intra prediction).
// Like a recorder, it sends slices only; no SPS or PPS comes out of here.
//
// Nothing is predicted or transformed, so every decoded sample is known:
//   key frame        an IDR slice of I_PCM macroblocks, the raw samples
//   predicted frame  a P slice: P_Skip for every macroblock that equals the
//                    reference, I_PCM for every one that changed
// All motion vectors are zero (intra or zero-vector neighbours only), so a
// skipped macroblock is a copy of the reference. The deblocking filter runs
// but changes nothing: I_PCM macroblocks filter with qP 0, and the slice QP
// is 0, so every edge averages to an index where alpha and beta are 0.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/rbsp.h"

namespace kalix::sim {

// A planar YUV 4:2:0 picture: Y (width × height), then U, then V (each
// width/2 × height/2), rows top to bottom with no padding: the layout the
// client's decoder writes.
class YuvPicture {
public:
    YuvPicture() = default;
    YuvPicture(int width, int height);  // all samples 0; width and height even

    int width() const { return width_; }
    int height() const { return height_; }
    std::span<std::uint8_t> bytes() { return data_; }
    std::span<const std::uint8_t> bytes() const { return data_; }
    std::span<std::uint8_t> y() { return {data_.data(), lumaSize()}; }
    std::span<std::uint8_t> u() { return {data_.data() + lumaSize(), chromaSize()}; }
    std::span<std::uint8_t> v() { return {data_.data() + lumaSize() + chromaSize(), chromaSize()}; }
    std::span<const std::uint8_t> y() const { return {data_.data(), lumaSize()}; }
    std::span<const std::uint8_t> u() const { return {data_.data() + lumaSize(), chromaSize()}; }
    std::span<const std::uint8_t> v() const { return {data_.data() + lumaSize() + chromaSize(), chromaSize()}; }

    friend bool operator==(const YuvPicture&, const YuvPicture&) = default;

private:
    std::size_t lumaSize() const { return static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_); }
    std::size_t chromaSize() const { return lumaSize() / 4; }

    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> data_;
};

enum class SliceKind : std::uint8_t { Key, Predicted };

struct EncodedPicture {
    SliceKind kind = SliceKind::Key;
    std::vector<std::uint8_t> bytes;  // one NAL unit behind a four-byte start code
    std::size_t pcm_macroblocks = 0;  // the rest were skipped
};

// Sizes the writer takes: positive multiples of 16, at most 255 macroblocks a
// side (the client's frame header carries size / 16 in a byte).
bool isCodableSize(int width, int height);

// Writes one channel's pictures in order. frame_num and the POC count up from
// each key frame; consecutive key frames get different idr_pic_ids.
class H264Writer {
public:
    // Nothing for a size that isCodableSize() refuses.
    std::optional<EncodedPicture> keyFrame(const YuvPicture& picture);
    // `reference` must be the picture of the previous frame as written.
    // Nothing before the first key frame, or when either picture's size
    // differs from that key frame's.
    std::optional<EncodedPicture> predictedFrame(const YuvPicture& reference, const YuvPicture& picture);

private:
    int width_ = 0;
    int height_ = 0;
    bool have_key_ = false;
    std::uint32_t frames_since_key_ = 0;
    std::uint32_t idr_pic_id_ = 0;
};

}  // namespace kalix::sim

#include "sim/h264_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace kalix::sim {
namespace {

constexpr std::uint8_t kStartCode[] = {0x00, 0x00, 0x00, 0x01};
constexpr std::uint8_t kNalIdr = 0x65;        // nal_ref_idc 3, IDR slice
constexpr std::uint8_t kNalPredicted = 0x61;  // nal_ref_idc 3, non-IDR slice
constexpr std::uint32_t kSliceTypeP = 5;      // 5-9: every slice of the picture has this type
constexpr std::uint32_t kSliceTypeI = 7;
constexpr std::uint32_t kMbTypePcmInI = 25;
constexpr std::uint32_t kMbTypePcmInP = 30;  // intra types follow the five P types
constexpr unsigned kFrameNumBits = 9;
constexpr unsigned kPocLsbBits = 10;
constexpr std::int32_t kSliceQpDelta = -26;  // pic_init_qp 26 → slice QP 0
constexpr std::uint32_t kIdrPicIdLimit = 65536;
constexpr int kMaxMacroblocks = 255;
constexpr int kMb = 16;
constexpr int kMbChroma = 8;
constexpr std::size_t kPcmBytes = 384;

// Gathers one macroblock's 384 samples in I_PCM order: 16 luma rows, then
// 8 rows of U, then 8 of V.
void gatherMacroblock(const YuvPicture& p, int mbx, int mby, std::span<std::uint8_t, kPcmBytes> out) {
    const auto w = static_cast<std::size_t>(p.width());
    const auto cw = w / 2;
    std::uint8_t* o = out.data();
    const auto lx = static_cast<std::size_t>(mbx * kMb);
    const auto ly = static_cast<std::size_t>(mby * kMb);
    for (std::size_t r = 0; r < kMb; ++r, o += kMb) std::memcpy(o, p.y().data() + (ly + r) * w + lx, kMb);
    const auto cx = static_cast<std::size_t>(mbx * kMbChroma);
    const auto cy = static_cast<std::size_t>(mby * kMbChroma);
    for (const auto plane : {p.u(), p.v()}) {
        for (std::size_t r = 0; r < kMbChroma; ++r, o += kMbChroma)
            std::memcpy(o, plane.data() + (cy + r) * cw + cx, kMbChroma);
    }
}

bool sameMacroblock(const YuvPicture& a, const YuvPicture& b, int mbx, int mby) {
    const auto w = static_cast<std::size_t>(a.width());
    const auto cw = w / 2;
    const auto lx = static_cast<std::size_t>(mbx * kMb);
    const auto ly = static_cast<std::size_t>(mby * kMb);
    for (std::size_t r = 0; r < kMb; ++r) {
        const std::size_t at = (ly + r) * w + lx;
        if (std::memcmp(a.y().data() + at, b.y().data() + at, kMb) != 0) return false;
    }
    const auto cx = static_cast<std::size_t>(mbx * kMbChroma);
    const auto cy = static_cast<std::size_t>(mby * kMbChroma);
    for (std::size_t r = 0; r < kMbChroma; ++r) {
        const std::size_t at = (cy + r) * cw + cx;
        if (std::memcmp(a.u().data() + at, b.u().data() + at, kMbChroma) != 0) return false;
        if (std::memcmp(a.v().data() + at, b.v().data() + at, kMbChroma) != 0) return false;
    }
    return true;
}

bool fits(const YuvPicture& p, int width, int height) {
    return p.width() == width && p.height() == height &&
           p.bytes().size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3 / 2;
}

std::vector<std::uint8_t> nalUnit(std::uint8_t header, std::span<const std::uint8_t> rbsp) {
    std::vector<std::uint8_t> out(std::begin(kStartCode), std::end(kStartCode));
    out.reserve(sizeof kStartCode + 1 + rbsp.size() + rbsp.size() / 64);
    out.push_back(header);
    appendEscaped(out, rbsp);
    return out;
}

}  // namespace

YuvPicture::YuvPicture(int width, int height)
    : width_(width), height_(height),
      data_(static_cast<std::size_t>(std::max(width, 0)) * static_cast<std::size_t>(std::max(height, 0)) * 3 / 2) {}

bool isCodableSize(int width, int height) {
    return width > 0 && height > 0 && width % kMb == 0 && height % kMb == 0 && width / kMb <= kMaxMacroblocks &&
           height / kMb <= kMaxMacroblocks;
}

std::optional<EncodedPicture> H264Writer::keyFrame(const YuvPicture& picture) {
    if (!isCodableSize(picture.width(), picture.height()) || !fits(picture, picture.width(), picture.height()))
        return std::nullopt;
    width_ = picture.width();
    height_ = picture.height();
    if (have_key_) idr_pic_id_ = (idr_pic_id_ + 1) % kIdrPicIdLimit;
    have_key_ = true;
    frames_since_key_ = 0;

    RbspWriter w;
    w.ue(0);  // first_mb_in_slice
    w.ue(kSliceTypeI);
    w.ue(0);  // pic_parameter_set_id
    w.bits(kFrameNumBits, 0);
    w.ue(idr_pic_id_);
    w.bits(kPocLsbBits, 0);
    w.bits(1, 0);  // no_output_of_prior_pics
    w.bits(1, 0);  // long_term_reference
    w.se(kSliceQpDelta);

    std::array<std::uint8_t, kPcmBytes> samples{};
    EncodedPicture out{SliceKind::Key, {}, 0};
    for (int mby = 0; mby < height_ / kMb; ++mby) {
        for (int mbx = 0; mbx < width_ / kMb; ++mbx) {
            w.ue(kMbTypePcmInI);
            w.alignWithZeros();
            gatherMacroblock(picture, mbx, mby, samples);
            w.aligned(samples);
            ++out.pcm_macroblocks;
        }
    }
    w.trailingBits();
    out.bytes = nalUnit(kNalIdr, w.bytes());
    return out;
}

std::optional<EncodedPicture> H264Writer::predictedFrame(const YuvPicture& reference, const YuvPicture& picture) {
    if (!have_key_ || !fits(reference, width_, height_) || !fits(picture, width_, height_)) return std::nullopt;
    ++frames_since_key_;

    RbspWriter w;
    w.ue(0);  // first_mb_in_slice
    w.ue(kSliceTypeP);
    w.ue(0);  // pic_parameter_set_id
    w.bits(kFrameNumBits, frames_since_key_ % (1u << kFrameNumBits));
    // Two POC steps a frame, as for frames of two fields; the lsb wraps and
    // the decoder carries the msb.
    w.bits(kPocLsbBits, (2 * frames_since_key_) % (1u << kPocLsbBits));
    w.bits(1, 0);  // num_ref_idx_active_override
    w.bits(1, 0);  // ref_pic_list_modification_flag_l0
    w.bits(1, 0);  // adaptive_ref_pic_marking_mode: sliding window
    w.se(kSliceQpDelta);

    std::array<std::uint8_t, kPcmBytes> samples{};
    EncodedPicture out{SliceKind::Predicted, {}, 0};
    std::uint32_t skip_run = 0;
    for (int mby = 0; mby < height_ / kMb; ++mby) {
        for (int mbx = 0; mbx < width_ / kMb; ++mbx) {
            if (sameMacroblock(reference, picture, mbx, mby)) {
                ++skip_run;
                continue;
            }
            w.ue(skip_run);
            skip_run = 0;
            w.ue(kMbTypePcmInP);
            w.alignWithZeros();
            gatherMacroblock(picture, mbx, mby, samples);
            w.aligned(samples);
            ++out.pcm_macroblocks;
        }
    }
    if (skip_run > 0) w.ue(skip_run);
    w.trailingBits();
    out.bytes = nalUnit(kNalPredicted, w.bytes());
    return out;
}

}  // namespace kalix::sim

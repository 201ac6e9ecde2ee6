#pragma once
// The H.264 decoder behind the three calls the channel decoders make:
// Init, GetOneFrame and Uninit on a per-channel context. Any Baseline
// decoder that takes an Annex B byte stream would do; this one is FFmpeg's,
// in low-delay mode with one thread per context, so one call with one
// picture's units gives that picture at once.
//
// The context belongs to one channel decoder thread; contexts of different
// channels run in parallel.

#include <cstdint>
#include <memory>
#include <span>

#include "media/video/yuv_to_rgb.h"

namespace kalix::media {

enum class DecoderOutput : std::uint32_t {
    PlanarYuv420 = 0,  // Y plane, then U, then V, rows top to bottom, no padding
    Rgb24 = 3,         // 3 bytes a pixel (R, G, B), rows as rgb_row_order says
};

enum class LineDoubling : std::uint32_t { Off = 1, InterlacedHeights };

// 480 and 576 rows: a field pair, whose lines the wall may double.
constexpr bool isInterlacedHeight(int height) { return height == 480 || height == 576; }

// Results of GetOneFrame.
inline constexpr int kDecodedPicture = 0;
inline constexpr int kDecodedPictureToo = 5;   // also a picture
inline constexpr int kDecodeCallAgain = 1;     // same input once more
inline constexpr int kDecodeNoPicture = 2;     // input taken, nothing to show yet
inline constexpr int kDecodeBadData = 3;       // the coded data could not be decoded
inline constexpr int kDecodeNoRoom = 4;        // the picture does not fit the output buffer
inline constexpr int kDecodeNeedsReset = -5;   // Uninit, Init, then the same input again

class H264Engine;

struct DecoderContext {
    DecoderContext();
    ~DecoderContext();
    DecoderContext(DecoderContext&&) noexcept;
    DecoderContext& operator=(DecoderContext&&) noexcept;

    std::uint32_t initialised = 0;  // non-zero once Init succeeded
    std::uint32_t enabled = 1;
    DecoderOutput output = DecoderOutput::PlanarYuv420;
    // Rgb24 only. BottomUp stores the last picture row first. With
    // InterlacedHeights, pictures of such a height have every second stored
    // row copied from the one before it (stored rows 0, 2, 4... are picture
    // rows 0, 2, 4... top down, or the last, the last but two... bottom up),
    // and only those rows are converted.
    RowOrder rgb_row_order = RowOrder::TopDown;
    LineDoubling rgb_line_doubling = LineDoubling::Off;
    int width = 0;   // of the last picture
    int height = 0;
    std::unique_ptr<H264Engine> engine;
};

// 0 on success.
int PT_H264dec_Init(DecoderContext& context);

// Decodes the units in `input` (start codes, parameter sets, one picture's
// slices) and writes the picture into `picture` in the context's format.
// Never writes past `picture`.
int PT_H264dec_GetOneFrame(DecoderContext& context, const std::uint8_t* input, int length,
                           std::span<std::uint8_t> picture);

void PT_H264dec_Uninit(DecoderContext& context);

// Bytes a picture takes in a format.
std::size_t pictureBytes(DecoderOutput output, int width, int height);

}  // namespace kalix::media

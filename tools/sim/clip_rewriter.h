#pragma once
// Recorded H.264 for the simulated recorder. A recorder sends bare slices
// that the client decodes with parameter sets of its own (9-bit frame_num,
// POC type 0 with a 10-bit lsb, one reference frame, CAVLC, pic_init_qp 26,
// chroma QP offset 2, no deblocking control, constrained intra prediction).
// A clip from another encoder is made to fit them here: its parameter sets,
// SEI and delimiters go, and every slice header is written anew while the
// slice data after it is copied bit for bit, so the client decodes exactly
// the pictures the clip holds.
//
// What a clip must be for that to hold (anything else is refused, saying
// why): Baseline-compatible (profile 66, 77 or 88 syntax) with CAVLC, frames
// only, no cropping, one slice per picture, every picture a reference
// picture, I and P slices only, at most one reference frame, no weighted
// prediction, no reference list modification or memory management
// operations, constrained intra prediction, chroma QP offset 2, deblocking on
// with offsets 0 (or no deblocking control), POC type 0 or 2 with pictures
// shown in decode order, and starting with an IDR picture.
//
// The POC written is twice the picture's index since its IDR picture, which
// is what POC type 2 gives and keeps decode order for type 0.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalix::sim {

struct ClipPicture {
    bool key = false;  // an IDR picture: decoding can start here
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bytes;  // one slice NAL unit behind a four-byte start code
};

// The pictures of an Annex B byte stream, rewritten. Nothing when the stream
// breaks an assumption above or has no picture; `error` says why.
std::optional<std::vector<ClipPicture>> rewriteClip(std::span<const std::uint8_t> stream, std::string& error);

// Reads a clip file (at most 256 MiB) and rewrites it.
std::optional<std::vector<ClipPicture>> loadClip(const std::string& path, std::string& error);

}  // namespace kalix::sim

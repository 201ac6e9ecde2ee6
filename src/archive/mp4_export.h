#pragma once
// Export of one channel of the local catalogue to an MP4 file, remuxed
// without re-encoding.
//
// The pictures: channel C in catalogue order, from the first key frame at
// or after the frame found for the start time (as playback finds it) to the
// last picture whose time stamp is at or before the end time. Pictures of
// frame kind 3, pictures marked decode-only (byte 52) and pictures of sizes
// the decoders do not take are left out; the export stops before a change
// of picture size. Presentation times are the EncVideoHeader's seconds and
// microseconds, counted from the first picture exported.
//
// The file is written under a temporary name and takes its own name only
// when complete: a failed or cancelled export leaves no file.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

#include "archive/local_catalogue.h"

namespace kalix::archive {

struct ExportRequest {
    std::uint8_t channel = 0;  // 0-15
    std::optional<std::uint32_t> from;
    std::optional<std::uint32_t> to;
    std::filesystem::path out;
};

enum class ExportFailure {
    None,
    NoKeyFrame,   // no key frame of the channel in the range
    Damaged,      // a unit of the archive could not be read
    WriteFailed,  // the MP4 could not be written
    Cancelled,
};
const char* toString(ExportFailure failure);

struct ExportResult {
    ExportFailure failure = ExportFailure::None;
    std::string reason;  // with a failure: what went wrong, for the operator
    std::uint64_t frames = 0;
    unsigned width = 0;
    unsigned height = 0;
    bool ok() const { return failure == ExportFailure::None; }
};

struct ExportProgress {
    std::uint64_t frames = 0;
    unsigned percent = 0;  // of the archive bytes to walk through
};

// The sizes the channel decoders take: 352 or 360 × 240 or 288, and 704 or
// 720 × 240, 288, 480 or 576.
bool decoderTakesSize(unsigned width, unsigned height);

// `catalogue` is built for the request's start time (or without one).
// `progress` is called now and then from the calling thread.
ExportResult exportMp4(const LocalCatalogue& catalogue, const ExportRequest& request,
                       const std::function<void(const ExportProgress&)>& progress = {},
                       std::stop_token stop = {});

}  // namespace kalix::archive

#pragma once
// Mp4Writer: an MP4 file with one H.264 ('avc1') track, written by
// libavformat without touching the pictures. The parameter sets go into the
// track's avcC box; each picture's NAL units are stored unchanged behind
// four-byte lengths; key frames are the sync samples.
//
// Use: open() with the picture size and the parameter sets, addFrame() for
// every picture in order, finish() to write the index. A writer destroyed
// without finish() closes the file as it is; the caller removes it.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalix::archive {

// The NAL units of an Annex B picture (start codes of three or four bytes),
// each behind its four-byte big-endian length. Bytes without any start code
// count as one unit.
std::vector<std::uint8_t> annexBToLengthPrefixed(std::span<const std::uint8_t> annex_b);

// The units of an Annex B stream, start codes removed.
std::vector<std::span<const std::uint8_t>> splitAnnexB(std::span<const std::uint8_t> annex_b);

// The avcC record for one SPS and one PPS, with four-byte lengths. Empty
// when the SPS is shorter than 4 bytes or either is longer than 65,535.
std::vector<std::uint8_t> makeAvcC(std::span<const std::uint8_t> sps, std::span<const std::uint8_t> pps);

class Mp4Writer {
public:
    Mp4Writer();
    ~Mp4Writer();
    Mp4Writer(const Mp4Writer&) = delete;
    Mp4Writer& operator=(const Mp4Writer&) = delete;

    bool open(const std::filesystem::path& path, unsigned width, unsigned height, std::span<const std::uint8_t> avcc);

    // `pts_us` counts from the first picture; it must rise. The duration of
    // a picture is the step to the next one, and the last picture gets the
    // step before it (40 ms when it is the only one).
    bool addFrame(std::span<const std::uint8_t> annex_b, bool key, std::int64_t pts_us);
    bool finish();

    // The library's text for the last failure.
    const std::string& error() const { return error_; }

private:
    struct Pending {
        std::vector<std::uint8_t> data;
        bool key = false;
        std::int64_t pts_us = 0;
    };
    bool writePending(std::int64_t duration_us);
    bool fail(const char* what, int code);

    struct Context;
    std::unique_ptr<Context> context_;
    std::optional<Pending> pending_;
    std::int64_t last_step_us_ = 40'000;
    std::string error_;
};

}  // namespace kalix::archive

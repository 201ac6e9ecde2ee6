#pragma once
// The local catalogue: every archive pair of a folder in playing order, one
// PlaySegment per block, and the pairs' events.
//
// Order: the .idx files that carry the tarnrec9w signature, sorted by the
// summary's first time; a pair closed because it was full is followed by
// the pair its split time leads to, and the two are joined into one
// stretch. Pairs that fail validation are left out with a reason.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_format.h"

namespace kalix::archive {

struct CataloguePair {
    std::filesystem::path idx_path;
    std::filesystem::path vid_path;
    std::uint32_t key = 0;  // the name: its first 8 characters read as hex
    std::uint32_t split_in = 0;
    std::uint32_t split_out = 0;
    std::uint32_t first_time = 0;
    std::uint32_t last_time = 0;
    std::uint32_t blocks = 0;
    bool join_previous = false;
    bool join_next = false;
    std::vector<IndexBlockRecord> block_records;
};

struct PlaySegment {
    std::size_t pair = 0;  // index into LocalCatalogue::pairs
    std::uint32_t block_index = 0;
    std::filesystem::path media_path;  // the .vid
    bool has_audio = false;            // video and audio masks share a channel
    std::uint32_t start_time = 0;
    std::uint32_t play_from = 0;  // the requested time in the segment that holds it, else start_time
    std::uint32_t end_time = 0;
    std::uint64_t start_offset = 0;  // first frame to play
    std::uint32_t video_mask = 0;
    std::uint32_t audio_mask = 0;     // video mask ∩ audio mask
    std::uint64_t block_begin = 0;    // the block's first frame
    std::uint64_t block_end = 0;      // the next block's begin, or the .vid trailer
    bool join_previous = false;
    bool join_next = false;
    bool holds_request = false;  // marked as the segment that contains the requested time
};

// An event record of kind 1 (alarm), 2 (motion) or 7 (audio).
struct CatalogueEvent {
    std::size_t pair = 0;
    std::uint32_t time = 0;
    std::uint32_t time2 = 0;
    std::uint32_t channels = 0;
    std::uint8_t kind = 0;
    std::uint32_t number = 0;  // counts per kind from 0, in catalogue order
};

struct SkippedFile {
    std::filesystem::path path;
    std::string reason;
};

inline constexpr std::size_t kMaxCatalogueFiles = 100'000;

struct LocalCatalogue {
    std::vector<CataloguePair> pairs;
    std::vector<PlaySegment> segments;
    std::vector<CatalogueEvent> events;
    std::vector<SkippedFile> skipped;

    // The segment playback starts in for time t: the first that holds t or
    // starts after it.
    std::optional<std::size_t> startSegment(std::uint32_t t) const;
    // The first and last segment of the stretch segment i belongs to.
    std::size_t stretchFirst(std::size_t i) const;
    std::size_t stretchLast(std::size_t i) const;
};

struct CatalogueRequest {
    std::optional<std::uint32_t> time;  // locate the first frame at or after it
    bool events = true;                 // read the event areas
};

// The pairs of a folder (its .idx files, at most 100,000).
LocalCatalogue buildLocalCatalogue(const std::filesystem::path& folder, const CatalogueRequest& request = {});
// The pairs of the given .idx files only.
LocalCatalogue buildLocalCatalogue(const std::vector<std::filesystem::path>& idx_files,
                                   const CatalogueRequest& request = {});

// The name key: up to 8 leading hex digits of the file name, 0 without any.
std::uint32_t nameKey(const std::filesystem::path& path);

}  // namespace kalix::archive

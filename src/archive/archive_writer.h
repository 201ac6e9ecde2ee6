#pragma once
// ArchiveWriter: stores the units of a download in archive pairs.
//
// Use: open() creates the first pair in the folder; appendUnit() (or the
// append/keep calls by kind) takes whole units as the recorder sent them;
// close() completes the pair. A pair that grows past the split size, or
// that would need a 4097th block, is closed and the next one opened on the
// way; every closed pair is reported once through on_pair_closed and
// closedPairs(). Not thread-safe: one thread (the transfer writer) owns it.
//
// Errors: the first failed create or write is kept in error(); the writer
// then stores nothing more, and close() still completes the pair with the
// units that were written whole, so that it stays readable.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "archive/archive_file.h"
#include "archive/archive_format.h"

namespace kalix::archive {

// The folder the pairs go to: "Download" below the storage location, and in
// CD mode below the current directory.
std::filesystem::path downloadFolder(const std::filesystem::path& storage_location);

// What one closed pair holds (the archive_pair report of a download).
struct PairStats {
    std::filesystem::path idx_path;
    std::filesystem::path vid_path;
    std::uint32_t split_in = 0;   // header split time
    std::uint32_t split_out = 0;  // .idx trailer split time
    std::uint32_t blocks = 0;
    std::uint64_t video_units = 0;
    std::uint64_t audio_units = 0;
    std::uint32_t events = 0;  // records written to the event area
};

struct WriteError {
    std::filesystem::path path;
    int error_number = 0;
    std::string text;  // the system's text for error_number
};

enum class UnitResult {
    Stored,      // written to the .vid (video or audio)
    EventsKept,  // event records kept for the event area
    Dropped,     // malformed, too long or of an unknown kind: not stored
    Failed,      // a write failed now or earlier, see error()
};

// Units that were not stored, by reason.
struct DroppedUnits {
    std::uint64_t bad_length = 0;   // shorter than the header, or not header + payload length
    std::uint64_t too_long = 0;     // over kMaxUnitBytes
    std::uint64_t unknown_kind = 0;
    std::uint64_t events_over_limit = 0;  // event records beyond the kept-list capacity
};

struct WriterOptions {
    std::filesystem::path folder;  // created with its parents
    int recorder_kind = 3;         // 3 or 5: signature and byte orders
    std::uint64_t split_bytes = kDefaultSplitBytes;
    // Seconds since 1970, for names and split times; the system clock when empty.
    std::function<std::uint32_t()> clock;
    std::function<void(const PairStats&)> on_pair_closed;
};

class ArchiveWriter {
public:
    explicit ArchiveWriter(WriterOptions options);
    ~ArchiveWriter();  // closes an open pair
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    // MakeFileOpen of the first pair. False with error() set on failure.
    bool open();
    bool isOpen() const { return idx_.isOpen(); }

    // By the unit's type word at offset 16 (big-endian from a kind-3
    // recorder, low byte first from kind 5).
    UnitResult appendUnit(std::span<const std::uint8_t> unit);
    UnitResult appendVideo(std::span<const std::uint8_t> unit);
    UnitResult appendAudio(std::span<const std::uint8_t> unit);
    UnitResult keepEvents(std::span<const std::uint8_t> unit);

    // MakeFileClose with split value 0. The stats of the pair, or nothing
    // when no pair was open.
    std::optional<PairStats> close();

    const std::optional<WriteError>& error() const { return error_; }
    const std::vector<PairStats>& closedPairs() const { return closed_; }
    const DroppedUnits& dropped() const { return dropped_; }

private:
    // The running totals of the open block.
    struct Block {
        bool open = false;
        std::uint32_t key = 0;
        std::uint32_t start_time = 0;
        std::uint32_t end_time = 0;
        std::uint32_t seek_position = 0;
        std::uint32_t video_mask = 0;
        std::uint32_t audio_mask = 0;
        std::array<std::uint8_t, 4> last_header_bytes{};
        std::array<std::uint64_t, 16> video_bytes{};
        std::array<std::uint32_t, 16> audio_bytes{};
        std::array<std::uint8_t, 16> flag_bytes{};
    };
    // Everything an append changes, so a failed append can be undone.
    struct PairState {
        Block block;
        std::uint32_t block_count = 0;
        std::uint64_t vid_pos = kFirstUnitOffset;
        std::uint64_t seek_pos = kSeekListOffset;
        std::uint32_t previous_link = kFirstUnitOffset;
        std::uint32_t latest_audio = 0;
        std::optional<std::uint32_t> last_seek_time;
        std::optional<std::uint32_t> first_frame_time;
        std::optional<std::uint32_t> last_video_time;
        std::uint32_t last_video_offset = 0;
        std::uint64_t video_units = 0;
        std::uint64_t audio_units = 0;
    };

    bool makeFileOpen(std::uint32_t split_in);
    bool makeFileClose(std::uint32_t split_out);
    bool saveIdxBlockFile();
    bool split();
    UnitResult fail(const ArchiveFile& file);
    UnitResult undo(const PairState& before, const ArchiveFile& file);
    void putLink(std::uint8_t* p, std::uint32_t link) const;
    std::uint32_t recorderU32(const std::uint8_t* p) const;
    std::uint32_t now() const;
    std::uint32_t nextSplitTime();

    WriterOptions options_;
    Signature signature_{};
    ArchiveFile idx_;
    ArchiveFile vid_;
    PairState state_;
    std::uint32_t split_in_ = 0;
    std::uint32_t last_split_ = 0;
    std::vector<IndexBlockRecord> saved_blocks_;
    // Event records in arrival order, kept until a pair whose frames cover them closes.
    std::vector<std::array<std::uint8_t, kEventRecordSize>> events_;
    std::optional<WriteError> error_;
    std::vector<PairStats> closed_;
    DroppedUnits dropped_;
};

}  // namespace kalix::archive

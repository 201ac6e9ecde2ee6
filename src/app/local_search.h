#pragma once
// The local search: the month calendar, the day timeline and the event list
// of the archive pairs in the Download folder, shown by the same windows and
// the same search hub as the recorder's recordings. Here the "recorder" is
// the local catalogue: LocalSearchRequests answers the hub's searches from
// tables built out of the pairs' block records and event areas, and
// LocalPlayStarter turns every play choice into a start of local playback.
//
// Tables:
// - month table: per year a 376-byte record (the year, big-endian, then
//   12 × 31 day bytes); every day from a block's start day to its end day
//   gets the bit 1 << (the block's flag byte, bytes 48-51's third);
// - day table: for every channel c of a block's video mask a 24-byte
//   stretch {mask 1 << c, kind byte = the block's flag byte of channel c,
//   start, end} in the lists of the days the block touches;
// - events: the records of kinds 1, 2 and 7 with per-kind running numbers,
//   newest first.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "app/remote_play_state.h"
#include "app/remote_search.h"
#include "archive/local_catalogue.h"

namespace kalix::app {

// A block is one recording stretch; one said to span more days than this is
// damaged, and only its first days are marked.
inline constexpr std::int64_t kMaxBlockDays = 366;

struct LocalSearchTables {
    std::vector<std::uint8_t> month_records;                     // 376 bytes a year
    std::map<std::int64_t, std::vector<std::uint8_t>> day_records;  // by days since 1970; 24 bytes a stretch
    std::vector<std::uint8_t> event_records;                     // 24 bytes an event, newest first
    std::vector<archive::CatalogueEvent> events;                 // the same events, in the same order
};

LocalSearchTables buildLocalSearchTables(const archive::LocalCatalogue& catalogue);

// Answers the hub's searches from the tables. Every search gets exactly one
// answer, handed to `answer` (the dialog passes it on to the hub, after the
// hub's own call has returned).
class LocalSearchRequests final : public SearchRequests {
public:
    using AnswerSink = std::function<void(session::SearchAnswer)>;
    LocalSearchRequests(LocalSearchTables tables, AnswerSink answer)
        : tables_(std::move(tables)), answer_(std::move(answer)) {}

    void searchMonth() override;
    void searchDay(int year, int month1, int day1) override;
    void searchEvents(std::uint32_t kind, std::uint32_t page) override;

    const LocalSearchTables& tables() const { return tables_; }

private:
    LocalSearchTables tables_;
    AnswerSink answer_;
};

// Every play choice of the local search starts local playback at its time
// through `start` (the main window's "start local playback at t"), which
// says whether it started. No remote playback is ever started from here.
class LocalPlayStarter final : public RemotePlayStarter {
public:
    using Start = std::function<bool(protocol::RecorderTime)>;
    explicit LocalPlayStarter(Start start) : start_(std::move(start)) {}

    bool startRemotePlayback(const session::PlayStart& request, RemotePlayInit init) override;
    bool startEventPlayback(const session::EventPlayStart& request, RemotePlayInit init) override;
    const RemotePlayState& remotePlayState() const override { return state_; }
    void clearRemotePlayState() override {}
    void setRemotePlayChannels(std::uint32_t mask) override { channels_ = mask; }
    bool remotePlaybackShown() const override { return false; }
    bool localPlaybackActive() const override { return false; }
    std::optional<protocol::RecorderTime> runningPlaybackPosition() const override { return std::nullopt; }

    std::uint32_t channels() const { return channels_; }
    std::optional<protocol::RecorderTime> lastStart() const { return last_start_; }

private:
    Start start_;
    RemotePlayState state_;
    std::uint32_t channels_ = 0xFFFF;
    std::optional<protocol::RecorderTime> last_start_;
};

}  // namespace kalix::app

#pragma once
// The event list of the remote search: the recorder's events of one kind
// (1, 2 or 7, the list's three tabs), each shown with its time and its
// channels, and the start of remote playback at a chosen event.
//
// The list is filled from an event answer (24-byte records: channel mask,
// kind byte, 3 unused bytes, 8 bytes the recorder wants back when playback
// starts at the event, the event time, a second time word). Answers by
// page carry two words that the list shows as its page position. Only the
// second is read, as the number of pages (the first counts the events of
// the kind on our recorders, and is not relied on); the page shown is the
// one the list asked for, counted from 0.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/local_settings.h"
#include "protocol/recorder_time.h"
#include "session/remote_playback.h"

namespace kalix::app {

inline constexpr std::size_t kEventRecordSize = 24;
inline constexpr std::array<std::uint8_t, 3> kEventKinds{1, 2, 7};

struct EventRecord {
    std::uint32_t mask = 0;
    std::uint8_t kind = 0;
    std::array<std::uint8_t, 8> token{};
    protocol::RecorderTime time = 0;
    std::uint32_t second_time = 0;
};

// Whole 24-byte records; a partial record at the end is ignored.
std::vector<EventRecord> parseEventRecords(std::span<const std::uint8_t> records);

// "01 02 16 " for channels 1, 2 and 16.
std::string channelText(std::uint32_t mask);
// The event time by the date format, then "hh:mm:ss".
std::string eventTimeText(protocol::RecorderTime time, DateFormat format);

struct EventRow {
    std::string time;
    std::string channels;
};

class RemoteEventList {
public:
    explicit RemoteEventList(DateFormat format = DateFormat::YearMonthDay) : format_(format) {}

    // A new answer replaces the records; `page` holds the page words of an
    // answer by page.
    struct Page {
        std::uint32_t number = 0;
        std::uint32_t count = 0;
    };
    void setAnswer(std::span<const std::uint8_t> records, std::optional<Page> page = std::nullopt);

    std::uint8_t kind() const { return kind_; }
    // The tab of `kind` was chosen: the kind becomes the list's and true is
    // returned when the recorder has to be asked (another kind, and no
    // request pending).
    bool chooseKind(std::uint8_t kind, bool request_pending);
    // The page to ask for next or before, when there is one.
    std::optional<std::uint32_t> nextPage() const;
    std::optional<std::uint32_t> previousPage() const;
    std::optional<Page> page() const { return page_; }
    // "page / pages", empty without page words.
    std::string pageText() const;

    // The rows of the list's kind, in the recorder's order.
    std::vector<EventRow> rows() const;
    std::size_t rowCount() const { return shown_.size(); }
    // The playback start at row `row`, with the dialog's channels.
    std::optional<session::EventPlayStart> playAt(std::size_t row, std::uint32_t channel_mask) const;

private:
    void select();

    DateFormat format_;
    std::uint8_t kind_ = kEventKinds[0];
    std::vector<EventRecord> records_;
    std::vector<std::size_t> shown_;  // indexes into records_ of the kind
    std::optional<Page> page_;
};

}  // namespace kalix::app

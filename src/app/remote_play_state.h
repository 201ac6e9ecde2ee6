#pragma once
// The remote-play state: what a search window starts a remote playback
// with, kept while the playback runs. The status strip shows it, the
// event-jump bar decides from it whether the recorder's event jumps apply,
// and the day timeline opens at its position. When the playback was started
// from the day timeline it also carries copies of the month and day tables,
// so the playback can move across days.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "protocol/recorder_time.h"
#include "session/remote_playback.h"

namespace kalix::app {

// How the playback was found. The numbers are the state's play-mode byte:
// the date-and-time search 0, the day timeline 2; a start from the event
// list has no number of its own elsewhere and takes 3.
enum class PlayOrigin : std::uint8_t { TimeSearch = 0, Timeline = 2, EventList = 3 };

inline constexpr std::size_t kMonthRecordBytes = 376;
inline constexpr std::size_t kDayRecordBytes = 24;

// What a search window hands over with its start request.
struct RemotePlayInit {
    PlayOrigin origin = PlayOrigin::Timeline;
    protocol::RecorderTime start = 0;
    std::uint32_t channel_mask = 0;
    // The month table (376-byte year records) and the day table (24-byte
    // records) the timeline showed; both empty from the other searches.
    // Trailing bytes of an incomplete record are dropped.
    std::vector<std::uint8_t> month_copy;
    std::vector<std::uint8_t> day_copy;
};

class RemotePlayState {
public:
    // A start request went out: the state becomes active with these values.
    // `event_kind` is the event list's kind (1, 2 or 7) for a start at an
    // event, and only then are the recorder's event jumps available.
    void begin(RemotePlayInit init, std::optional<std::uint8_t> event_kind = std::nullopt);
    // Choosing another day, a rights change without playback right, closing
    // the search dialog outside remote playback.
    void clear();

    bool active() const { return active_; }
    PlayOrigin origin() const { return origin_; }
    protocol::RecorderTime startTime() const { return start_; }
    std::uint32_t channelMask() const { return channel_mask_; }
    // The search dialog hands its channel selection back when it goes.
    void setChannelMask(std::uint32_t mask) { channel_mask_ = mask; }
    // The time of the last frame shown; the start time until one came.
    protocol::RecorderTime position() const { return position_; }
    void setPosition(protocol::RecorderTime time) { position_ = time; }
    std::optional<std::uint8_t> eventKind() const { return event_kind_; }

    // Month and day copies are attached only when a month table came along.
    bool hasDayData() const { return !month_copy_.empty(); }
    std::size_t monthRecords() const { return month_copy_.size() / kMonthRecordBytes; }
    std::size_t dayRecords() const { return day_copy_.size() / kDayRecordBytes; }
    std::span<const std::uint8_t> monthCopy() const { return month_copy_; }
    std::span<const std::uint8_t> dayCopy() const { return day_copy_; }

private:
    bool active_ = false;
    PlayOrigin origin_ = PlayOrigin::TimeSearch;
    protocol::RecorderTime start_ = 0;
    std::uint32_t channel_mask_ = 0;
    protocol::RecorderTime position_ = 0;
    std::optional<std::uint8_t> event_kind_;
    std::vector<std::uint8_t> month_copy_;
    std::vector<std::uint8_t> day_copy_;
};

// What the search windows (day timeline, date-and-time search, event list,
// log viewers) call to start a remote playback. The main window's
// controller implements it; calls come on the user-interface thread.
class RemotePlayStarter {
public:
    virtual ~RemotePlayStarter() = default;
    // Sends PLAY_ON_REQ and fills the remote-play state. False, with nothing
    // sent, when no remote playback may start now (no logged-in session, a
    // local player exists, a start already pending).
    virtual bool startRemotePlayback(const session::PlayStart& request, RemotePlayInit init) = 0;
    // Sends EVENT_PLAY_REQ for an event record; the origin becomes EventList
    // and the event-jump bar offers the recorder's previous/next event.
    virtual bool startEventPlayback(const session::EventPlayStart& request, RemotePlayInit init) = 0;
    // Active from a start request until cleared: its channels and, while
    // the playback runs, where it stands.
    virtual const RemotePlayState& remotePlayState() const = 0;
    // A day was chosen, or the search dialog closed while the wall shows no
    // remote playback.
    virtual void clearRemotePlayState() = 0;
    // The search dialog's channel choice, handed back when it closes.
    virtual void setRemotePlayChannels(std::uint32_t mask) = 0;
    // The wall is in remote playback.
    virtual bool remotePlaybackShown() const = 0;
    // A local player exists: no remote playback starts.
    virtual bool localPlaybackActive() const = 0;
    // Where a running remote playback stands, also after the state was
    // cleared (choosing a day clears it while the playback goes on); none
    // when no remote playback runs.
    virtual std::optional<protocol::RecorderTime> runningPlaybackPosition() const = 0;
};

}  // namespace kalix::app

#pragma once
// How the session (and later every worker thread) reports to the front end.
//
// Each event stands for one message the main window or a dialog receives.
// Worker threads call post(); an implementation must only queue the event
// (the Qt front end hands it to the UI thread, kalix-cli to its main loop,
// tests record it) and must never call back into the session from post().

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "session/control_id.h"
#include "session/recorder_identity.h"
#include "session/remote_log_entry.h"

namespace kalix::session {

// The application's own window messages, by number.
enum class WindowMessage : std::uint16_t {
    WallPaneChanged = 21024,
    WallControl = 21025,
    Notice = 21030,
    ConfigurationStored = 21031,
    LocalPlayerState = 21032,
    FirmwareAccepted = 21034,
    FirmwareRefused = 21035,
    FirmwareDataReceived = 21036,
    FirmwareDataFailed = 21037,
    FirmwareDone = 21038,
    FirmwareFailed = 21039,
    MonthTableReady = 21044,
    EventListReady = 21045,
    DownloadMonthTableReady = 21046,
    DayTableReady = 21047,
    DownloadDayTableReady = 21048,
    PtzButton = 21049,
    LogEntriesReady = 21050,
    SystemInfoReady = 21051,
    StatusInfoReady = 21052,
    TalkAccepted = 21053,
    TalkEnded = 21054,
    PtzPreset = 21055,
    EventPageReady = 21056,
    ProgressOpen = 21064,
    ProgressPosition = 21065,
    ProgressClose = 21066,
    CreateAuxiliaryWindow = 21074,
    StartUpDone = 21075,
    RightsChanged = 21077,
    OpenEventJumpBar = 21078,
    LocalEventJump = 21079,
};

// Which window a notice or reply belongs to.
enum class Owner : std::uint8_t { MainWindow, RemoteSearch, EventList, Firmware };

// The kinds of operator notice the program raises; each kind has its texts
// and its buttons in the main window.
enum class NoticeKind : std::uint16_t {
    SocketFailed = 0x00,
    Connect = 0x01,           // 0 time-out, 1 refused
    ConnectionEnded = 0x02,   // the main window closes the session
    Bye = 0x03,               // the recorder ended the session, detail by reason
    NoRecordedData = 0x04,
    Live = 0x05,
    Request = 0x06,           // a request refused, detail by reason
    ConfigurationUpdate = 0x07,
    ConfigurationCrc = 0x09,
    ConfigurationStored = 0x0A,
    Firmware = 0x0B,
    Talk = 0x0C,
    NotAllowed = 0x0F,        // an operation that is not allowed or not available
    Version = 0x13,
};

// Operator notice: kind x 65536 + detail.
struct Notice {
    static Notice of(NoticeKind kind, std::uint16_t detail = 0, Owner owner = Owner::MainWindow) {
        return Notice{static_cast<std::uint16_t>(kind), detail, owner};
    }
    bool is(NoticeKind k) const { return kind == static_cast<std::uint16_t>(k); }

    std::uint16_t kind = 0;
    std::uint16_t detail = 0;
    Owner owner = Owner::MainWindow;

    std::uint32_t lParam() const { return (std::uint32_t{kind} << 16) | detail; }
    static Notice fromLParam(std::uint32_t lparam, Owner owner = Owner::MainWindow) {
        return Notice{static_cast<std::uint16_t>(lparam >> 16),
                      static_cast<std::uint16_t>(lparam & 0xFFFF), owner};
    }
    friend bool operator==(const Notice&, const Notice&) = default;
};

// A modal message box with a fixed text.
struct MessageBoxRequest {
    std::string text;
    friend bool operator==(const MessageBoxRequest&, const MessageBoxRequest&) = default;
};

enum class ButtonLook : std::uint8_t { Released, Pressed, Disabled };

// A main window control that a worker thread redraws.
struct ControlState {
    ControlId control;
    ButtonLook look;
    friend bool operator==(const ControlState&, const ControlState&) = default;
};

// The login answer was accepted: live view has been requested.
struct LoginAccepted {
    RecorderIdentity identity;
};

// The connect thread gave up. `session_closed`: the session already ran its
// close (time-out, refusal, no socket) and the owner should forget it; for
// other errors the session stays until the operator disconnects.
struct ConnectFailed {
    int error = 0;
    bool session_closed = false;
};

// LIVE_CHANNEL_INFO arrived: the channels the recorder sends live.
struct LiveChannels {
    std::uint32_t mask = 0;  // low 16 bits shown, high 16 video loss
};

// Any other window message, with its parameters.
struct WindowPost {
    WindowMessage message;
    Owner owner = Owner::MainWindow;
    std::uint32_t wparam = 0;
    std::uint32_t lparam = 0;
    friend bool operator==(const WindowPost&, const WindowPost&) = default;
};

// The answer to a month, day or event search, complete: whole records only
// (month 376 bytes, day and event 24). An empty answer has no records; a
// refusal is an empty answer marked refused (its notice comes separately).
enum class SearchKind : std::uint8_t { Month = 1, Day, Events, EventPage };

struct SearchAnswer {
    SearchKind kind = SearchKind::Month;
    std::vector<std::uint8_t> records;
    std::uint32_t word1 = 0;  // EventPage: words 1 and 2 of the answer
    std::uint32_t word2 = 0;
    bool refused = false;
    bool backup = false;  // TRANS_INFO_MONTH / TRANS_INFO_DAY: the backup calendar's

    static constexpr std::size_t recordSize(SearchKind kind) { return kind == SearchKind::Month ? 376 : 24; }
    std::size_t count() const { return records.size() / recordSize(kind); }
    std::span<const std::uint8_t> record(std::size_t i) const {
        const std::size_t size = recordSize(kind);
        return std::span<const std::uint8_t>(records).subspan(i * size, size);
    }
    friend bool operator==(const SearchAnswer&, const SearchAnswer&) = default;
};

// Remote playback began (PLAY_ON_ACK) or ended (the playback stop).
struct PlaybackChanged {
    bool on = false;
    friend bool operator==(const PlaybackChanged&, const PlaybackChanged&) = default;
};

// PLAY_ON_NACK (failed = false) or PLAY_ON_FAIL (true) has been handled:
// after a failure the session is back in live view.
struct PlaybackRefused {
    bool failed = false;
    friend bool operator==(const PlaybackRefused&, const PlaybackRefused&) = default;
};

// PLAY_CHANNEL_INFO: the channels of the playback.
struct PlayChannels {
    std::uint32_t mask = 0;
    friend bool operator==(const PlayChannels&, const PlayChannels&) = default;
};

// PTZ_CHANNEL_ACK: whether the PTZ channel has a PTZ camera (byte 0 = 1).
struct PtzChannelAnswer {
    int channel = 0;
    bool ptz = false;
    friend bool operator==(const PtzChannelAnswer&, const PtzChannelAnswer&) = default;
};

// The firmware upload's worker: after every piece but the last (end None),
// and once when it has ended (the finished look of the progress bar).
struct FirmwareProgress {
    enum class End : std::uint8_t { None, Complete, Stopped, NotOpened, ReadFailed, SendFailed };
    std::uint32_t tag = 0;  // what the owner gave the upload
    std::uint64_t sent = 0;
    std::uint64_t size = 0;
    int percent = 0;  // sent x 100 / size; 100 once the last piece is out
    End end = End::None;
    friend bool operator==(const FirmwareProgress&, const FirmwareProgress&) = default;
};

// What the administration feature changed; the owner reads the new state
// from the session.
enum class AdminChange : std::uint8_t {
    Rights = 1,     // the user's rights, index or preset byte
    Channels,       // titles, covert flags, live permissions or hiding
    Recording,      // the recording flag
    Cameras,        // CAM_INFO_CHANGE
    Blocks,         // a stored information block
    Configuration,  // a configuration block with a correct CRC (21031)
};

struct AdministrationChanged {
    AdminChange what = AdminChange::Rights;
    friend bool operator==(const AdministrationChanged&, const AdministrationChanged&) = default;
};

// A rights message was applied: what the owner closes or stops because the
// user lost a right. The search hub's tabs come as WindowPost 21077.
struct RightsApplied {
    bool close_search = false;         // the remote search dialog and the window it has open
    bool close_search_window = false;  // only the window the dialog has open
    bool stop_playback = false;
    bool stop_download = false;
    bool clear_remote_play = false;  // no search right: the remote-play state and the day copies go
    bool close_ptz = false;
    friend bool operator==(const RightsApplied&, const RightsApplied&) = default;
};

// The recorder answered one of our administrative requests.
enum class AdminRequest : std::uint8_t { RecordOn = 1, RecordOff, Reboot, DatabaseInit, ConfigUpdate };

struct AdminAnswer {
    AdminRequest request = AdminRequest::RecordOn;
    bool accepted = false;
    std::int32_t reason = 0;  // of a refusal
    bool recording = false;   // the recording flag after a record answer
    friend bool operator==(const AdminAnswer&, const AdminAnswer&) = default;
};

// The answer to "Calculate": TRANS_ON_ACK with the size of the range in KiB,
// or TRANS_ON_NACK (refused; its notices come separately).
struct DownloadSize {
    std::uint32_t kib = 0;
    bool refused = false;
    friend bool operator==(const DownloadSize&, const DownloadSize&) = default;
};

// One archive pair of a download closed, with what went into it.
struct ArchivePairClosed {
    std::string idx;  // paths of the two files
    std::string vid;
    std::uint32_t split_in = 0;   // the header's split time
    std::uint32_t split_out = 0;  // the .idx trailer's split time
    std::uint32_t blocks = 0;
    std::uint64_t video_units = 0;
    std::uint64_t audio_units = 0;
    std::uint64_t events = 0;
    friend bool operator==(const ArchivePairClosed&, const ArchivePairClosed&) = default;
};

// Why a transfer ended once TRANS_DATA_REQ had gone out.
enum class DownloadEndReason : std::uint8_t {
    Done = 1,    // TRANS_ON_DONE
    Failed,      // TRANS_ON_FAIL
    Cancelled,   // the operator's stop, or the session's close
    WriteError,  // a file could not be created or written
    Lost,        // the connection ended
};

// The transfer is over: the writer has closed its last pair and is gone.
struct DownloadEnded {
    DownloadEndReason reason = DownloadEndReason::Done;
    std::uint64_t bytes = 0;  // bytes of all units received
    std::string error;        // WriteError: the system's text
    friend bool operator==(const DownloadEnded&, const DownloadEnded&) = default;
};

using Event = std::variant<Notice, MessageBoxRequest, ControlState, LoginAccepted, ConnectFailed,
                           LiveChannels, WindowPost, SearchAnswer, PlaybackChanged, PlayChannels, PlaybackRefused,
                           LogAnswer, StatusAnswer, AdministrationChanged, RightsApplied, AdminAnswer,
                           PtzChannelAnswer, FirmwareProgress, DownloadSize, ArchivePairClosed, DownloadEnded>;

class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void post(Event event) = 0;
};

}  // namespace kalix::session

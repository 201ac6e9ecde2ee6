#pragma once
// The upgrade window's behaviour without widgets: rows with their check
// boxes, progress and statuses, and the upload of the checked modules one
// after the other.
//
// Start takes, from the current row on, the first row with a file whose box
// is checked, sends its request and uses up its file (each row is requested
// at most once per window). The recorder's acceptance starts the upload; its
// verdict sets the row's status and moves on to the next row. When no row is
// left the sequence is over: Start comes back, the rows that still have a
// file are enabled again and the current row is the first again.
//
// Just before the upload the file's header is read again: a file that
// changed since the scan (another stamp, another module, cut short) is not
// sent, as if it could not be opened.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "app/firmware_scan.h"
#include "session/dvr_session.h"
#include "session/event_sink.h"

namespace kalix::app {

// Status strings of a row.
inline constexpr int kFirmwareStopped = 5190;
inline constexpr int kFirmwareRefusedNotAllowed = 5083;  // refusal reason 1
inline constexpr int kFirmwareRefused17 = 5191;
inline constexpr int kFirmwareRefused18 = 5192;
inline constexpr int kFirmwareFailed = 5193;
inline constexpr int kFirmwareDone = 5194;
// The row labels are 5179 + row.
inline constexpr int kFirmwareRowLabelBase = 5179;

// How the window reaches the session.
class FirmwareLink {
public:
    virtual ~FirmwareLink() = default;
    virtual bool sendRequest(const FirmwareRequest& request) = 0;
    // The file of row `row` (from 1); progress comes back tagged with it.
    virtual void startUpload(const std::filesystem::path& file, int row) = 0;
    virtual void stopUpload() = 0;
};

// The link over a session: requests, the upload worker and its stop.
class SessionFirmwareLink final : public FirmwareLink {
public:
    explicit SessionFirmwareLink(session::DvrSession& dvr) : dvr_(dvr) {}
    bool sendRequest(const FirmwareRequest& request) override { return dvr_.firmwareRequest(request); }
    void startUpload(const std::filesystem::path& file, int row) override {
        dvr_.firmwareUpload(file, static_cast<std::uint32_t>(row));
    }
    void stopUpload() override { dvr_.firmwareStop(); }

private:
    session::DvrSession& dvr_;
};

enum class RowResult : std::uint8_t { None, Done, Refused, DataFailed, Failed, Stopped, NoAnswer };

struct UpgradeRow {
    int row = 0;
    std::uint8_t module = 0;
    std::optional<FirmwareSlot> slot;
    bool has_file = false;  // the slot's valid byte: cleared when its request goes out
    bool enabled = false;
    bool checked = false;
    int progress = 0;  // 0-100
    bool finished_look = false;
    std::optional<int> status;  // string id; none: empty
    RowResult result = RowResult::None;
    std::optional<std::int32_t> reason;
};

enum class UpgradeState : std::uint8_t { Idle, Requesting, Uploading, AwaitingVerdict };

class FirmwareUpgrade {
public:
    // What happened to a row, for a front end that reports as it goes.
    struct Listener {
        std::function<void(const UpgradeRow&)> requested;
        std::function<void(const UpgradeRow&)> skipped;  // its file changed since the scan: not requested
        std::function<void(const UpgradeRow&)> progress;
        std::function<void(const UpgradeRow&)> ended;  // result and status set
        std::function<void()> over;                    // the sequence is over
    };

    FirmwareUpgrade(const FirmwareScan& scan, std::span<const RecorderModule> modules, FirmwareLink& link);

    const std::vector<UpgradeRow>& rows() const { return rows_; }
    UpgradeState state() const { return state_; }
    bool startVisible() const { return state_ == UpgradeState::Idle; }
    bool startEnabled() const;
    bool boxesEnabled() const { return state_ != UpgradeState::Uploading; }
    int upgraded() const { return upgraded_; }
    std::optional<int> currentRow() const;  // the row whose request went out last, while not idle
    void setListener(Listener listener) { listener_ = std::move(listener); }

    // A check box; ignored for a disabled row or while uploading.
    void setChecked(int row, bool checked);
    void start();
    // The Stop button: the upload ends before its next piece, Start comes
    // back, the current row says "stopped".
    void stop();
    // The recorder did not answer in time: the row ends without a verdict
    // and the sequence is over.
    void noAnswer();

    // Events from the session: the window messages 21034-21039 and the
    // upload's progress.
    void onWindowPost(const session::WindowPost& post);
    void onProgress(const session::FirmwareProgress& progress);

private:
    void next();
    void endRow(RowResult result, std::optional<std::int32_t> reason, std::optional<int> status);
    UpgradeRow* current();

    std::vector<UpgradeRow> rows_;
    std::vector<RecorderModule> modules_;
    FirmwareLink& link_;
    Listener listener_;
    UpgradeState state_ = UpgradeState::Idle;
    std::size_t current_ = 0;  // index of the row asked for, or where the search starts
    bool row_open_ = false;    // the current row's request went out and it has not ended
    int upgraded_ = 0;
};

const char* rowResultName(RowResult result);

}  // namespace kalix::app

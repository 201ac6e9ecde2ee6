#pragma once
// The Backup tab of the remote search without its widgets: the range the
// operator picks (a day of the backup calendar with a time span, a
// date-and-time range, or one event), the channels, "Calculate" with the
// size the recorder answers and the capacity check against the free space
// of the storage folder, and "Backup".
//
// "Backup" is enabled only once a size has come back that fits with 100 MiB
// to spare; any change of the range clears the size and enables
// "Calculate" again. Everything here runs on the user-interface thread.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "app/backup_capacity.h"
#include "session/download.h"
#include "session/dvr_session.h"
#include "session/event_sink.h"

namespace kalix::app {

// What the page asks of the session.
class BackupRequests {
public:
    virtual ~BackupRequests() = default;
    // The backup calendar: TRANS_INFO_MONTH_REQ and TRANS_INFO_DAY_REQ.
    virtual void backupMonth() = 0;
    virtual void backupDay(int year, int month1, int day1) = 0;
    virtual void downloadSize(const session::DownloadRange& range) = 0;
    // Starts the transfer into the storage folder's Download folder.
    virtual bool downloadStart(const session::DownloadRange& range, std::uint32_t expected_kib) = 0;
    virtual bool downloading() const = 0;
};

inline constexpr std::uint32_t kDiskSpaceNotice = 0xD0000;
// An event backup covers the event's first minute.
inline constexpr std::uint32_t kEventBackupSeconds = 60;

class BackupPage {
public:
    struct Setup {
        BackupRequests& requests;
        // The free MiB of the storage folder (nothing: it cannot be asked,
        // as on a CD: counts as 0).
        std::function<std::optional<std::int64_t>()> free_mib;
        std::function<void(session::Notice)> notice;
        std::uint32_t channels = 0xFFFF;  // all the recorder has
    };
    explicit BackupPage(Setup setup);

    // The range: a time span (kinds 0x3F) or one event (1 << kind, its
    // first minute). Each change clears the size.
    void setTimeRange(protocol::RecorderTime start, protocol::RecorderTime end);
    void setEvent(std::uint8_t kind, protocol::RecorderTime time);
    void setChannels(std::uint32_t mask);
    const session::DownloadRange& range() const { return range_; }

    void calculate();                                  // "Calculate" (480)
    void onSize(const session::DownloadSize& size);    // the recorder's answer
    bool backup();                                     // "Backup" (482): true when it started

    bool calculateEnabled() const { return calculate_enabled_; }
    bool backupEnabled() const { return backup_enabled_; }
    bool pending() const { return pending_; }
    const std::string& capacityLabel() const { return label_; }
    std::optional<std::uint32_t> sizeKib() const { return kib_; }
    // free − size in MiB of the last shortage.
    std::optional<std::int64_t> shortage() const { return shortage_; }

private:
    void clearSize();

    Setup setup_;
    session::DownloadRange range_;
    bool calculate_enabled_ = true;
    bool backup_enabled_ = false;
    bool pending_ = false;
    std::string label_;
    std::optional<std::uint32_t> kib_;
    std::optional<std::int64_t> shortage_;
};

// The progress window of a download: opened, moved and closed by the
// writer's window posts; "Stop" ends the transfer.
class DownloadProgress {
public:
    void onWindowPost(const session::WindowPost& post);
    bool open() const { return open_; }
    std::uint32_t maximum() const { return maximum_; }
    std::uint32_t position() const { return position_; }

private:
    bool open_ = false;
    std::uint32_t maximum_ = 0;
    std::uint32_t position_ = 0;
};

// What the operator is told at the end of a download; empty for an end
// that needs no words (done, stopped, or one the recorder's notice tells).
std::string downloadEndText(const session::DownloadEnded& ended);

}  // namespace kalix::app

namespace kalix::app {

// The session's download requests, the pairs going to `folder`.
class SessionBackupRequests final : public BackupRequests {
public:
    SessionBackupRequests(session::DvrSession& session, std::filesystem::path folder)
        : session_(session), folder_(std::move(folder)) {}
    void backupMonth() override { session_.backupMonth(); }
    void backupDay(int year, int month1, int day1) override { session_.backupDay(year, month1, day1); }
    void downloadSize(const session::DownloadRange& range) override { session_.downloadSize(range); }
    bool downloadStart(const session::DownloadRange& range, std::uint32_t expected_kib) override;
    bool downloading() const override { return session_.downloading(); }

private:
    session::DvrSession& session_;
    std::filesystem::path folder_;
};

}  // namespace kalix::app

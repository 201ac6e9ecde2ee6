#include "app/backup_page.h"

#include <algorithm>

#include "archive/archive_format.h"
#include "session/archive_store.h"

namespace kalix::app {

BackupPage::BackupPage(Setup setup) : setup_(std::move(setup)) { range_.channels = setup_.channels; }

void BackupPage::clearSize() {
    label_.clear();
    kib_.reset();
    calculate_enabled_ = true;
    backup_enabled_ = false;
}

void BackupPage::setTimeRange(protocol::RecorderTime start, protocol::RecorderTime end) {
    range_.kinds = session::kAllRecordingKinds;
    range_.start = std::min(start, end);
    range_.end = std::max(start, end);
    clearSize();
}

void BackupPage::setEvent(std::uint8_t kind, protocol::RecorderTime time) {
    range_.kinds = static_cast<std::uint8_t>(1u << (kind & 7u));
    range_.start = time;
    range_.end = time + kEventBackupSeconds;
    clearSize();
}

void BackupPage::setChannels(std::uint32_t mask) {
    range_.channels = mask & setup_.channels;
    clearSize();
}

void BackupPage::calculate() {
    if (!calculate_enabled_ || pending_ || range_.channels == 0) return;
    calculate_enabled_ = false;
    pending_ = true;
    setup_.requests.downloadSize(range_);
}

void BackupPage::onSize(const session::DownloadSize& size) {
    if (!pending_) return;
    pending_ = false;
    if (size.refused) {
        clearSize();
        return;
    }
    const CapacityDisplay display = capacityDisplay(size.kib);
    const std::int64_t free_mib = setup_.free_mib ? setup_.free_mib().value_or(0) : 0;
    if (!capacityFits(free_mib, size.kib)) {
        shortage_ = spareMiB(free_mib, size.kib);
        clearSize();
        if (setup_.notice) setup_.notice(session::Notice::fromLParam(kDiskSpaceNotice));
        return;
    }
    label_ = display.text;
    kib_ = size.kib;
    calculate_enabled_ = size.kib == 0;
    backup_enabled_ = size.kib != 0 && !setup_.requests.downloading();
}

bool BackupPage::backup() {
    if (!backup_enabled_ || !kib_) return false;
    backup_enabled_ = false;
    return setup_.requests.downloadStart(range_, *kib_);
}

void DownloadProgress::onWindowPost(const session::WindowPost& post) {
    switch (post.message) {
    case session::WindowMessage::ProgressOpen:
        open_ = true;
        maximum_ = post.wparam;
        position_ = 0;
        break;
    case session::WindowMessage::ProgressPosition:
        position_ = post.wparam;
        break;
    case session::WindowMessage::ProgressClose: open_ = false; break;
    default: break;
    }
}

std::string downloadEndText(const session::DownloadEnded& ended) {
    if (ended.reason != session::DownloadEndReason::WriteError) return {};
    return "The backup stopped: the archive could not be written (" + ended.error +
           "). What was received before is kept.";
}

bool SessionBackupRequests::downloadStart(const session::DownloadRange& range, std::uint32_t expected_kib) {
    return session_.downloadStart(range, session::archiveStoreIn(folder_, archive::kDefaultSplitBytes), expected_kib);
}

}  // namespace kalix::app

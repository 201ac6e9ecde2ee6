#include "app/firmware_upgrade.h"

#include <algorithm>

namespace kalix::app {

using session::WindowMessage;

namespace {

std::optional<int> refusalStatus(std::int32_t reason) {
    switch (reason) {
    case 1: return kFirmwareRefusedNotAllowed;
    case 17: return kFirmwareRefused17;
    case 18: return kFirmwareRefused18;
    default: return std::nullopt;  // the status stays as it was
    }
}

}  // namespace

const char* rowResultName(RowResult result) {
    switch (result) {
    case RowResult::None: return "none";
    case RowResult::Done: return "done";
    case RowResult::Refused: return "refused";
    case RowResult::DataFailed: return "data_failed";
    case RowResult::Failed: return "failed";
    case RowResult::Stopped: return "stopped";
    case RowResult::NoAnswer: return "no_answer";
    }
    return "none";
}

FirmwareUpgrade::FirmwareUpgrade(const FirmwareScan& scan, std::span<const RecorderModule> modules,
                                 FirmwareLink& link)
    : modules_(modules.begin(), modules.end()), link_(link) {
    for (const FirmwareRow& r : scan.rows) {
        UpgradeRow row;
        row.row = r.row;
        row.module = r.module;
        row.slot = r.slot;
        row.has_file = row.enabled = row.checked = r.slot.has_value();
        rows_.push_back(std::move(row));
    }
}

bool FirmwareUpgrade::startEnabled() const {
    return state_ == UpgradeState::Idle &&
           std::any_of(rows_.begin(), rows_.end(), [](const UpgradeRow& r) { return r.enabled && r.checked; });
}

std::optional<int> FirmwareUpgrade::currentRow() const {
    if (!row_open_ || current_ >= rows_.size()) return std::nullopt;
    return rows_[current_].row;
}

UpgradeRow* FirmwareUpgrade::current() { return row_open_ && current_ < rows_.size() ? &rows_[current_] : nullptr; }

void FirmwareUpgrade::setChecked(int row, bool checked) {
    if (!boxesEnabled() || row < 1 || static_cast<std::size_t>(row) > rows_.size()) return;
    UpgradeRow& r = rows_[static_cast<std::size_t>(row) - 1];
    if (r.enabled) r.checked = checked;
}

void FirmwareUpgrade::start() {
    if (state_ != UpgradeState::Idle) return;
    next();
}

void FirmwareUpgrade::next() {
    while (current_ < rows_.size()) {
        UpgradeRow& r = rows_[current_];
        if (!(r.has_file && r.checked)) {
            ++current_;
            continue;
        }
        r.has_file = false;
        // The file is input from disk: one that changed since the scan is
        // not offered to the recorder.
        const FirmwareCheck now = readFirmwareHeader(r.slot->path, modules_);
        const auto* header = std::get_if<FirmwareHeader>(&now);
        if (!header || !(*header == r.slot->header)) {
            r.enabled = false;
            if (listener_.skipped) listener_.skipped(r);
            ++current_;
            continue;
        }
        state_ = UpgradeState::Requesting;
        row_open_ = true;
        r.progress = 0;
        r.finished_look = false;
        if (listener_.requested) listener_.requested(r);
        link_.sendRequest(r.slot->request());
        return;
    }
    state_ = UpgradeState::Idle;
    row_open_ = false;
    current_ = 0;
    for (UpgradeRow& r : rows_) r.enabled = r.has_file;
    if (listener_.over) listener_.over();
}

void FirmwareUpgrade::endRow(RowResult result, std::optional<std::int32_t> reason, std::optional<int> status) {
    UpgradeRow* r = current();
    if (!r) return;
    link_.stopUpload();
    r->result = result;
    r->reason = reason;
    if (status) r->status = status;
    row_open_ = false;
    if (listener_.ended) listener_.ended(*r);
}

void FirmwareUpgrade::stop() {
    if (state_ == UpgradeState::Idle) return;
    endRow(RowResult::Stopped, std::nullopt, kFirmwareStopped);
    state_ = UpgradeState::Idle;
    current_ = 0;
    for (UpgradeRow& r : rows_) r.enabled = r.has_file;
    if (listener_.over) listener_.over();
}

void FirmwareUpgrade::noAnswer() {
    if (state_ == UpgradeState::Idle) return;
    endRow(RowResult::NoAnswer, std::nullopt, std::nullopt);
    state_ = UpgradeState::Idle;
    current_ = 0;
    for (UpgradeRow& r : rows_) r.enabled = r.has_file;
    if (listener_.over) listener_.over();
}

void FirmwareUpgrade::onWindowPost(const session::WindowPost& post) {
    UpgradeRow* r = current();
    if (!r) return;  // nothing asked for: a stray answer
    const auto reason = static_cast<std::int32_t>(post.wparam);
    switch (post.message) {
    case WindowMessage::FirmwareAccepted:
        if (state_ != UpgradeState::Requesting) return;  // one upload per request
        state_ = UpgradeState::Uploading;
        link_.startUpload(r->slot->path, r->row);
        return;
    case WindowMessage::FirmwareRefused:
        endRow(RowResult::Refused, reason, refusalStatus(reason));
        break;
    case WindowMessage::FirmwareDataReceived:
        r->finished_look = true;
        return;
    case WindowMessage::FirmwareDataFailed:
        endRow(RowResult::DataFailed, reason, kFirmwareFailed);
        break;
    case WindowMessage::FirmwareDone:
        ++upgraded_;
        endRow(RowResult::Done, std::nullopt, kFirmwareDone);
        break;
    case WindowMessage::FirmwareFailed:
        endRow(RowResult::Failed, reason, kFirmwareFailed);
        break;
    default: return;
    }
    ++current_;
    next();
}

void FirmwareUpgrade::onProgress(const session::FirmwareProgress& progress) {
    UpgradeRow* r = current();
    if (!r || state_ != UpgradeState::Uploading || progress.tag != static_cast<std::uint32_t>(r->row)) return;
    const bool piece = progress.end == session::FirmwareProgress::End::None ||
                       (progress.end == session::FirmwareProgress::End::Complete && progress.size > 0);
    if (piece) {
        r->progress = std::clamp(progress.percent, 0, 100);
        if (listener_.progress) listener_.progress(*r);
    }
    if (progress.end != session::FirmwareProgress::End::None) {
        r->finished_look = true;
        state_ = UpgradeState::AwaitingVerdict;
    }
}

}  // namespace kalix::app

// kalix-cli firmware: log in, scan the upgrade folder as the upgrade window
// does and, unless --dry-run, upgrade every row that has a file, one after
// the other: the request, the file in 8,000-byte pieces, the verdict.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/firmware_upgrade.h"
#include "cli/admin_command.h"
#include "cli/commands/commands.h"
#include "cli/json_line.h"

namespace kalix::cli {
namespace {

using namespace std::chrono_literals;
using app::FirmwareUpgrade;
using app::RowResult;
using app::UpgradeRow;

// While our own pieces go out there is no answer to wait for; a recorder
// that stops reading makes the sends fail.
constexpr auto kUploadAllowance = 24h;

std::string stampText(std::optional<std::uint32_t> stamp) {
    return stamp ? std::to_string(*stamp) : std::string("-");
}

class FirmwareCommand final : public AdminCommand {
public:
    std::string_view usage() const override {
        return "usage: kalix-cli firmware [--dir DIR] [--dry-run] --host ADDR [--port N] --user NAME\n"
               "                          --password PASS [--settle S] [--timeout N] [--json]\n"
               "\n"
               "Logs in, gathers what the recorder sends for S seconds, scans DIR (default\n"
               "LOCATION/Upgrade) for firmware files the way the upgrade window does and\n"
               "lists every entry and every row. Without --dry-run\n"
               "each row with a file is upgraded in row order: the request, the file in\n"
               "8,000-byte pieces with the progress after each, the recorder's verdict.\n"
               "Exit status 0 when every row ended upgraded (or, with --dry-run, a file was\n"
               "found), 3 otherwise, 2 when DIR is not a folder.\n"
               "\n";
    }
    std::string_view optionHelp() const override {
        if (help_.empty())
            help_ = std::string(AdminCommand::optionHelp()) +
                    "  --dir DIR        firmware: the folder of firmware files (default LOCATION/Upgrade)\n"
                    "  --dry-run        firmware: scan and list, send nothing\n";
        return help_;
    }

    OptionArity adminOption(std::string_view name) const override {
        if (name == "--dir") return OptionArity::Value;
        if (name == "--dry-run") return OptionArity::Flag;
        return OptionArity::Unknown;
    }
    std::optional<UsageError> setAdminOption(std::string_view name, std::string_view value) override {
        if (name == "--dir") {
            if (value.empty()) return UsageError{"invalid folder", std::string(value)};
            dir_ = std::filesystem::path(value);
        } else {
            dry_run_ = true;
        }
        return std::nullopt;
    }

    bool prepareAdmin(const CommonOptions& common) override {
        if (!dir_) {
            const std::filesystem::path location =
                common.location.empty() ? std::filesystem::path(defaultLocation()) : std::filesystem::path(common.location);
            dir_ = location / "Upgrade";
        }
        std::error_code ec;
        if (!std::filesystem::is_directory(*dir_, ec)) {
            std::fprintf(stderr, "kalix-cli: not a folder '%s'\n", dir_->string().c_str());
            return false;
        }
        return true;
    }

    void work(SessionRun& run) override {
        const auto identity = run.session().identity();
        if (!identity) return failed(run);
        modules_ = app::recorderModules(*identity);
        const auto scan = app::scanUpgradeFolder(
            *dir_, modules_, app::firmwareRowCount(identity->product_major, identity->product_minor));
        printScan(scan, run);
        if (scan.accepted == 0) {
            run.out().notice(session::Notice::of(session::NoticeKind::Firmware, 1));
            return failed(run);
        }
        if (dry_run_) return done(run);
        link_ = std::make_unique<app::SessionFirmwareLink>(run.session());
        upgrade_ = std::make_unique<FirmwareUpgrade>(scan, modules_, *link_);
        FirmwareUpgrade::Listener listener;
        listener.requested = [this, &run](const UpgradeRow&) { waitForAnswer(run); };
        listener.skipped = [&run](const UpgradeRow& row) {
            // Not refuse(): the next rows still go.
            run.out().line(JsonLine("refused")
                               .add("reason", "the file changed since the scan: " + row.slot->file)
                               .str(),
                           "refused: the file changed since the scan: " + row.slot->file);
        };
        listener.progress = [&run](const UpgradeRow& row) {
            run.out().line(JsonLine("firmware_progress")
                               .add("row", std::int64_t{row.row})
                               .add("percent", std::int64_t{row.progress})
                               .str(),
                           "row " + std::to_string(row.row) + ": " + std::to_string(row.progress) + "%");
        };
        listener.ended = [this, &run](const UpgradeRow& row) { printResult(row, run); };
        listener.over = [this, &run] { over_ = true; (void)run; };
        upgrade_->setListener(std::move(listener));
        for (const auto& row : upgrade_->rows()) expected_ += row.has_file ? 1 : 0;
        upgrade_->start();
        finishIfOver(run);
    }

    void answer(const session::Event& event, SessionRun& run) override {
        if (!upgrade_) return;
        if (const auto* post = std::get_if<session::WindowPost>(&event)) {
            if (post->owner != session::Owner::Firmware) return;
            const bool accepted = post->message == session::WindowMessage::FirmwareAccepted;
            upgrade_->onWindowPost(*post);
            if (accepted && upgrade_->state() == app::UpgradeState::Uploading)
                run.setDeadline(std::chrono::steady_clock::now() + kUploadAllowance, RunEnd::NoAnswer);
            else if (!over_)
                waitForAnswer(run);
        } else if (const auto* progress = std::get_if<session::FirmwareProgress>(&event)) {
            upgrade_->onProgress(*progress);
            if (progress->end != session::FirmwareProgress::End::None) waitForAnswer(run);
        } else {
            return;
        }
        finishIfOver(run);
    }

    void beforeClose(SessionRun& /*run*/) override {
        // A row still waiting when the session ends had no verdict.
        if (upgrade_ && upgrade_->currentRow()) upgrade_->noAnswer();
    }

private:
    static std::string defaultLocation() {
        const char* home = std::getenv("HOME");
        return std::string(home ? home : ".") + "/Kalix";
    }

    void finishIfOver(SessionRun& run) {
        if (!over_) return;
        if (done_ == expected_) done(run); else failed(run);
    }

    void printScan(const app::FirmwareScan& scan, SessionRun& run) const {
        for (const auto& e : scan.entries) {
            JsonLine line("firmware_file");
            line.add("file", e.file);
            if (e.module) line.add("module", std::int64_t{*e.module}); else line.addRaw("module", "null");
            if (e.stamp) line.add("stamp", std::int64_t{*e.stamp}); else line.addRaw("stamp", "null");
            line.add("accepted", e.accepted);
            std::string text = "file " + e.file + ": ";
            if (e.module) {
                text += "module " + std::to_string(*e.module) + ", stamp " + stampText(e.stamp) +
                        (e.accepted ? ", accepted" : ", not newer");
            } else {
                text += e.refusal ? std::string(app::refusalText(*e.refusal)) : std::string("cannot be read");
            }
            run.out().line(line.str(), text);
        }
        for (const auto& r : scan.rows) {
            JsonLine line("firmware_row");
            line.add("row", std::int64_t{r.row}).add("module", std::int64_t{r.module});
            if (r.slot) line.add("file", r.slot->file); else line.addRaw("file", "null");
            run.out().line(line.str(), "row " + std::to_string(r.row) + " (module " + std::to_string(r.module) +
                                           "): " + (r.slot ? r.slot->file : std::string("-")));
        }
    }

    void printResult(const UpgradeRow& row, SessionRun& run) {
        if (row.result == RowResult::Done) ++done_;
        JsonLine line("firmware_result");
        line.add("row", std::int64_t{row.row})
            .add("module", std::int64_t{row.module})
            .add("result", app::rowResultName(row.result));
        if (row.reason) line.add("reason", std::int64_t{*row.reason}); else line.addRaw("reason", "null");
        // The status this verdict wrote; none when it left the row's status.
        const bool wrote = row.status && row.result != RowResult::NoAnswer &&
                           !(row.result == RowResult::Refused && row.reason &&
                             *row.reason != 1 && *row.reason != 17 && *row.reason != 18);
        if (wrote) line.add("status_id", std::int64_t{*row.status}); else line.addRaw("status_id", "null");
        run.out().line(line.str(), "row " + std::to_string(row.row) + " (module " + std::to_string(row.module) +
                                       "): " + app::rowResultName(row.result) +
                                       (row.reason ? ", reason " + std::to_string(*row.reason) : std::string()));
    }

    std::optional<std::filesystem::path> dir_;
    bool dry_run_ = false;
    mutable std::string help_;
    std::vector<app::RecorderModule> modules_;
    std::unique_ptr<app::SessionFirmwareLink> link_;
    std::unique_ptr<FirmwareUpgrade> upgrade_;
    bool over_ = false;
    int expected_ = 0;
    int done_ = 0;
};

}  // namespace

std::unique_ptr<SessionCommand> makeFirmwareCommand() { return std::make_unique<FirmwareCommand>(); }

}  // namespace kalix::cli

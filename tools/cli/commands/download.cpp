// kalix-cli download: log in, ask the recorder for the size of a range,
// check the free space of the output folder, download the range into
// archive pairs there, and close the session.

#include <charconv>
#include <chrono>
#include <optional>
#include <string>

#include "app/backup_capacity.h"
#include "archive/archive_format.h"
#include "cli/commands/commands.h"
#include "cli/time_arg.h"
#include "cli/json_line.h"
#include "protocol/recorder_time.h"
#include "session/archive_store.h"

namespace kalix::cli {
namespace {

using session::DownloadEndReason;

constexpr std::uint32_t kNoSpaceNotice = 0xD0000;
// Once the transfer runs, the recorder's pace decides; no time limit.
constexpr auto kTransferLimit = std::chrono::hours(24 * 365);

// Decimal or 0x-hex, bits 0-15, not 0.
std::optional<std::uint32_t> parseMask(std::string_view v) {
    unsigned mask = 0;
    const bool hex = v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X');
    const std::string_view digits = hex ? v.substr(2) : v;
    if (digits.empty() || digits[0] == '-' || digits[0] == '+') return std::nullopt;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), mask, hex ? 16 : 10);
    if (ec != std::errc() || end != digits.data() + digits.size() || mask < 1 || mask > 0xFFFF) return std::nullopt;
    return mask;
}

std::string_view reasonName(DownloadEndReason reason) {
    switch (reason) {
    case DownloadEndReason::Done: return "done";
    case DownloadEndReason::Failed: return "failed";
    case DownloadEndReason::Cancelled: return "cancelled";
    case DownloadEndReason::WriteError: return "write_error";
    case DownloadEndReason::Lost: return "lost";
    }
    return "failed";
}

class DownloadCommand final : public SessionCommand {
public:
    std::string_view usage() const override {
        return "usage: kalix-cli download --host ADDR [--port N] --user NAME --password PASS\n"
               "                          --channels MASK --from T1 --to T2 --out DIR\n"
               "                          [--split-bytes N] [--timeout N] [--json]\n"
               "\n"
               "Logs in, asks the recorder for the size of the range (TRANS_ON_REQ), checks\n"
               "that DIR's file system keeps 100 MiB free after it, downloads the range\n"
               "(TRANS_DATA_REQ) into archive pairs in DIR and closes the session.\n"
               "T: YYYY-MM-DDTHH:MM:SS on the recorder's clock, or seconds since 1970.\n"
               "MASK: decimal or 0x-hex, channels 0-15, not 0.\n"
               "Ends: done, failed, refused, empty, no_space, cancelled (SIGINT, SIGTERM),\n"
               "write_error, lost. Exit status 0 only for done.\n"
               "\n";
    }
    std::string_view optionHelp() const override {
        return "  --channels MASK  download: the channels of the range\n"
               "  --from T1        download: start of the range\n"
               "  --to T2          download: end of the range (not before T1)\n"
               "  --out DIR        download: folder of the archive pairs (made with its parents)\n"
               "  --split-bytes N  download: start a new pair past this .vid offset\n"
               "                   (default 681574400)\n";
    }

    OptionArity option(std::string_view name) const override {
        return name == "--channels" || name == "--from" || name == "--to" || name == "--out" ||
                       name == "--split-bytes"
                   ? OptionArity::Value
                   : OptionArity::Unknown;
    }
    std::optional<UsageError> setOption(std::string_view name, std::string_view value) override {
        if (name == "--out") {
            if (value.empty()) return UsageError{"invalid folder", std::string(value)};
            out_ = std::string(value);
        } else if (name == "--channels") {
            range_.channels = parseMask(value).value_or(0);
            if (range_.channels == 0) return UsageError{"invalid channel mask", std::string(value)};
        } else if (name == "--from" || name == "--to") {
            const auto t = parseTimeArg(value);
            if (!t) return UsageError{"invalid time", std::string(value)};
            (name == "--from" ? from_ : to_) = *t;
        } else {
            std::uint64_t n = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
            if (ec != std::errc() || end != value.data() + value.size() || n == 0)
                return UsageError{"invalid split size", std::string(value)};
            split_bytes_ = n;
        }
        return std::nullopt;
    }
    std::optional<UsageError> checkOptions(const CommonOptions&) const override {
        if (range_.channels == 0) return UsageError{"missing", "--channels"};
        if (!from_) return UsageError{"missing", "--from"};
        if (!to_) return UsageError{"missing", "--to"};
        if (out_.empty()) return UsageError{"missing", "--out"};
        if (*from_ > *to_) return UsageError{"--from is after --to", std::to_string(*from_)};
        return std::nullopt;
    }

    bool prepare(const CommonOptions& common) override {
        answer_limit_ = common.answer_limit;
        range_.start = *from_;
        range_.end = *to_;
        return true;
    }

    void loginAccepted(SessionRun& run) override {
        run.setDeadline(std::chrono::steady_clock::now() + answer_limit_, RunEnd::NoAnswer);
        run.session().downloadSize(range_);
    }

    void event(const session::Event& event, SessionRun& run) override {
        if (const auto* size = std::get_if<session::DownloadSize>(&event)) {
            onSize(*size, run);
        } else if (const auto* post = std::get_if<session::WindowPost>(&event)) {
            if (post->message == session::WindowMessage::ProgressPosition && started_)
                run.out().line(JsonLine("download_progress").add("kib", std::int64_t{post->wparam}).str(),
                               "downloaded " + std::to_string(post->wparam) + " KiB");
        } else if (const auto* pair = std::get_if<session::ArchivePairClosed>(&event)) {
            printPair(*pair, run);
        } else if (const auto* ended = std::get_if<session::DownloadEnded>(&event)) {
            printEnd(reasonName(ended->reason), ended->bytes, ended->error, run);
            switch (ended->reason) {
            case DownloadEndReason::Done: run.endRun(RunEnd::ClosedByClient); break;
            case DownloadEndReason::Lost: run.endRun(RunEnd::EndedByRecorder); break;
            default: run.endRun(RunEnd::Refused); break;
            }
        }
    }

    void interrupted(SessionRun& run) override {
        // Cancelled: the session's close stops a running transfer and
        // reports its end; before the transfer there is nothing to stop.
        if (!started_) printEnd("cancelled", 0, {}, run);
        run.endRun(RunEnd::Refused);
    }

private:
    void onSize(const session::DownloadSize& size, SessionRun& run) {
        if (run.ending() || started_ || end_printed_) return;
        if (size.refused) {
            printEnd("refused", 0, {}, run);
            run.endRun(RunEnd::Refused);
            return;
        }
        run.out().line(JsonLine("download_size").add("kib", std::int64_t{size.kib}).str(),
                       "download size " + std::to_string(size.kib) + " KiB");
        if (size.kib == 0) {
            printEnd("empty", 0, {}, run);
            run.endRun(RunEnd::Refused);
            return;
        }
        const std::int64_t free_mib = app::freeMiB(out_).value_or(0);
        if (!app::capacityFits(free_mib, size.kib)) {
            run.out().notice(session::Notice::fromLParam(kNoSpaceNotice));
            printEnd("no_space", 0, {}, run);
            run.endRun(RunEnd::Refused);
            return;
        }
        started_ = run.session().downloadStart(range_, session::archiveStoreIn(out_, split_bytes_), size.kib);
        run.setDeadline(std::chrono::steady_clock::now() + kTransferLimit, RunEnd::NoAnswer);
    }

    void printPair(const session::ArchivePairClosed& p, SessionRun& run) const {
        run.out().line(JsonLine("archive_pair")
                           .add("idx", p.idx)
                           .add("vid", p.vid)
                           .add("split_in", std::int64_t{p.split_in})
                           .add("split_out", std::int64_t{p.split_out})
                           .add("blocks", std::int64_t{p.blocks})
                           .add("video_units", static_cast<std::int64_t>(p.video_units))
                           .add("audio_units", static_cast<std::int64_t>(p.audio_units))
                           .add("events", static_cast<std::int64_t>(p.events))
                           .str(),
                       "archive pair " + p.idx + ": " + std::to_string(p.blocks) + " blocks, " +
                           std::to_string(p.video_units) + " video units, " + std::to_string(p.audio_units) +
                           " audio units, " + std::to_string(p.events) + " events");
    }

    void printEnd(std::string_view reason, std::uint64_t bytes, const std::string& error, SessionRun& run) {
        if (end_printed_) return;
        end_printed_ = true;
        JsonLine line("download_end");
        line.add("reason", std::string(reason)).add("bytes", static_cast<std::int64_t>(bytes));
        std::string text = "download ended: " + std::string(reason) + ", " + std::to_string(bytes) + " bytes";
        if (!error.empty()) {
            line.add("error", error);
            text += " (" + error + ")";
        }
        run.out().line(line.str(), text);
    }

    session::DownloadRange range_;
    std::optional<protocol::RecorderTime> from_;
    std::optional<protocol::RecorderTime> to_;
    std::string out_;
    std::uint64_t split_bytes_ = archive::kDefaultSplitBytes;
    std::chrono::seconds answer_limit_{30};
    bool started_ = false;
    bool end_printed_ = false;
};

}  // namespace

std::unique_ptr<SessionCommand> makeDownloadCommand() { return std::make_unique<DownloadCommand>(); }

}  // namespace kalix::cli

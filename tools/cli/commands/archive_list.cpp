// kalix-cli archive list DIR: the local catalogue of a folder of archive
// pairs, pair by pair, then the blocks, the events, and what was left out.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/local_catalogue.h"
#include "cli/commands/archive_commands.h"
#include "cli/event_printer.h"
#include "cli/json_line.h"
#include "protocol/recorder_time.h"

namespace kalix::cli {
namespace {

constexpr const char* kListUsage =
    "usage: kalix-cli archive list DIR [--json]\n"
    "Lists the archive pairs (.idx/.vid) of DIR in playing order, their blocks,\n"
    "their alarm, motion and audio events, and every .idx left out with the reason.\n";

std::string hex(std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", v);
    return text;
}

std::string flag(bool b) { return b ? "1" : "0"; }

void printCatalogue(const EventPrinter& out, const archive::LocalCatalogue& cat) {
    using protocol::recorderTimeText;
    for (const auto& p : cat.pairs) {
        out.line(JsonLine("pair")
                     .add("idx", p.idx_path.string())
                     .add("vid", p.vid_path.string())
                     .add("key", std::int64_t{p.key})
                     .add("split_in", std::int64_t{p.split_in})
                     .add("split_out", std::int64_t{p.split_out})
                     .add("first", std::int64_t{p.first_time})
                     .add("last", std::int64_t{p.last_time})
                     .add("blocks", std::int64_t{p.blocks})
                     .add("join_previous", p.join_previous)
                     .add("join_next", p.join_next)
                     .str(),
                 "pair " + p.idx_path.string() + " key " + hex(p.key) + " " + recorderTimeText(p.first_time) +
                     " - " + recorderTimeText(p.last_time) + " blocks " + std::to_string(p.blocks) + " split " +
                     std::to_string(p.split_in) + "/" + std::to_string(p.split_out) + " join " +
                     flag(p.join_previous) + flag(p.join_next));
    }
    for (const auto& s : cat.segments) {
        out.line(JsonLine("segment")
                     .add("block", std::int64_t{s.block_index})
                     .add("start", std::int64_t{s.start_time})
                     .add("end", std::int64_t{s.end_time})
                     .add("video_mask", std::int64_t{s.video_mask})
                     .add("audio_mask", std::int64_t{s.audio_mask})
                     .add("begin", static_cast<std::int64_t>(s.block_begin))
                     .add("end_offset", static_cast<std::int64_t>(s.block_end))
                     .str(),
                 "segment " + s.media_path.filename().string() + " block " + std::to_string(s.block_index) + " " +
                     recorderTimeText(s.start_time) + " - " + recorderTimeText(s.end_time) + " video 0x" +
                     hex(s.video_mask) + " audio 0x" + hex(s.audio_mask) + " offsets " +
                     std::to_string(s.block_begin) + "-" + std::to_string(s.block_end));
    }
    for (const auto& e : cat.events) {
        const auto& idx = cat.pairs[e.pair].idx_path;
        out.line(JsonLine("archive_event")
                     .add("idx", idx.string())
                     .add("time", std::int64_t{e.time})
                     .add("time2", std::int64_t{e.time2})
                     .add("channels", std::int64_t{e.channels})
                     .add("kind", std::int64_t{e.kind})
                     .add("number", std::int64_t{e.number})
                     .str(),
                 "event " + idx.filename().string() + " " + recorderTimeText(e.time) + " kind " +
                     std::to_string(e.kind) + " #" + std::to_string(e.number) + " channels 0x" + hex(e.channels));
    }
    for (const auto& s : cat.skipped)
        out.line(JsonLine("skipped").add("path", s.path.string()).add("reason", s.reason).str(),
                 "skipped " + s.path.string() + ": " + s.reason);
}

}  // namespace

RunEnd runArchiveList(std::span<const std::string_view> args) {
    std::optional<std::string_view> dir;
    LineFormat format = LineFormat::Text;
    for (const auto arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(kListUsage, stdout);
            return RunEnd::HelpShown;
        }
        if (arg == "--json") {
            format = LineFormat::Json;
        } else if (!arg.empty() && arg[0] != '-' && !dir) {
            dir = arg;
        } else {
            std::fprintf(stderr, "kalix-cli archive list: unexpected '%.*s'\n%s", static_cast<int>(arg.size()),
                         arg.data(), kListUsage);
            return RunEnd::UsageError;
        }
    }
    if (!dir) {
        std::fprintf(stderr, "kalix-cli archive list: DIR is missing\n%s", kListUsage);
        return RunEnd::UsageError;
    }
    const EventPrinter out(format);
    const std::filesystem::path folder(*dir);
    std::error_code ec;
    RunEnd end = RunEnd::LocalDone;
    if (!std::filesystem::is_directory(folder, ec)) {
        const std::string reason = "not a folder: " + folder.string();
        out.line(JsonLine("error").add("reason", reason).str(), "error: " + reason);
        end = RunEnd::LocalFailed;
    } else {
        printCatalogue(out, archive::buildLocalCatalogue(folder));
    }
    const int status = exitStatus(end);
    out.line(JsonLine("done").add("exit", std::int64_t{status}).str(), "done, exit " + std::to_string(status));
    return end;
}

}  // namespace kalix::cli

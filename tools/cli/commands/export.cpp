// kalix-cli export: one channel of the archive pairs of a folder (or of one
// .idx) as an MP4 file, the pictures remuxed without re-encoding.

#include <cstdio>
#include <optional>
#include <string>

#include "archive/mp4_export.h"
#include "cli/commands/commands.h"
#include "cli/json_line.h"
#include "cli/local_command.h"
#include "cli/time_arg.h"

namespace kalix::cli {
namespace {

constexpr const char* kUsage =
    "usage: kalix-cli export PATH --channel C --out FILE.mp4 [--from T1] [--to T2] [--json]\n"
    "\n"
    "Writes channel C (0-15) of the archive pairs in the folder PATH, or of the one\n"
    "pair PATH.idx, to FILE.mp4: the recorder's pictures unchanged, from the first\n"
    "key frame at or after T1 to the last picture at or before T2 (YYYY-MM-DDTHH:MM:SS\n"
    "on the recorder's clock, or seconds since 1970). Without T1 from the first\n"
    "picture, without T2 to the last one; the export stops before a change of\n"
    "picture size. Exit status 3, and no file, when the range holds no key frame of\n"
    "the channel or the archive or the file fails.\n";

struct Options {
    std::string path;
    std::optional<unsigned> channel;
    std::string out;
    std::optional<protocol::RecorderTime> from;
    std::optional<protocol::RecorderTime> to;
    LineFormat format = LineFormat::Text;
};

std::optional<UsageError> parse(std::span<const std::string_view> args, Options& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (a == "--json") {
            o.format = LineFormat::Json;
            continue;
        }
        if (a == "--channel" || a == "--out" || a == "--from" || a == "--to") {
            if (i + 1 >= args.size()) return UsageError{"missing value for", std::string(a)};
            const std::string_view v = args[++i];
            if (a == "--channel") {
                unsigned c = 0;
                if (!parseNumber(v, c) || c > 15) return UsageError{"invalid channel", std::string(v)};
                o.channel = c;
            } else if (a == "--out") {
                if (v.empty()) return UsageError{"invalid output file", std::string(v)};
                o.out = v;
            } else {
                const auto t = parseTimeArg(v);
                if (!t) return UsageError{"invalid time", std::string(v)};
                (a == "--from" ? o.from : o.to) = t;
            }
            continue;
        }
        if (a.starts_with("--") || !o.path.empty()) return UsageError{"unknown option", std::string(a)};
        if (a.empty()) return UsageError{"missing", "PATH"};
        o.path = a;
    }
    if (o.path.empty()) return UsageError{"missing", "PATH"};
    if (!o.channel) return UsageError{"missing", "--channel"};
    if (o.out.empty()) return UsageError{"missing", "--out"};
    if (o.from && o.to && *o.from > *o.to) return UsageError{"--from is later than", "--to"};
    return std::nullopt;
}

int run(const Options& o, const EventPrinter& out) {
    namespace fs = std::filesystem;
    std::error_code ec;
    archive::CatalogueRequest request;
    request.time = o.from;
    request.events = false;
    archive::LocalCatalogue catalogue;
    if (fs::is_directory(o.path, ec)) {
        catalogue = archive::buildLocalCatalogue(fs::path(o.path), request);
    } else if (fs::is_regular_file(o.path, ec)) {
        catalogue = archive::buildLocalCatalogue(std::vector<fs::path>{o.path}, request);
    } else {
        printLocalError(out, o.path + ": no such folder or file");
        return 3;
    }
    archive::ExportRequest what;
    what.channel = static_cast<std::uint8_t>(*o.channel);
    what.from = o.from;
    what.to = o.to;
    what.out = o.out;
    const archive::ExportResult result = archive::exportMp4(catalogue, what);
    if (!result.ok()) {
        printLocalError(out, result.reason);
        return 3;
    }
    out.line(JsonLine("exported")
                 .add("path", o.out)
                 .add("frames", static_cast<std::int64_t>(result.frames))
                 .add("width", std::int64_t{result.width})
                 .add("height", std::int64_t{result.height})
                 .str(),
             "exported " + std::to_string(result.frames) + " pictures of " + std::to_string(result.width) + "x" +
                 std::to_string(result.height) + " to " + o.out);
    return 0;
}

}  // namespace

RunEnd runExportCommand(std::span<const std::string_view> args) {
    return runLocalCommand<Options>(args, kUsage, parse, run);
}

}  // namespace kalix::cli

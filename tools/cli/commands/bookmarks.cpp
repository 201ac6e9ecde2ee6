// kalix-cli bookmarks: list, add, delete and clear the bookmarks in
// DIR/Log/BookMarkInfo.log, the file the desktop's bookmark list keeps.

#include <cstdio>
#include <optional>
#include <string>

#include "app/bookmark_list.h"
#include "cli/commands/commands.h"
#include "cli/json_line.h"
#include "cli/local_command.h"
#include "cli/time_arg.h"

namespace kalix::cli {
namespace {

constexpr const char* kUsage =
    "usage: kalix-cli bookmarks --location DIR (list | add --time T --note TEXT [--path VID]\n"
    "                           | delete --slot I | clear) [--json]\n"
    "\n"
    "The bookmarks of the storage location DIR (DIR/Log/BookMarkInfo.log).\n"
    "  list              every bookmark in use, with its slot\n"
    "  add               a bookmark at T (YYYY-MM-DDTHH:MM:SS or seconds since 1970)\n"
    "                    with the note TEXT and the .vid path VID, in the first free slot\n"
    "  delete --slot I   removes bookmark I (0-63); the later ones move down\n"
    "  clear             removes every bookmark; the file keeps its size\n"
    "Exit status 0 on success, 2 for a refused command line, 3 when the file is\n"
    "full, the slot is free or the file cannot be written.\n";

enum class Action { None, List, Add, Delete, Clear };

struct Options {
    std::string location;
    Action action = Action::None;
    std::optional<protocol::RecorderTime> time;
    std::optional<std::string> note;
    std::string path;
    std::optional<unsigned> slot;
    LineFormat format = LineFormat::Text;
};

std::optional<Action> actionNamed(std::string_view name) {
    if (name == "list") return Action::List;
    if (name == "add") return Action::Add;
    if (name == "delete") return Action::Delete;
    if (name == "clear") return Action::Clear;
    return std::nullopt;
}

// Nothing on success; the refusal otherwise.
std::optional<UsageError> parse(std::span<const std::string_view> args, Options& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        const auto value = [&]() -> std::optional<std::string_view> {
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
        };
        if (a == "--json") {
            o.format = LineFormat::Json;
        } else if (a == "--location" || a == "--time" || a == "--note" || a == "--path" || a == "--slot") {
            const auto v = value();
            if (!v) return UsageError{"missing value for", std::string(a)};
            if (a == "--location") {
                o.location = *v;
            } else if (a == "--time") {
                o.time = parseTimeArg(*v);
                if (!o.time) return UsageError{"invalid time", std::string(*v)};
            } else if (a == "--note") {
                o.note = std::string(*v);
            } else if (a == "--path") {
                o.path = *v;
            } else {
                unsigned slot = 0;
                if (!parseNumber(*v, slot) || slot >= app::kBookmarkSlots)
                    return UsageError{"invalid slot", std::string(*v)};
                o.slot = slot;
            }
        } else if (const auto action = actionNamed(a)) {
            if (o.action != Action::None) return UsageError{"one action at a time:", std::string(a)};
            o.action = *action;
        } else {
            return UsageError{"unknown option", std::string(a)};
        }
    }
    if (o.location.empty()) return UsageError{"missing", "--location"};
    if (o.action == Action::None) return UsageError{"missing action", "list|add|delete|clear"};
    const bool adding = o.action == Action::Add;
    if (!adding && (o.time || o.note || !o.path.empty()))
        return UsageError{"--time, --note and --path go with", "add"};
    if (adding && !o.time) return UsageError{"missing", "--time"};
    if (adding && (!o.note || o.note->empty())) return UsageError{"missing or empty", "--note"};
    if ((o.action == Action::Delete) != o.slot.has_value()) return UsageError{"--slot goes with", "delete"};
    return std::nullopt;
}

void printBookmark(const EventPrinter& out, std::size_t slot, const app::Bookmark& b) {
    out.line(JsonLine("bookmark")
                 .add("slot", static_cast<std::int64_t>(slot))
                 .add("time", std::int64_t{b.time})
                 .add("note", b.note)
                 .add("path", b.path)
                 .str(),
             "bookmark " + std::to_string(slot) + ": " + protocol::recorderTimeText(b.time) + "  " + b.note +
                 (b.path.empty() ? "" : "  (" + b.path + ")"));
}

int run(const Options& o, const EventPrinter& out) {
    const app::BookmarkFile file(o.location);
    switch (o.action) {
    case Action::List: {
        const app::BookmarkArray a = file.read();
        for (std::size_t i = 0; i < app::kBookmarkSlots; ++i)
            if (app::recordInUse(a.records[i])) printBookmark(out, i, app::recordBookmark(a.records[i]));
        return 0;
    }
    case Action::Add: {
        const auto slot = file.findFreeSlot();
        if (!slot) {
            out.notice(session::Notice{app::kBookmarkFullNoticeKind, 0, session::Owner::MainWindow});
            return 3;
        }
        if (file.writeRecord(*slot, app::makeRecord({*o.time, *o.note, o.path})) != app::BookmarkWrite::Written) {
            printLocalError(out, "cannot write " + file.path().string());
            return 3;
        }
        out.line(JsonLine("bookmark_added").add("slot", static_cast<std::int64_t>(*slot)).str(),
                 "bookmark added in slot " + std::to_string(*slot));
        return 0;
    }
    case Action::Delete: {
        app::BookmarkArray a = file.read();
        if (!app::recordInUse(a.records[*o.slot])) {
            printLocalError(out, "slot " + std::to_string(*o.slot) + " holds no bookmark");
            return 3;
        }
        app::removeRecord(a, *o.slot);
        if (file.writeBack(a) != app::BookmarkWrite::Written) {
            printLocalError(out, "cannot write " + file.path().string());
            return 3;
        }
        return 0;
    }
    case Action::Clear:
        if (file.writeBack(app::BookmarkArray{}) != app::BookmarkWrite::Written) {
            printLocalError(out, "cannot write " + file.path().string());
            return 3;
        }
        return 0;
    case Action::None:
        break;
    }
    return 3;
}

}  // namespace

RunEnd runBookmarksCommand(std::span<const std::string_view> args) {
    return runLocalCommand<Options>(args, kUsage, parse, run);
}

}  // namespace kalix::cli

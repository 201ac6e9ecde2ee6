#pragma once
// Every kalix-cli command. A new command is a file in this folder plus its
// line here: its factory (or run function) and its entry in kCommands.

#include <memory>
#include <span>
#include <string_view>

#include "cli/run_end.h"
#include "cli/session_runner.h"

namespace kalix::cli {

std::unique_ptr<SessionCommand> makeLoginCommand();
std::unique_ptr<SessionCommand> makeLiveCommand();
std::unique_ptr<SessionCommand> makeTalkCommand();
std::unique_ptr<SessionCommand> makeSearchCommand();
std::unique_ptr<SessionCommand> makePlayCommand();
std::unique_ptr<SessionCommand> makeLogsCommand();
std::unique_ptr<SessionCommand> makeInfoCommand();
std::unique_ptr<SessionCommand> makePtzCommand();
std::unique_ptr<SessionCommand> makeSnapshotCommand();
std::unique_ptr<SessionCommand> makeFirmwareCommand();
std::unique_ptr<SessionCommand> makeStatusCommand();
std::unique_ptr<SessionCommand> makeRecordCommand();
std::unique_ptr<SessionCommand> makeRebootCommand();
std::unique_ptr<SessionCommand> makeDbInitCommand();
std::unique_ptr<SessionCommand> makeDownloadCommand();

using RunCommand = RunEnd (*)(std::span<const std::string_view> args);

// Commands without a recorder session.
RunEnd runArchive(std::span<const std::string_view> args);
// config get|set: the word after the command chooses the command.
RunEnd runConfigCommand(std::span<const std::string_view> args);
// Commands on local files, with no recorder.
RunEnd runBookmarksCommand(std::span<const std::string_view> args);
RunEnd runExportCommand(std::span<const std::string_view> args);

// A command over a recorder session, run by the session runner.
template <std::unique_ptr<SessionCommand> (*make)()>
RunEnd runSessionCommand(std::span<const std::string_view> args) {
    const auto command = make();
    return runSession(*command, args);
}

// logs: a session command, or the local operation log without a session.
RunEnd runLogsCommand(std::span<const std::string_view> args);

struct CommandEntry {
    std::string_view name;
    std::string_view summary;  // one line of kalix-cli's own usage
    RunCommand run;
};

inline constexpr CommandEntry kCommands[] = {
    {"login", "log in to a recorder, keep the session, close it", &runSessionCommand<makeLoginCommand>},
    {"live", "log in, run live view, record picture checksums, snapshots and sound",
     &runSessionCommand<makeLiveCommand>},
    {"talk", "log in and speak a WAV file to the recorder's site", &runSessionCommand<makeTalkCommand>},
    {"search", "log in and list the recorder's recorded days, stretches or events",
     &runSessionCommand<makeSearchCommand>},
    {"play", "log in, play recordings, record picture checksums and snapshots", &runSessionCommand<makePlayCommand>},
    {"archive", "list (and play) the archive pairs of a folder", &runArchive},
    {"logs", "log in and list one page of the recorder's log, or the local log; print it to PDF", &runLogsCommand},
    {"info", "log in and list the recorder's system or status information", &runSessionCommand<makeInfoCommand>},
    {"ptz", "log in and steer the PTZ camera of a channel", &runSessionCommand<makePtzCommand>},
    {"snapshot", "log in and save a channel's first live picture as a still", &runSessionCommand<makeSnapshotCommand>},
    {"firmware", "log in and upgrade the recorder's firmware from the upgrade folder",
     &runSessionCommand<makeFirmwareCommand>},
    {"status", "log in and print the recording state, the user's rights and the channels",
     &runSessionCommand<makeStatusCommand>},
    {"record", "log in and press the record button: recording on or off", &runSessionCommand<makeRecordCommand>},
    {"reboot", "log in and ask the recorder to reboot", &runSessionCommand<makeRebootCommand>},
    {"db-init", "log in and ask the recorder to initialise its database", &runSessionCommand<makeDbInitCommand>},
    {"config", "log in and get or set the recorder's configuration block", &runConfigCommand},
    {"download", "log in and download a range of recordings into archive pairs",
     &runSessionCommand<makeDownloadCommand>},
    {"bookmarks", "list, add, delete or clear the bookmarks of a storage location", &runBookmarksCommand},
    {"export", "write one channel of archive pairs as an MP4 file", &runExportCommand},
};

// The whole command line after the program's name: the command and its
// options, or kalix-cli's own usage.
RunEnd runCli(std::span<const std::string_view> args);

}  // namespace kalix::cli

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

using RunCommand = RunEnd (*)(std::span<const std::string_view> args);

// Commands without a recorder session.
RunEnd runArchive(std::span<const std::string_view> args);

// A command over a recorder session, run by the session runner.
template <std::unique_ptr<SessionCommand> (*make)()>
RunEnd runSessionCommand(std::span<const std::string_view> args) {
    const auto command = make();
    return runSession(*command, args);
}

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
};

// The whole command line after the program's name: the command and its
// options, or kalix-cli's own usage.
RunEnd runCli(std::span<const std::string_view> args);

}  // namespace kalix::cli

// kalix-cli config get|set: log in, gather what the recorder sends for
// --settle seconds, then write the recorder's configuration block to a file
// (get) or send a file back as the new block (set).

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/admin_command.h"
#include "cli/commands/commands.h"
#include "cli/json_line.h"
#include "protocol/crc32.h"

namespace kalix::cli {
namespace {

using session::AdminAnswer;
using session::AdminRequest;
using session::AdminSend;

enum class Mode { Get, Set };

constexpr std::string_view kUsage =
    "usage: kalix-cli config get --out FILE --host ADDR [--port N] --user NAME --password PASS\n"
    "                            [--settle S] [--json]\n"
    "       kalix-cli config set --in FILE --host ADDR [--port N] --user NAME --password PASS\n"
    "                            [--settle S] [--timeout N] [--json]\n"
    "\n"
    "get: writes the configuration block the recorder sent after the login (without\n"
    "its CRC word) to FILE and prints its size and CRC-32; refused when none came.\n"
    "set: sends FILE as the new block (CRC-32 first); FILE must have the length of\n"
    "the recorder's block, and the whole message at most 65,535 bytes. Done when the\n"
    "recorder has stored it (notice 10.0).\n"
    "\n";

std::optional<std::vector<std::uint8_t>> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

class ConfigCommand final : public AdminCommand {
public:
    explicit ConfigCommand(Mode mode) : mode_(mode) {}

    std::string_view usage() const override { return kUsage; }

    OptionArity adminOption(std::string_view name) const override {
        if ((mode_ == Mode::Get && name == "--out") || (mode_ == Mode::Set && name == "--in"))
            return OptionArity::Value;
        return OptionArity::Unknown;
    }
    std::optional<UsageError> setAdminOption(std::string_view, std::string_view value) override {
        if (value.empty()) return UsageError{"missing file name for", mode_ == Mode::Get ? "--out" : "--in"};
        path_ = value;
        return std::nullopt;
    }
    std::optional<UsageError> checkOptions(const CommonOptions&) const override {
        if (path_.empty()) return UsageError{"missing", mode_ == Mode::Get ? "--out" : "--in"};
        return std::nullopt;
    }
    bool prepareAdmin(const CommonOptions&) override {
        if (mode_ == Mode::Get) return true;
        auto bytes = readFile(path_);
        if (!bytes) {
            std::fprintf(stderr, "kalix-cli: cannot read '%s'\n", path_.c_str());
            return false;
        }
        block_ = std::move(*bytes);
        return true;
    }

    void work(SessionRun& run) override {
        if (mode_ == Mode::Get) {
            const auto block = run.session().administration().configBlock();
            if (block.empty()) return refuse(run, "no configuration block received");
            if (!writeFile(path_, block)) return refuse(run, "cannot write " + path_);
            run.out().line(JsonLine("config")
                               .add("size", static_cast<std::int64_t>(block.size()))
                               .add("crc", std::int64_t{protocol::crc32(block)})
                               .str(),
                           "configuration block: " + std::to_string(block.size()) + " bytes, CRC-32 " +
                               std::to_string(protocol::crc32(block)));
            return done(run);
        }
        switch (run.session().configUpdate(block_)) {
        case AdminSend::Sent: return waitForAnswer(run);
        case AdminSend::NoBlock: return refuse(run, "no configuration block received");
        case AdminSend::WrongSize: return refuse(run, "file length differs from the recorder's block");
        case AdminSend::TooLarge: return refuse(run, "block too large for one message (over 65,535 bytes)");
        default: return failed(run);
        }
    }

    void answer(const session::Event& event, SessionRun& run) override {
        const auto* a = std::get_if<AdminAnswer>(&event);
        if (a == nullptr || a->request != AdminRequest::ConfigUpdate) return;
        if (a->accepted)
            done(run);
        else
            failed(run);
    }

private:
    Mode mode_;
    std::string path_;
    std::vector<std::uint8_t> block_;
};

}  // namespace

RunEnd runConfigCommand(std::span<const std::string_view> args) {
    if (!args.empty() && (args[0] == "get" || args[0] == "set")) {
        ConfigCommand command(args[0] == "get" ? Mode::Get : Mode::Set);
        return runSession(command, args.subspan(1));
    }
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
        return RunEnd::HelpShown;
    }
    std::fprintf(stderr, "kalix-cli: config needs 'get' or 'set'\n");
    std::fwrite(kUsage.data(), 1, kUsage.size(), stderr);
    return RunEnd::UsageError;
}

}  // namespace kalix::cli

// kalix-cli status: log in, gather what the recorder sends unasked for
// --settle seconds, print the recording state, the user's rights and the
// channels as the client sees them, and close.

#include <string>

#include "cli/admin_command.h"
#include "cli/commands/commands.h"
#include "cli/json_line.h"

namespace kalix::cli {
namespace {

std::string bit(bool b) { return b ? "1" : "0"; }

std::string statusJson(const session::AdministrationState& s) {
    std::string rights = "null";
    if (s.rights) {
        rights = "[";
        for (std::size_t r = 0; r < s.rights->size(); ++r) {
            if (r != 0) rights += ',';
            rights += bit((*s.rights)[r] != 0);
        }
        rights += "]";
    }
    std::string channels = "[";
    for (const auto& c : s.channels) {
        if (channels.size() > 1) channels += ',';
        channels += JsonLine()
                        .add("channel", std::int64_t{c.channel})
                        .add("name", c.name)
                        .addRaw("covert", bit(c.covert))
                        .addRaw("live", bit(c.live))
                        .addRaw("hidden", bit(c.hidden))
                        .addRaw("camera", c.camera ? bit(*c.camera) : "null")
                        .str();
    }
    channels += "]";
    const std::string blocks = "{\"sys_etc_info\":" + std::to_string(s.blocks.sys_etc_info) +
                               ",\"sys_etc_info_ex\":" + std::to_string(s.blocks.sys_etc_info_ex) +
                               ",\"dst_info\":" + std::to_string(s.blocks.dst_info) +
                               ",\"config\":" + std::to_string(s.blocks.config) + "}";
    return JsonLine("status")
        .add("recording", s.recording)
        .addRaw("user_index", s.user_index ? std::to_string(*s.user_index) : "null")
        .addRaw("rights", rights)
        .addRaw("ptz_preset", bit(s.ptz_preset != 0))
        .addRaw("channels", channels)
        .addRaw("blocks", blocks)
        .str();
}

std::string statusText(const session::AdministrationState& s) {
    std::string out = std::string("status: recording ") + (s.recording ? "on" : "off") + ", user index " +
                      (s.user_index ? std::to_string(*s.user_index) : "none") + ", rights ";
    if (s.rights) {
        for (auto r : *s.rights) out += bit(r != 0);
    } else {
        out += "none";
    }
    out += ", presets " + bit(s.ptz_preset != 0);
    for (const auto& c : s.channels) {
        out += "\n  channel " + std::to_string(c.channel) + " \"" + c.name + "\"";
        if (c.covert) out += " covert";
        if (!c.live) out += " no-live";
        if (c.hidden) out += " hidden";
        if (c.camera) out += *c.camera ? " camera" : " no-camera";
    }
    out += "\n  blocks: sys_etc_info " + std::to_string(s.blocks.sys_etc_info) + ", sys_etc_info_ex " +
           std::to_string(s.blocks.sys_etc_info_ex) + ", dst_info " + std::to_string(s.blocks.dst_info) +
           ", config " + std::to_string(s.blocks.config);
    return out;
}

class StatusCommand final : public AdminCommand {
public:
    std::string_view usage() const override {
        return "usage: kalix-cli status --host ADDR [--port N] --user NAME --password PASS\n"
               "                        [--settle S] [--json]\n"
               "\n"
               "Logs in, gathers what the recorder sends for --settle seconds and prints the\n"
               "recording state, the user's rights and index, the channels (names, covert,\n"
               "live permission, hidden, camera) and the sizes of the stored blocks.\n"
               "\n";
    }
    void work(SessionRun& run) override {
        const auto state = run.session().administration().state();
        run.out().line(statusJson(state), statusText(state));
        done(run);
    }
};

}  // namespace

std::unique_ptr<SessionCommand> makeStatusCommand() { return std::make_unique<StatusCommand>(); }

}  // namespace kalix::cli

#include "cli/event_printer.h"

#include <cstdio>
#include <cstring>

#include "app/notice_texts.h"
#include "cli/json_line.h"

namespace kalix::cli {

void EventPrinter::line(const std::string& json_line, const std::string& text_line) const {
    // One write a line: lines from other threads never cut into it.
    std::string out = format_ == LineFormat::Json ? json_line : text_line;
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

void EventPrinter::login(const session::RecorderIdentity& id) const {
    std::string firmware = "[";
    for (const auto& f : id.firmware) {
        if (firmware.size() > 1) firmware += ',';
        firmware += "{\"name\":\"" + jsonEscape(f.name) + "\",\"version\":" + std::to_string(f.version) + "}";
    }
    firmware += "]";
    char versions[32];
    std::snprintf(versions, sizeof versions, "%u.%u", id.product_major, id.product_minor);
    JsonLine j("login");
    j.add("recorder_kind", std::int64_t{id.recorder_kind})
        .add("channels", std::int64_t{id.channel_num})
        .add("mac", id.macText())
        .add("product_number", std::int64_t{id.product_number})
        .add("product_version", versions)
        .add("protocol_version", std::to_string(id.protocol_major) + "." + std::to_string(id.protocol_minor))
        .add("account", std::int64_t{id.account})
        .add("web_port", std::int64_t{id.web_port})
        .add("playback_view_change", id.acceptsPlaybackViewChange())
        .addRaw("firmware", firmware);
    line(j.str(), "login accepted: recorder kind " + std::to_string(id.recorder_kind) + ", " +
                      std::to_string(id.channel_num) + " channels, MAC " + id.macText() + ", product " +
                      std::to_string(id.product_number) + " version " + versions);
}

void EventPrinter::notice(const session::Notice& n) const {
    const std::string text = app::noticeText(n.kind, n.detail);
    line(JsonLine("notice")
             .add("kind", std::int64_t{n.kind})
             .add("detail", std::int64_t{n.detail})
             .add("text", text)
             .str(),
         "notice " + std::to_string(n.kind) + "." + std::to_string(n.detail) + ": " + text);
}

void EventPrinter::messageBox(const std::string& text) const {
    line(JsonLine("message_box").add("text", text).str(), "message box: " + text);
}

void EventPrinter::liveChannels(std::uint32_t mask) const {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08x", mask);
    line(JsonLine("live_channels").add("mask", std::int64_t{mask}).str(), std::string("live channels: ") + hex);
}

void EventPrinter::connectFailed(int error) const {
    line(JsonLine("connect_failed").add("error", std::strerror(error)).str(),
         std::string("connection failed: ") + std::strerror(error));
}

void EventPrinter::closed(std::string_view by, bool logged_in, int status) const {
    line(JsonLine("closed").add("by", by).add("logged_in", logged_in).add("exit", std::int64_t{status}).str(),
         "closed by " + std::string(by) + ", exit status " + std::to_string(status));
}

}  // namespace kalix::cli

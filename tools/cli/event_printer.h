#pragma once
// kalix-cli's standard output: one line per event, as text or (--json) as
// one JSON object. Every line is flushed at once so that a script reading
// the pipe sees it when it happens.

#include <cstdint>
#include <string>
#include <string_view>

#include "session/event_sink.h"

namespace kalix::cli {

enum class LineFormat { Text, Json };

class EventPrinter {
public:
    explicit EventPrinter(LineFormat format) : format_(format) {}

    // The line of the chosen format; the other is dropped.
    void line(const std::string& json_line, const std::string& text_line) const;

    void login(const session::RecorderIdentity& id) const;
    void notice(const session::Notice& n) const;
    void messageBox(const std::string& text) const;
    void liveChannels(std::uint32_t mask) const;
    void connectFailed(int error) const;
    void closed(std::string_view by, bool logged_in, int status) const;

private:
    LineFormat format_;
};

}  // namespace kalix::cli

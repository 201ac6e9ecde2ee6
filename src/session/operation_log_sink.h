#pragma once
// Where the session writes its connection records (login, logout, failure).
// The application's operation log implements it; the session only calls it.

#include <cstdint>
#include <string_view>

namespace kalix::session {

enum class LogCategory : std::uint32_t { Program = 1, Connection = 2, LocalPlayback = 4, Local = 8 };

enum class ConnectionAction : std::uint32_t { LoggedIn = 1, Disconnected = 2, EndedOrFailed = 4 };

class OperationLogSink {
public:
    virtual ~OperationLogSink() = default;
    // Callable from any thread. Empty texts are written as zeros.
    virtual void write(LogCategory category, std::uint32_t action, std::string_view short_text,
                       std::string_view text) = 0;
};

}  // namespace kalix::session

#pragma once
// kalix-cli login and live: log in to a recorder with the desktop client's
// session, keep it (and live view) for a while, close it, and report every
// event.

#include <span>
#include <string_view>

namespace kalix::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitSessionEnded = 3;

int runLogin(std::span<const std::string_view> args);
int runLive(std::span<const std::string_view> args);
int runTalk(std::span<const std::string_view> args);

}  // namespace kalix::cli

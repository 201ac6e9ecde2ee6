#pragma once
// The debug console: lines for whoever runs the client from a terminal, for
// example "H264_D1.dll not found.\n" when a decoder library is missing.
// They go to standard error and are off by default; KALIX_DEBUG=1 in the
// environment, or enableDebugConsole(true) from a command-line switch,
// turns them on. Unlike the trace lines of the protocol (KALIX_TRACE), these
// are few and meant for people.

#include <cstdint>
#include <cstdio>
#include <string>

namespace kalix::app {

inline constexpr std::size_t kConsoleLineLimit = 1024;

void enableDebugConsole(bool on);
bool debugConsoleEnabled();  // decided from KALIX_DEBUG on first use unless set

// Where the lines go; standard error unless a test says otherwise.
void setDebugConsoleStream(std::FILE* stream);

// printf-style; a text longer than 1023 bytes is cut there.
[[gnu::format(printf, 1, 2)]] void consolePrint(const char* format, ...);

// A recorder time as the console shows it: shifted back by nine hours and
// broken down as local time, "YYYY-MM-DD hh:mm:ss\n"; "time error...\n" for
// a time of 0 or less.
std::string consoleTimeText(std::int64_t recorder_time);
void consolePrintTime(std::int64_t recorder_time);

}  // namespace kalix::app

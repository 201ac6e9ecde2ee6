#pragma once
// One tagged logger for the whole core. Off by default; KALIX_TRACE=1 in the
// environment (or enableTrace) sends every line to standard error.

#include <cstdarg>

namespace kalix::protocol {

void enableTrace(bool on);
bool traceEnabled();

// printf-style; the text is cut at 1023 bytes.
[[gnu::format(printf, 1, 2)]] void trace(const char* format, ...);

}  // namespace kalix::protocol

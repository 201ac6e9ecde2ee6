#include "protocol/trace.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kalix::protocol {
namespace {

std::atomic<int> g_state{-1};  // -1 not decided yet, 0 off, 1 on

}  // namespace

void enableTrace(bool on) { g_state.store(on ? 1 : 0); }

bool traceEnabled() {
    int state = g_state.load();
    if (state < 0) {
        const char* env = std::getenv("KALIX_TRACE");
        state = (env != nullptr && *env != '\0' && std::strcmp(env, "0") != 0) ? 1 : 0;
        g_state.store(state);
    }
    return state == 1;
}

void trace(const char* format, ...) {
    if (!traceEnabled()) return;
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fputs(line, stderr);
}

}  // namespace kalix::protocol

#include "app/debug_console.h"

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

namespace kalix::app {
namespace {

constexpr std::int64_t kConsoleTimeShift = 32400;

std::atomic<int> g_state{-1};  // -1 not decided yet, 0 off, 1 on
std::mutex g_stream_mutex;
// -- guarded by g_stream_mutex --
std::FILE* g_stream = nullptr;  // standard error when null

}  // namespace

void enableDebugConsole(bool on) { g_state.store(on ? 1 : 0); }

bool debugConsoleEnabled() {
    int state = g_state.load();
    if (state < 0) {
        const char* env = std::getenv("KALIX_DEBUG");
        state = (env != nullptr && std::strcmp(env, "1") == 0) ? 1 : 0;
        g_state.store(state);
    }
    return state == 1;
}

void setDebugConsoleStream(std::FILE* stream) {
    std::lock_guard lock(g_stream_mutex);
    g_stream = stream;
}

void consolePrint(const char* format, ...) {
    if (!debugConsoleEnabled()) return;
    char line[kConsoleLineLimit];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::lock_guard lock(g_stream_mutex);
    std::FILE* out = g_stream != nullptr ? g_stream : stderr;
    std::fputs(line, out);
    std::fflush(out);
}

std::string consoleTimeText(std::int64_t recorder_time) {
    if (recorder_time <= 0) return "time error...\n";
    const auto shifted = static_cast<std::time_t>(recorder_time - kConsoleTimeShift);
    std::tm parts{};
    if (::localtime_r(&shifted, &parts) == nullptr) return "time error...\n";
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d\n", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

void consolePrintTime(std::int64_t recorder_time) { consolePrint("%s", consoleTimeText(recorder_time).c_str()); }

}  // namespace kalix::app

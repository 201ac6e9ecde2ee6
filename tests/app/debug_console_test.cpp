#include "app/debug_console.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace kalix::app {
namespace {

std::string printed(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string out;
    for (int c; (c = std::fgetc(f)) != EOF;) out.push_back(static_cast<char>(c));
    return out;
}

TEST(DebugConsole, PrintsOnlyWhenEnabledAndCutsLongLines) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    setDebugConsoleStream(f);

    enableDebugConsole(false);
    consolePrint("hidden %d\n", 1);
    enableDebugConsole(true);
    consolePrint("H264_D1.dll not found.\n");
    consolePrint("%s", std::string(3000, 'x').c_str());
    enableDebugConsole(false);

    const std::string out = printed(f);
    setDebugConsoleStream(nullptr);
    std::fclose(f);
    EXPECT_EQ(out, "H264_D1.dll not found.\n" + std::string(kConsoleLineLimit - 1, 'x'));
}

TEST(DebugConsole, RecorderTimeIsShiftedBackNineHours) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_EQ(consoleTimeText(0), "time error...\n");
    EXPECT_EQ(consoleTimeText(-5), "time error...\n");
    EXPECT_EQ(consoleTimeText(1'700'000'000), "2023-11-14 13:13:20\n");  // 22:13:20 on the recorder
}

}  // namespace
}  // namespace kalix::app

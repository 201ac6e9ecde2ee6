// The exit statuses scripts rely on, and the closing line's "by".

#include "cli/run_end.h"

#include <gtest/gtest.h>

namespace kalix::cli {
namespace {

TEST(CliRunEnd, EveryEndHasItsExitStatusAndCloser) {
    struct Case {
        RunEnd end;
        int status;
        std::string_view by;
    };
    const Case cases[] = {
        {RunEnd::HelpShown, 0, ""},
        {RunEnd::ClosedByClient, 0, "client"},
        {RunEnd::UsageError, 2, ""},
        {RunEnd::ClientBeforeLogin, 3, "client"},
        {RunEnd::EndedByRecorder, 3, "recorder"},
        {RunEnd::ConnectionFailed, 3, "failure"},
        {RunEnd::NoAnswer, 3, "timeout"},
        {RunEnd::Refused, 3, "client"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(exitStatus(c.end), c.status) << static_cast<int>(c.end);
        EXPECT_EQ(closedBy(c.end), c.by) << static_cast<int>(c.end);
    }
}

}  // namespace
}  // namespace kalix::cli

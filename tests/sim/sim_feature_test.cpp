#include "sim/sim_feature.h"

#include <sys/socket.h>

#include <gtest/gtest.h>

#include <set>

#include "sim/client_link.h"
#include "sim/feature_list.h"

namespace kalix::sim {
namespace {

using protocol::Code;

class SilentLog final : public LinkLog {
public:
    void sent(int, const protocol::MessageHeader&) override {}
    void sentRaw(int, std::size_t) override {}
    void event(int, const std::string&) override {}
    void logEvent(int, const std::string&) override {}
};

// A second feature claiming a code must not take it over unnoticed: the
// first handler keeps answering and the clash is reported.
TEST(SimFeatureTest, ACodeKeepsItsFirstHandlerAndAClashIsReported) {
    HandlerTable table;
    int first = 0, second = 0;
    table.add(Code::LIVE_REQ, LoginRule::Needed, [&](const auto&, auto) { ++first; });
    table.add(Code::LIVE_REQ, LoginRule::NotNeeded, [&](const auto&, auto) { ++second; });
    const HandlerTable::Entry* entry = table.find(static_cast<std::uint16_t>(Code::LIVE_REQ));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->login, LoginRule::Needed);
    entry->handler({}, {});
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(table.conflicts(), std::vector<std::uint16_t>{static_cast<std::uint16_t>(Code::LIVE_REQ)});
    EXPECT_EQ(table.find(static_cast<std::uint16_t>(Code::KEEP_ALIVE)), nullptr);
}

// Over every feature of a connection: no code is claimed twice, and nothing
// but the login and the farewell is answered before the client logged in.
TEST(SimFeatureTest, FeaturesClaimEachCodeOnceAndWantALoginFirst) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    const protocol::UniqueFd peer(fds[1]);
    const SimConfig config;
    SilentLog log;
    SharedState shared;
    ClientLink link(1, protocol::UniqueFd(fds[0]), config, log);
    const auto features = makeFeatures(link, shared);
    HandlerTable table;
    for (const auto& feature : features) feature->registerHandlers(table);

    EXPECT_TRUE(table.conflicts().empty());
    std::set<std::uint16_t> before_login;
    std::size_t handled = 0;
    for (unsigned code = 0; code <= 0xFFFF; ++code) {
        const HandlerTable::Entry* entry = table.find(static_cast<std::uint16_t>(code));
        if (entry == nullptr) continue;
        ++handled;
        if (entry->login == LoginRule::NotNeeded) before_login.insert(static_cast<std::uint16_t>(code));
    }
    EXPECT_GE(handled, 8u);
    EXPECT_EQ(before_login, (std::set<std::uint16_t>{static_cast<std::uint16_t>(Code::HELLO),
                                                    static_cast<std::uint16_t>(Code::BYE48)}));
    for (const auto& feature : features) feature->onDisconnect();
    link.joinHelpers();
}

}  // namespace
}  // namespace kalix::sim

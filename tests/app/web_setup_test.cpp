#include "app/web_setup.h"

#include <gtest/gtest.h>

namespace kalix::app {
namespace {

session::RecorderIdentity identity(std::uint8_t product_major, std::uint8_t account) {
    session::RecorderIdentity id;
    id.product_major = product_major;
    id.account = account;
    id.key = {0x00, 0x1f, 0xa0, 0xff, 0x12, 0x34, 0xab, 0x09};
    id.web_port = 8080;
    return id;
}

TEST(WebSetup, AddressCarriesTheWebPortAndTheKeyInLowerCaseHex) {
    EXPECT_EQ(webSetupAddress("192.168.1.20", identity(1, 0)),
              "http://192.168.1.20:8080/webdb/webdb.cgi?key=001fa0ff1234ab09");
}

TEST(WebSetup, WhoMayOpenIt) {
    EXPECT_EQ(decideWebSetup(nullptr, "10.0.0.1", false).decision, WebSetupDecision::Ignored);

    const auto old_admin = identity(0, 0);
    const WebSetupAction open = decideWebSetup(&old_admin, "10.0.0.1", false);
    EXPECT_EQ(open.decision, WebSetupDecision::Open);
    EXPECT_EQ(open.url, "http://10.0.0.1:8080/webdb/webdb.cgi?key=001fa0ff1234ab09");

    const auto old_user = identity(0, 2);
    EXPECT_EQ(decideWebSetup(&old_user, "10.0.0.1", true).decision, WebSetupDecision::Refused);

    const auto newer = identity(1, 0);
    EXPECT_EQ(decideWebSetup(&newer, "10.0.0.1", false).decision, WebSetupDecision::Refused);
    EXPECT_EQ(decideWebSetup(&newer, "10.0.0.1", true).decision, WebSetupDecision::Open);
}

}  // namespace
}  // namespace kalix::app

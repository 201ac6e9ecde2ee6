#include "sim/identity_login.h"

#include <array>
#include <chrono>
#include <string>

#include "base/stop_wait.h"
#include "protocol/byte_order.h"
#include "sim/hello_reply.h"

namespace kalix::sim {
namespace {

using protocol::Code;
using namespace std::chrono_literals;

// A refused login is followed by our close after this pause, so the client
// reads the BYE48 before the connection goes.
constexpr auto kByeClosePause = 200ms;

}  // namespace

void IdentityLogin::registerHandlers(HandlerTable& table) {
    table.add(Code::HELLO, LoginRule::NotNeeded,
              [this](const protocol::MessageHeader&, std::span<const std::uint8_t> payload) { onHello(payload); });
    table.add(Code::BYE48, LoginRule::NotNeeded,
              [this](const protocol::MessageHeader&, std::span<const std::uint8_t>) {
                  link_.event("client says goodbye");
              });
}

void IdentityLogin::onHello(std::span<const std::uint8_t> payload) {
    const SimConfig& config = link_.config();
    const auto login = parseHello(payload);
    if (!login) return;
    if (config.bye_reason) {
        refuse(*config.bye_reason);
        return;
    }
    if (!acceptsLogin(config.users, *login)) {
        link_.event("wrong login '" + login->user + "'");
        refuse(config.wrong_password_reason);
        return;
    }
    SimConfig answer = config;
    if (firmware_) answer.firmware = firmware_->modules();
    const std::vector<std::uint8_t> ack = buildHelloAck(answer);
    if (!link_.sendMessage(Code::HELLO48_ACK, ack, link_.replyPieces())) return;
    const bool again = link_.markLoggedIn();
    link_.event("login " + login->user);
    if (!again) link_.announceLogin();
}

void IdentityLogin::refuse(std::int32_t reason) {
    std::array<std::uint8_t, 4> payload{};
    protocol::putBe32(payload.data(), static_cast<std::uint32_t>(reason));
    link_.event("BYE48 reason " + std::to_string(reason));
    link_.sendMessage(Code::BYE48, payload);
    link_.spawn([&link = link_](std::stop_token stop) {
        if (base::waitFor(stop, kByeClosePause)) link.closeOrderly();
    });
}

}  // namespace kalix::sim

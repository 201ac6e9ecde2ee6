#pragma once
// Helpers for running kalix-cli's commands in-process: argument lists, and
// loopback ports that tell whether anything connected.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/unique_fd.h"

namespace kalix::cli::testing {

// Owns the strings that the runner sees as views.
class Args {
public:
    Args(std::initializer_list<std::string> args) : strings_(args) { refresh(); }
    Args(const Args& other) : strings_(other.strings_) { refresh(); }
    Args& operator=(const Args&) = delete;
    Args& add(std::initializer_list<std::string> more) {
        strings_.insert(strings_.end(), more);
        refresh();
        return *this;
    }
    std::span<const std::string_view> span() const { return views_; }
    operator std::span<const std::string_view>() const { return views_; }

private:
    void refresh() { views_.assign(strings_.begin(), strings_.end()); }
    std::vector<std::string> strings_;
    std::vector<std::string_view> views_;
};

// A socket listening on 127.0.0.1 that never accepts by itself: the kernel
// completes connections into its backlog, so a client that connects stays
// unanswered, and the test can ask afterwards whether one came.
class Listener {
public:
    Listener() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(fd_.get(), reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_.get(), 4);
        ::getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    std::string port() const { return std::to_string(port_); }
    bool connected() const {
        pollfd p{fd_.get(), POLLIN, 0};
        return ::poll(&p, 1, 0) == 1;
    }
    void stop() { fd_.reset(); }

private:
    protocol::UniqueFd fd_;
    std::uint16_t port_ = 0;
};

// A loopback port that nothing listens on.
inline std::string closedPort() {
    Listener l;
    std::string port = l.port();
    l.stop();
    return port;
}

}  // namespace kalix::cli::testing

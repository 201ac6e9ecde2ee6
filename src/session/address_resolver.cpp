#include "session/address_resolver.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace kalix::session {
namespace {

bool isDottedText(std::string_view text) {
    return !text.empty() &&
           text.find_first_not_of("0123456789.") == std::string_view::npos;
}

}  // namespace

std::string resolveRecorderAddress(std::string_view typed) {
    if (typed.empty()) return {};
    const std::string text(typed);

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* raw = nullptr;
    if (::getaddrinfo(text.c_str(), nullptr, &hints, &raw) != 0 || raw == nullptr) return {};
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> answer(raw, &::freeaddrinfo);

    if (!isDottedText(text)) {
        const auto* sin = reinterpret_cast<const sockaddr_in*>(answer->ai_addr);
        char dotted[INET_ADDRSTRLEN];
        ::inet_ntop(AF_INET, &sin->sin_addr, dotted, sizeof dotted);
        return dotted;
    }
    // Dotted text: split into four numbers and write it back when any of
    // them is non-zero.
    unsigned long parts[4] = {0, 0, 0, 0};
    const char* p = text.c_str();
    for (int i = 0; i < 4 && *p != '\0'; ++i) {
        char* end = nullptr;
        parts[i] = std::strtoul(p, &end, 10);
        p = (*end == '.') ? end + 1 : end;
    }
    if ((parts[0] | parts[1] | parts[2] | parts[3]) == 0) return text;
    char dotted[64];
    std::snprintf(dotted, sizeof dotted, "%lu.%lu.%lu.%lu", parts[0], parts[1], parts[2], parts[3]);
    return dotted;
}

}  // namespace kalix::session

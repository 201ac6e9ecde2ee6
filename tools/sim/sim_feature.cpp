#include "sim/sim_feature.h"

#include <algorithm>
#include <cstdio>

namespace kalix::sim {

void HandlerTable::add(protocol::Code code, LoginRule login, Handler handler) {
    const auto number = static_cast<std::uint16_t>(code);
    if (find(number) != nullptr) {
        conflicts_.push_back(number);
        return;
    }
    entries_.push_back({number, login, std::move(handler)});
}

const HandlerTable::Entry* HandlerTable::find(std::uint16_t code) const {
    const auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.code == code; });
    return it == entries_.end() ? nullptr : &*it;
}

std::string hexMask(std::uint16_t mask) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", unsigned{mask});
    return text;
}

}  // namespace kalix::sim

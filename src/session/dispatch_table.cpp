#include "session/dispatch_table.h"

#include "protocol/trace.h"

namespace kalix::session {

using protocol::Direction;
using protocol::PayloadRule;

namespace {

std::size_t ruleIndex(PayloadRule rule) { return static_cast<std::size_t>(rule); }

}  // namespace

void DispatchTable::on(protocol::Code code, Handler handler, Delivery delivery) {
    entries_[static_cast<std::uint16_t>(code)] = Entry{std::move(handler), delivery, nullptr};
}

void DispatchTable::onUnit(protocol::Code code, ReassemblyBuffer& buffer, Handler handler) {
    entries_[static_cast<std::uint16_t>(code)] = Entry{std::move(handler), Delivery::Checked, &buffer};
}

void DispatchTable::fallback(PayloadRule rule, Handler handler) {
    if (ruleIndex(rule) < fallbacks_.size()) fallbacks_[ruleIndex(rule)] = std::move(handler);
}

void DispatchTable::dispatch(const protocol::MessageHeader& header,
                             std::span<const std::uint8_t> payload) const {
    const protocol::MessageSpec* spec = protocol::findMessage(header.code(), Direction::ToClient);
    const auto found = entries_.find(header.code());
    if (found == entries_.end()) {
        if (spec == nullptr || !spec->acceptsLength(header.payloadLen())) return;
        if (ruleIndex(spec->rule) < fallbacks_.size() && fallbacks_[ruleIndex(spec->rule)])
            fallbacks_[ruleIndex(spec->rule)](header, payload);
        return;
    }
    const Entry& entry = found->second;
    if (entry.buffer != nullptr) {
        if (entry.buffer->append(header, payload) != ReassemblyBuffer::Result::Complete) return;
        entry.handler(header, entry.buffer->unit());
        entry.buffer->reset();
        return;
    }
    if (entry.delivery == Delivery::Checked && spec != nullptr && !spec->acceptsLength(header.payloadLen())) {
        protocol::trace("dropped %s: payload of %u bytes\n", std::string(spec->name).c_str(),
                        static_cast<unsigned>(header.payloadLen()));
        return;
    }
    entry.handler(header, payload);
}

}  // namespace kalix::session

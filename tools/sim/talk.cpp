#include "sim/talk.h"

#include <array>

#include "protocol/byte_order.h"

namespace kalix::sim {

using protocol::Code;

// --- TalkStore ---

bool TalkStore::open(const std::string& path) {
    if (path.empty()) return true;
    std::lock_guard lock(mutex_);
    raw_.reset(std::fopen(path.c_str(), "wb"));
    pcm_.reset(std::fopen((path + ".pcm").c_str(), "wb"));
    return raw_ && pcm_;
}

void TalkStore::add(std::span<const std::uint8_t> chunk, std::span<const std::int16_t> decoded) {
    {
        std::lock_guard lock(mutex_);
        chunks_.emplace_back(chunk.begin(), chunk.end());
        decoded_.insert(decoded_.end(), decoded.begin(), decoded.end());
        if (raw_ && pcm_) {
            std::vector<std::uint8_t> pcm(decoded.size() * 2);
            for (std::size_t i = 0; i < decoded.size(); ++i) {
                const auto v = static_cast<std::uint16_t>(decoded[i]);
                pcm[2 * i] = static_cast<std::uint8_t>(v & 0xFFu);
                pcm[2 * i + 1] = static_cast<std::uint8_t>(static_cast<unsigned>(v) >> 8);
            }
            std::fwrite(chunk.data(), 1, chunk.size(), raw_.get());
            std::fwrite(pcm.data(), 1, pcm.size(), pcm_.get());
            std::fflush(raw_.get());
            std::fflush(pcm_.get());
        }
    }
    changed_.notify_all();
}

std::vector<std::vector<std::uint8_t>> TalkStore::chunks() const {
    std::lock_guard lock(mutex_);
    return chunks_;
}

std::vector<std::int16_t> TalkStore::decoded() const {
    std::lock_guard lock(mutex_);
    return decoded_;
}

bool TalkStore::waitForChunks(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return chunks_.size() >= n; });
}

// --- Talk ---

void Talk::registerHandlers(HandlerTable& table) {
    table.add(Code::A_LISTEN_REQ, LoginRule::Needed,
              [this](const protocol::MessageHeader&, std::span<const std::uint8_t>) { onTalkReq(); });
    table.add(Code::A_LISTEN_DATA, LoginRule::Needed,
              [this](const protocol::MessageHeader&, std::span<const std::uint8_t> payload) { onTalkData(payload); });
    table.add(Code::A_LISTEN_STOP_REQ, LoginRule::Needed,
              [this](const protocol::MessageHeader&, std::span<const std::uint8_t>) { onTalkStop(); });
}

void Talk::onTalkReq() {
    if (const auto reason = link_.config().talk_nack_reason) {
        std::array<std::uint8_t, 4> payload{};
        protocol::putBe32(payload.data(), static_cast<std::uint32_t>(*reason));
        link_.event("talk refused, reason " + std::to_string(*reason));
        link_.sendMessage(Code::A_LISTEN_NACK, payload);
        return;
    }
    if (!talking_) {
        talking_ = true;
        decoder_.reset();
        pending_.clear();
    }
    link_.event("talk accepted");
    link_.sendMessage(Code::A_LISTEN_ACK);
}

void Talk::onTalkData(std::span<const std::uint8_t> payload) {
    if (!talking_) {
        link_.event("A_LISTEN_DATA outside a talk ignored");
        return;
    }
    pending_.insert(pending_.end(), payload.begin(), payload.end());
    const std::size_t whole = pending_.size() / media::kG726GroupBytes * media::kG726GroupBytes;
    std::vector<std::int16_t> decoded(media::g726SampleCount(whole));
    decoder_.decode(std::span(pending_).first(whole), decoded);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(whole));
    store_.add(payload, decoded);
}

void Talk::onTalkStop() {
    if (talking_ && !pending_.empty()) {
        link_.event("talk ends with " + std::to_string(pending_.size()) + " bytes short of a code group");
    }
    talking_ = false;
    link_.event("talk stopped");
    link_.sendMessage(Code::A_LISTEN_STOP_ACK);
}

}  // namespace kalix::sim

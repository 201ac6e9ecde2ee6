#include "media/audio/mic_sender.h"

namespace kalix::media {

void SendList::push(std::vector<std::uint8_t> chunk) {
    {
        std::lock_guard lock(mutex_);
        if (limit_ == 0) {
            ++dropped_;
            return;
        }
        if (chunks_.size() >= limit_) {
            chunks_.pop_front();
            ++dropped_;
        }
        chunks_.push_back(std::move(chunk));
    }
    ready_.notify_one();
}

std::optional<std::vector<std::uint8_t>> SendList::pop(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    // The waiting call returns a ready chunk even after a stop request;
    // a stopped sender must not go on to empty the list.
    if (!ready_.wait(lock, stop, [this] { return !chunks_.empty(); }) || stop.stop_requested())
        return std::nullopt;
    auto chunk = std::move(chunks_.front());
    chunks_.pop_front();
    return chunk;
}

std::size_t SendList::size() const {
    std::lock_guard lock(mutex_);
    return chunks_.size();
}

std::uint64_t SendList::dropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

MicSender::MicSender(protocol::Connection& connection, std::unique_ptr<SoundIn> capture)
    : connection_(connection), capture_(std::move(capture)), values_(kCaptureBufferBytes / 2) {
    sender_ = std::jthread([this](std::stop_token stop) { sendLoop(stop); });
    capturing_ = capture_ && capture_->start(*this);
}

MicSender::~MicSender() { stop(); }

void MicSender::stop() {
    if (sender_.joinable()) {
        sender_.request_stop();
        sender_.join();
    }
    if (capture_) capture_->stop();
    capturing_ = false;
}

void MicSender::captured(std::span<const std::uint8_t> buffer) {
    // Capture sources hand over whole buffers only; anything else is not
    // sound we know how to frame.
    if (buffer.size() != kCaptureBufferBytes) return;
    for (std::size_t i = 0; i < values_.size(); ++i) {
        values_[i] = static_cast<std::int16_t>(
            static_cast<std::uint16_t>(buffer[2 * i] | buffer[2 * i + 1] << 8));
    }
    std::vector<std::uint8_t> chunk(kTalkChunkBytes);
    if (!encoder_.encode(values_, chunk).ok()) return;
    list_.push(std::move(chunk));
}

void MicSender::sendLoop(std::stop_token stop) {
    std::mutex rest_mutex;
    std::condition_variable_any rest;
    while (auto chunk = list_.pop(stop)) {
        const auto header = protocol::MessageHeader::make(
            protocol::Code::A_LISTEN_DATA, static_cast<std::uint16_t>(chunk->size()),
            protocol::Fragment::Last);
        if (protocol::SendPacket(connection_, header, *chunk)) ++sent_;
        // The rest between messages ends early only for a stop.
        std::unique_lock lock(rest_mutex);
        rest.wait_for(lock, stop, kTalkSendInterval, [] { return false; });
    }
}

}  // namespace kalix::media

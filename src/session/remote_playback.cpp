#include "session/remote_playback.h"

// Work in progress on this branch: the handlers are being written; until
// then the requests send nothing.

namespace kalix::session {

struct RemotePlayback::Impl {};

RemotePlayback::RemotePlayback(SessionCore&, MediaPipeline&, LoginState&, LiveView&, const SessionOptions&)
    : impl_(std::make_unique<Impl>()) {}
RemotePlayback::~RemotePlayback() = default;
void RemotePlayback::start(const PlayStart&) {}
void RemotePlayback::startAtEvent(const EventPlayStart&) {}
void RemotePlayback::control(PlayMode) {}
void RemotePlayback::eventJump(JumpDirection, std::uint8_t) {}
void RemotePlayback::viewChange(std::uint32_t) {}
void RemotePlayback::stop() {}
std::array<std::uint8_t, 8> RemotePlayback::eventToken() const { return {}; }
void RemotePlayback::onAck(const protocol::MessageHeader&, std::span<const std::uint8_t>) {}
void RemotePlayback::onNack(const protocol::MessageHeader&, std::span<const std::uint8_t>) {}
void RemotePlayback::onFail(const protocol::MessageHeader&, std::span<const std::uint8_t>) {}
void RemotePlayback::onDone(const protocol::MessageHeader&, std::span<const std::uint8_t>) {}
void RemotePlayback::onOffNack(const protocol::MessageHeader&, std::span<const std::uint8_t>) {}
void RemotePlayback::onChannelInfo(const protocol::MessageHeader&, std::span<const std::uint8_t>) {}
void RemotePlayback::onDataFinish(const protocol::MessageHeader&, std::span<const std::uint8_t>) {}
void RemotePlayback::onAbsTimeChange(const protocol::MessageHeader&, std::span<const std::uint8_t>) {}
void RemotePlayback::onUnit(const protocol::MessageHeader&, std::span<const std::uint8_t>) {}

}  // namespace kalix::session

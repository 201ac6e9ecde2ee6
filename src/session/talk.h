#pragma once
// Talk: the operator speaks to the recorder's site. The request, the
// recorder's answer, the microphone link once it accepted (the owner hears
// TalkAccepted and hands over its capture), and the stop.

#include <cstdint>
#include <memory>
#include <span>

#include "media/audio/mic_sender.h"
#include "media/audio/sound_in.h"
#include "protocol/message_header.h"
#include "session/session_core.h"

namespace kalix::session {

class Talk {
public:
    Talk(SessionCore& core, const SessionOptions& options);
    ~Talk();

    void request();
    bool startMicrophone(std::unique_ptr<media::SoundIn> capture);
    void stopMicrophone();  // the recorder ended the talk: nothing is sent
    void stop();            // the operator's stop: A_LISTEN_STOP_REQ, then the microphone
    // -- owner's thread only --
    bool talking() const { return static_cast<bool>(mic_); }
    std::uint64_t chunksSent() const { return mic_ ? mic_->chunksSent() : 0; }

    void onAccepted(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onRefused(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);

private:
    bool soundOutput() const { return static_cast<bool>(options_.live_audio.make_output); }

    SessionCore& core_;
    const SessionOptions& options_;
    // -- owner's thread only --
    std::unique_ptr<media::MicSender> mic_;
};

}  // namespace kalix::session

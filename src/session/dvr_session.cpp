#include "session/dvr_session.h"

#include "session/refusals.h"

namespace kalix::session {

using protocol::Code;

DvrSession::DvrSession(SessionOptions options, EventSink& sink, OperationLogSink* log)
    : options_(std::move(options)),
      core_(options_, sink, log),
      media_(options_, sink),
      live_(core_, media_, login_state_, options_),
      talk_(core_, options_),
      search_(core_),
      logs_(core_),
      playback_(core_, media_, login_state_, live_, options_),
      ptz_(core_),
      firmware_(core_),
      download_(core_, login_state_),
      login_(core_, login_state_, live_),
      administration_(core_, login_state_, media_, options_) {
    core_.handlers().fallback(protocol::PayloadRule::Reason,
                              [&sink](const auto& h, auto p) { postRefusal(sink, h, p); });
}

DvrSession::~DvrSession() { close(); }

void DvrSession::connect() {
    if (core_.started() || closed_) return;
    core_.connect(Login::helloHeader(), Login::helloPayload(options_));
}

void DvrSession::adopt(protocol::UniqueFd connected) {
    if (core_.started() || closed_) return;
    core_.adopt(std::move(connected));
}

void DvrSession::close() {
    if (closed_) return;
    closed_ = true;

    core_.post(ControlState{ControlId::Connect, ButtonLook::Released});

    // Stop the one activity that runs. A download writes every unit that
    // came before the close and closes its pair.
    download_.stopForClose();
    playback_.interrupt();
    if (playback_.on()) {
        playback_.stop();
    } else if (live_.on()) {
        ptz_.reset();
        live_.stop();
    } else if (talk_.talking()) {
        talk_.stop();
    }
    // A microphone left running beside live view would go on sending on a
    // connection that is about to close.
    talk_.stopMicrophone();
    // The upload sends on the connection too.
    firmware_.stopUpload();

    live_.forgetRequest();
    core_.stopKeepAlive();
    core_.send(Code::BYE48);
    core_.stopReceiving();

    if (login_state_.hello.exchange(false)) core_.writeConnectionRecord(ConnectionAction::Disconnected);
    login_state_.logged_in = false;
}

}  // namespace kalix::session

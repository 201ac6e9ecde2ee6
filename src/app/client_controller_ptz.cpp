// The main window's PTZ part: the Pan and Zoom buttons, the channel the
// camera commands go to, the recorder's answer for it, and the end of
// everything PTZ when live view stops or the user loses the right.

#include <vector>

#include "app/client_controller.h"

namespace kalix::app {

using session::PtzForm;

// The panels' commands go to the current session's PTZ part, which sends
// them only once the recorder has said the channel has PTZ.
std::unique_ptr<PtzLink> ClientController::sessionPtzLink(const std::unique_ptr<session::DvrSession>& session) {
    class SessionLink final : public PtzLink {
    public:
        explicit SessionLink(const std::unique_ptr<session::DvrSession>& s) : s_(s) {}
        void move(session::PtzCommand command, unsigned number) override {
            if (s_) s_->ptz().move(command, number);
        }
        void stopMove() override {
            if (s_) s_->ptz().stopMove();
        }
        bool presetSetupAllowed() const override { return s_ && s_->administration().mayUsePresets(); }

    private:
        const std::unique_ptr<session::DvrSession>& s_;
    };
    return std::make_unique<SessionLink>(session);
}

// Pan (and Zoom, with the forms exchanged): nothing outside live view;
// without the PTZ right everything PTZ closes and the operator is told.
void ClientController::pressPtzForm(PtzForm form) {
    if (!liveOn()) return;
    if (!session_->mayDo(session::Right::Ptz)) {
        closePtz();
        return requestNotice(session::Notice::of(session::NoticeKind::NotAllowed));
    }
    const bool was_open = ptz_panels_.panelOpen();
    ptz_panels_.formButton(form);
    if (!was_open && ptz_panels_.panelOpen()) requestPtzChannel();
    ptzChanged();
}

// The current PTZ channel stays while it is on screen and not blocked;
// otherwise the first such channel in pane order is asked for.
void ClientController::requestPtzChannel() {
    if (!liveOn()) return;
    const auto map = wall_.view().paneMap();
    const std::uint16_t panes = wall_.view().visiblePaneMask();
    std::vector<int> shown;
    for (std::size_t p = 0; p < map.size(); ++p)
        if (((panes >> p) & 1u) != 0 && map[p] >= 0) shown.push_back(map[p]);
    const auto channel =
        choosePtzChannel(session_->ptz().channel(), shown, session_->administration().hiddenMask());
    ptz_panels_.channelAnswer(false);  // until the recorder answers for the channel
    if (channel) session_->ptz().requestChannel(*channel, ptz_panels_.form());
}

// The operator chose a channel on the wall while the panel is open: the
// camera commands follow it.
void ClientController::followSelectedChannel(int channel) {
    if (!ptz_panels_.panelOpen() || !liveOn() || channel == session_->ptz().channel()) return;
    if (((session_->administration().hiddenMask() >> channel) & 1u) != 0) return;
    ptz_panels_.arrowReleased();  // a held arrow stops on the camera it moved
    ptz_panels_.channelAnswer(false);
    session_->ptz().requestChannel(channel, ptz_panels_.form());
    ptzChanged();
}

void ClientController::onPtzAnswer(const session::PtzChannelAnswer& answer) {
    // An answer for a channel asked for before the last choice is stale.
    if (!ptz_panels_.panelOpen() || !session_ || answer.channel != session_->ptz().channel()) return;
    ptz_panels_.channelAnswer(answer.ptz);
    ptzChanged();
}

// A held arrow is stopped and a pending learn ended (command 11) before the
// windows close and the PTZ channel and state return to 0.
void ClientController::closePtz() {
    const bool shown = ptz_panels_.panelOpen() || ptz_panels_.keypadOpen() || ptz_panels_.domePadOpen();
    ptz_panels_.reset();
    if (session_) session_->ptz().reset();
    if (shown || buttonState(ControlId::Pan).pressed || buttonState(ControlId::Zoom).pressed) ptzChanged();
}

void ClientController::ptzChanged() {
    const bool open = ptz_panels_.panelOpen();
    setPressed(ControlId::Pan, open && ptz_panels_.form() == PtzForm::Pan);
    setPressed(ControlId::Zoom, open && ptz_panels_.form() == PtzForm::Zoom);
    view_.buttonsChanged();
    view_.ptzWindowsChanged();
}

}  // namespace kalix::app

#pragma once
// The PTZ panel: four arrow buttons around a centre button, in the pan or
// the zoom form. An arrow (or an arrow key while the panel has the focus)
// moves the camera while it is held; the centre opens the preset keypad,
// or ends a pattern being learned. The buttons act once the recorder has
// said the channel has PTZ.

#include <QString>

#include <array>
#include <functional>

#include "app/ptz_panels.h"
#include "ui/skin/skin_dialog.h"

namespace kalix::ui {

class SkinButton;

inline constexpr QSize kPtzPanelSize{147, 171};

class PtzPanel final : public SkinDialog {
    Q_OBJECT

public:
    // `changed` runs after every press that changed the panels' state.
    PtzPanel(app::PtzPanels& panels, std::function<void()> changed, QWidget* parent = nullptr);

    // Reads the form, the enabled state and the learn state again.
    void refresh();
    SkinButton* arrow(session::PtzArrow which) const { return arrows_[static_cast<std::size_t>(which)]; }
    SkinButton* centre() const { return centre_; }
    QString formCaption() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void release();

    app::PtzPanels& panels_;
    std::function<void()> changed_;
    std::array<SkinButton*, 4> arrows_{};
    SkinButton* centre_ = nullptr;
};

}  // namespace kalix::ui

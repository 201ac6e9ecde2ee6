#pragma once
// The day timeline of the remote search: one row per channel with a bar for
// every recorded stretch of the day, four time labels, the time cursor, and
// Play and Back. Dragging over the bars zooms into the selection (a red
// rubber band follows the pointer), the right button zooms out, the wheel
// scrolls, a click or the arrow keys move the cursor. The action button
// says Play on the Search page and OK on the Backup page.
//
// Enter, Escape and the window manager's close do not close it: Play and
// Back do (and the search dialog, with everything it opened).
//
// Object names: "play", "back", "cursor-time".

#include <cstdint>

#include "app/search_windows.h"
#include "ui/skin/skin_dialog.h"

namespace kalix::ui {

class SkinButton;
class SkinStatic;

class DayTimelineDialog final : public SkinDialog {
    Q_OBJECT

public:
    // `action_text`: the string number of the action button's caption.
    DayTimelineDialog(app::TimelineWindowModel& model, QWidget* parent, std::uint16_t action_text);

    // Re-reads the model's timeline (a new day, or the Play button's state).
    void refresh();
    // Closes it for good (Play, Back, the search dialog's end).
    void finish();

    // The bar area and everything drawn over it, as shown.
    QImage renderArea();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void changed(app::TimelineChange change);

    app::TimelineWindowModel& model_;
    SkinButton* play_ = nullptr;
    SkinStatic* cursor_text_ = nullptr;
    QImage kinds_[2];
    bool area_press_ = false;
    bool finishing_ = false;
};

}  // namespace kalix::ui

#pragma once
// The event list of the remote search: the tabs Alarm, Motion and Audio
// (event kinds 1, 2 and 7), the events of the chosen kind with their time
// and channels, the page position with Previous and Next, and Play, which
// starts remote playback at the chosen event (on the Backup page the
// action button is OK and takes the event as the backup's range).
//
// Object names: "kind-1", "kind-2", "kind-7", "list", "page", "previous",
// "next", "play", "close", "empty".

#include <array>
#include <cstdint>

#include "app/search_windows.h"
#include "ui/skin/skin_dialog.h"

namespace kalix::ui {

class SkinButton;
class SkinListBox;
class SkinStatic;

class EventListDialog final : public SkinDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 403;
    static constexpr int kHeight = 417;

    // `action_text`: the string number of the action button's caption.
    EventListDialog(app::EventWindowModel& model, QWidget* parent, std::uint16_t action_text);

    // Re-reads the model's list.
    void refresh();
    SkinListBox* list() const { return list_; }

private:
    void play();

    app::EventWindowModel& model_;
    std::array<SkinButton*, 3> kinds_{};
    SkinListBox* list_ = nullptr;
    SkinStatic* empty_ = nullptr;
    SkinStatic* page_ = nullptr;
    SkinButton* previous_ = nullptr;
    SkinButton* next_ = nullptr;
    SkinButton* play_ = nullptr;
};

}  // namespace kalix::ui

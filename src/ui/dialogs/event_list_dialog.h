#pragma once
// The event list of the remote search: the tabs Alarm, Motion and Audio
// (event kinds 1, 2 and 7), the events of the chosen kind with their time
// and channels, the page position with Previous and Next, and Play, which
// starts remote playback at the chosen event.
//
// Object names: "kind-1", "kind-2", "kind-7", "list", "page", "previous",
// "next", "play", "close", "empty".

#include <array>

#include "app/remote_search.h"
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

    EventListDialog(app::RemoteSearchHub& hub, QWidget* parent);

    // Re-reads the hub's list.
    void refresh();
    SkinListBox* list() const { return list_; }

private:
    void play();

    app::RemoteSearchHub& hub_;
    std::array<SkinButton*, 3> kinds_{};
    SkinListBox* list_ = nullptr;
    SkinStatic* empty_ = nullptr;
    SkinStatic* page_ = nullptr;
    SkinButton* previous_ = nullptr;
    SkinButton* next_ = nullptr;
    SkinButton* play_ = nullptr;
};

}  // namespace kalix::ui

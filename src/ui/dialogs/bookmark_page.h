#pragma once
// The bookmark list page of the local search: the bookmarks with their time
// and note, the note field (530), Delete (480), Edit note (481) which turns
// into Store note (482), Delete all (483) and Play (484); and Add bookmark,
// which stores the moment local playback stands at with the note typed.
//
// What the controls do lives in app::BookmarkList; this page renders it.
//
// Object names: "list", "note", "delete", "edit", "store", "delete-all",
// "play", "add".

#include <QWidget>

#include <functional>
#include <optional>

#include "app/bookmark_list.h"
#include "session/event_sink.h"

namespace kalix::ui {

class SkinButton;
class SkinEdit;
class SkinListBox;

// Where local playback stands: the time and the .vid that plays.
struct PlaybackMoment {
    protocol::RecorderTime time = 0;
    std::string vid_path;
};

class BookmarkPage final : public QWidget {
    Q_OBJECT

public:
    BookmarkPage(app::BookmarkList list, std::function<std::optional<PlaybackMoment>()> moment,
                 QWidget* parent = nullptr);

    void reload();
    app::BookmarkList& model() { return list_; }
    SkinListBox* list() const { return view_; }

signals:
    void playRequested(kalix::protocol::RecorderTime time);
    void noticeRequested(kalix::session::Notice notice);

private:
    void refresh();
    void rowChosen(int row);

    app::BookmarkList list_;
    std::function<std::optional<PlaybackMoment>()> moment_;
    SkinListBox* view_ = nullptr;
    SkinEdit* note_ = nullptr;
    SkinButton* delete_ = nullptr;
    SkinButton* edit_ = nullptr;
    SkinButton* store_ = nullptr;
    SkinButton* delete_all_ = nullptr;
    SkinButton* play_ = nullptr;
    SkinButton* add_ = nullptr;
};

}  // namespace kalix::ui

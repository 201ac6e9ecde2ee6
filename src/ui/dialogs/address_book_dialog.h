#pragma once
// The address book: the recorders of the connection history, newest first,
// with their port, description and the time of the last connection. The
// operator picks one for the connect dialog, deletes entries and edits
// descriptions; every change is written back to the history file at once.
//
// The newest row is chosen when the book opens. Choosing a row enables
// Delete, Edit and OK and ends an unsaved description edit; without rows
// they are disabled. Edit puts the row's description into the edit field
// and turns into Save until the text is saved.
//
// Controls carry object names for tests and screenshots: "list", "delete",
// "edit", "save", "description", "ok", "cancel".

#include <QString>

#include <ctime>
#include <optional>

#include "app/client_profile.h"
#include "app/connect_history.h"
#include "ui/skin/skin_dialog.h"

namespace kalix::ui {

class SkinButton;
class SkinEdit;
class SkinListBox;

// "date time" of a time of last use in local time, the date as the local
// settings write dates; empty for 0 (never).
QString lastUseText(std::uint32_t time, app::DateFormat format);

class AddressBookDialog final : public SkinDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 600;
    static constexpr int kHeight = 380;

    // `history` should be loaded; the book shows and edits its entries.
    AddressBookDialog(app::ConnectHistory& history, app::DateFormat date_format, QWidget* parent = nullptr);
    ~AddressBookDialog() override;

    // After OK: the recorder chosen.
    const std::optional<app::HistoryEntry>& chosen() const { return chosen_; }
    int selectedRow() const { return selected_; }

    void accept() override;

protected:

private:
    void fillList();
    void select(int row);
    void deleteSelected();
    void editDescription();
    void saveDescription();
    void setEditing(bool on);

    app::ConnectHistory& history_;
    app::DateFormat date_format_;
    std::optional<app::HistoryEntry> chosen_;
    int selected_ = -1;

    SkinListBox* list_ = nullptr;
    SkinEdit* description_ = nullptr;
    SkinButton* delete_ = nullptr;
    SkinButton* edit_ = nullptr;
    SkinButton* save_ = nullptr;
    SkinButton* ok_ = nullptr;
};

}  // namespace kalix::ui

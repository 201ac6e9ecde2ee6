#pragma once
// The Info tab of the remote search dialog: sub-tabs System Info (what the
// session holds from the login, nothing asked) and Status Info (asked of
// the recorder when first chosen) over one list of three columns.
//
// Object names: "info-system", "info-status", "info-list".

#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "app/info_pages.h"

namespace kalix::ui {

class SkinButton;
class SkinListBox;

enum class InfoPage : std::uint8_t { System = 0, Status = 1 };

struct InfoTabDeps {
    std::function<void()> request_status;
    app::SystemInfoSource system;
    int channels = 16;
};

class InfoTabPage final : public QWidget {
    Q_OBJECT

public:
    explicit InfoTabPage(InfoTabDeps deps, QWidget* parent = nullptr);

    void choosePage(InfoPage page);
    InfoPage page() const { return page_; }
    void onStatusAnswer(const session::StatusAnswer& answer);
    const std::vector<app::ListRow>& rows() const { return rows_; }
    SkinListBox* list() const { return list_; }

private:
    InfoTabDeps deps_;
    InfoPage page_ = InfoPage::System;
    bool status_asked_ = false;
    std::optional<std::vector<std::uint8_t>> status_;
    std::vector<app::ListRow> rows_;
    std::array<SkinButton*, 2> tabs_{};
    SkinListBox* list_ = nullptr;
};

}  // namespace kalix::ui

#pragma once
// The Log tab of the remote search dialog and the Local Log page of the
// local search.
//
// LogTabPage: sub-tabs All, Power, Record, Operation, Client, Event and
// Archive over one list of five columns, with Print, Preview and PDF on
// every page, Play on the Event page and Detail on the Operation page. The
// log is asked for once, when the page is first shown; every sub-tab is
// built from the same entries (app::LogPageModel).
//
// LocalLogPage: the operation log of the storage folder in one list, with
// Print, Preview and PDF. LocalLogDialog shows it in a window of its own.
//
// Object names: "log-all" ... "log-archive", "log-list", "log-print",
// "log-preview", "log-pdf", "log-play", "log-detail", "local-log-list".

#include <QWidget>

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "app/log_pages.h"
#include "app/log_printout.h"
#include "session/remote_playback.h"
#include "ui/skin/skin_dialog.h"

namespace kalix::ui {

class SkinButton;
class SkinListBox;

struct LogTabDeps {
    std::function<void()> request_log;
    // Whether a local player runs (Play stays disabled), and Play itself:
    // true when the playback start went out. Without them, no Play.
    std::function<bool()> local_player_running;
    std::function<bool(const session::PlayStart&)> play;
    app::DateFormat date_format = app::DateFormat::YearMonthDay;
};

class LogTabPage final : public QWidget {
    Q_OBJECT

public:
    explicit LogTabPage(LogTabDeps deps, QWidget* parent = nullptr);

    void choosePage(app::LogPage page);
    app::LogPage page() const { return page_; }
    // LOG_INFO_ACK, or its refusal.
    void onLogAnswer(const session::LogAnswer& answer);
    bool waiting() const { return waiting_; }

    const app::LogPageModel* model() const { return model_ ? &*model_ : nullptr; }
    app::Printout printout() const;
    SkinListBox* list() const { return list_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refreshButtons();
    void play();
    void showDetail();

    LogTabDeps deps_;
    app::LogPage page_ = app::LogPage::All;
    std::optional<std::vector<session::RemoteLogEntry>> entries_;
    std::optional<app::LogPageModel> model_;
    bool waiting_ = false;
    std::array<SkinButton*, app::kRemoteLogPages> tabs_{};
    SkinListBox* list_ = nullptr;
    SkinButton* play_ = nullptr;
    SkinButton* detail_ = nullptr;
};

class LocalLogPage final : public QWidget {
    Q_OBJECT

public:
    LocalLogPage(std::filesystem::path location, app::DateFormat format, QWidget* parent = nullptr);
    // Reads the file again.
    void reload();
    const std::vector<app::ListRow>& rows() const { return rows_; }
    app::Printout printout() const { return app::layoutPrintout(app::LogPage::Local, rows_); }
    SkinListBox* list() const { return list_; }

private:
    std::filesystem::path location_;
    app::DateFormat format_;
    std::vector<app::ListRow> rows_;
    SkinListBox* list_ = nullptr;
};

// The Local Log in a window of its own, for the local search's Log tab.
class LocalLogDialog final : public SkinDialog {
    Q_OBJECT

public:
    LocalLogDialog(std::filesystem::path location, app::DateFormat format, QWidget* parent = nullptr);
    LocalLogPage* page() const { return page_; }

private:
    LocalLogPage* page_;
};

// The rows in a list of the given column widths.
void showRows(SkinListBox& list, const std::vector<app::ListRow>& rows);

}  // namespace kalix::ui

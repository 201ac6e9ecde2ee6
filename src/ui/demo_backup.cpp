#include "ui/demo_backup.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <cstdio>

#include "ui/dialogs/backup_page_widget.h"
#include "ui/dialogs/calendar_dialog.h"
#include "ui/dialogs/day_timeline_dialog.h"
#include "ui/dialogs/event_list_dialog.h"
#include "ui/dialogs/remote_search_dialog.h"
#include "ui/main_window.h"
#include "ui/skin/skin_button.h"

namespace kalix::ui {
namespace {

constexpr int kPollMs = 250;
constexpr int kGiveUpPolls = 80;  // 20 s for any one stage
// The first stage after the Backup tab is up.
constexpr int kPageStage = 2;

// The demo recorder keeps the PC's local time: its clock read as UTC.
protocol::RecorderTime recorderNow() {
    const QDateTime local = QDateTime::currentDateTime();
    return static_cast<protocol::RecorderTime>(QDateTime(local.date(), local.time(), Qt::UTC).toSecsSinceEpoch());
}

void press(QWidget& in, const char* name) {
    if (auto* b = in.findChild<QAbstractButton*>(QLatin1String(name))) b->click();
}

}  // namespace

std::optional<DemoBackupPage> demoBackupPage(const QString& name) {
    const char* const names[] = {"range", "calendar", "day", "event", "channels"};
    for (int i = 0; i < 5; ++i)
        if (name == QLatin1String(names[i])) return static_cast<DemoBackupPage>(i);
    return std::nullopt;
}

DemoBackupScript::DemoBackupScript(MainWindow& window, QString folder, DemoBackupPage page)
    : QObject(&window), window_(window), folder_(std::move(folder)), page_(page) {
    QDir().mkpath(folder_);
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, [this] { step(); });
    timer_.start();
}

void DemoBackupScript::save(QWidget& widget, const char* name) {
    const QString file = QDir(folder_).filePath(QLatin1String(name) + QStringLiteral(".png"));
    if (!widget.grab().save(file, "PNG")) std::fprintf(stderr, "kalix: cannot write %s\n", qPrintable(file));
}

void DemoBackupScript::step() {
    if (++waited_ > kGiveUpPolls) {
        std::fprintf(stderr, "kalix: the demo backup stopped waiting at stage %d\n", stage_);
        timer_.stop();
        return;
    }
    RemoteSearchDialog* dialog = window_.remoteSearchDialog();
    bool done = false;
    if (stage_ == 0) {  // logged in: RSearch
        if (window_.controller().session() == nullptr || !window_.controller().session()->identity()) return;
        window_.controller().press(app::ControlId::RSearch);
        done = true;
    } else if (stage_ == 1) {  // the dialog: its Backup tab
        if (dialog == nullptr || !dialog->isVisible()) return;
        press(*dialog, "tab-backup");
        done = true;
    } else if (page_ == DemoBackupPage::Range) {
        done = rangeStage(dialog ? dialog->backupPage() : nullptr);
    } else {
        BackupPageWidget* page = dialog ? dialog->backupPage() : nullptr;
        if (page == nullptr || !page->isVisible()) return;
        switch (page_) {
            case DemoBackupPage::Calendar:
            case DemoBackupPage::Day: done = calendarStage(*page); break;
            case DemoBackupPage::Event: done = eventStage(*page); break;
            default: done = channelStage(*page); break;
        }
    }
    if (done) {
        ++stage_;
        waited_ = 0;
    }
}

bool DemoBackupScript::rangeStage(BackupPageWidget* page) {
    switch (stage_) {
        case kPageStage: {  // a minute of every channel, then Calculate
            if (page == nullptr || !page->isVisible()) return false;
            const protocol::RecorderTime now = recorderNow();
            page->setRange(now - 120, now - 60);
            press(*page, "calculate");
            return true;
        }
        case kPageStage + 1: {  // the size is in: the page, then Backup
            auto* capacity = page ? page->findChild<QLabel*>(QStringLiteral("capacity")) : nullptr;
            if (capacity == nullptr || capacity->text().isEmpty()) return false;
            save(*page->window(), "backup-calculated");
            press(*page, "backup");
            return true;
        }
        default: {  // the transfer runs: its progress window
            auto* progress = window_.findChild<DownloadProgressWindow*>(QStringLiteral("download-progress"));
            if (progress == nullptr || !progress->isVisible()) return false;
            save(*progress, "backup-progress");
            timer_.stop();
            return true;
        }
    }
}

bool DemoBackupScript::calendarStage(BackupPageWidget& page) {
    switch (stage_) {
        case kPageStage: press(page, "backup-sub-calendar"); return true;
        case kPageStage + 1: {  // the calendar: then its newest recorded day
            CalendarDialog* calendar = page.calendar();
            if (calendar == nullptr || !calendar->isVisible()) return false;
            save(*calendar, "backup-calendar");
            if (page_ == DemoBackupPage::Calendar) {
                timer_.stop();
                return true;
            }
            for (int d = 30; d >= 0; --d) {
                SkinButton* day = calendar->dayButton(d);
                if (day->isVisible() && day->isEnabled()) {
                    day->click();
                    break;
                }
            }
            return true;
        }
        case kPageStage + 2: {  // the day: zoomed to the last two hours
            DayTimelineDialog* timeline = page.timeline();
            app::DayTimeline* model = page.search().timeline();
            if (timeline == nullptr || !timeline->isVisible() || model == nullptr) return false;
            save(*timeline, "backup-day");
            const int now_x = app::kTimelineLeft + app::secondOfDay(recorderNow()) / app::kFullDayScale;
            const int from_x = std::max(app::kTimelineLeft, now_x - 7200 / app::kFullDayScale);
            model->leftDown(from_x, app::kTimelineTop + 10);
            model->pointerMoved(now_x, true);
            model->leftUp(now_x);
            timeline->refresh();
            return true;
        }
        case kPageStage + 3: {  // OK takes the stretch; then Calculate
            DayTimelineDialog* timeline = page.timeline();
            if (timeline == nullptr) return false;
            save(*timeline, "backup-day-zoomed");
            press(*timeline, "play");
            return true;
        }
        case kPageStage + 4:
            save(*page.window(), "backup-day-range");
            press(page, "calculate");
            return true;
        default: {
            auto* capacity = page.findChild<QLabel*>(QStringLiteral("capacity"));
            if (capacity == nullptr || capacity->text().isEmpty()) return false;
            save(*page.window(), "backup-day-calculated");
            timer_.stop();
            return true;
        }
    }
}

bool DemoBackupScript::eventStage(BackupPageWidget& page) {
    switch (stage_) {
        case kPageStage: press(page, "backup-sub-event"); return true;
        case kPageStage + 1: {  // the list: then OK on its first event
            EventListDialog* events = page.eventList();
            if (events == nullptr || !events->isVisible() || page.search().pending()) return false;
            save(*events, "backup-events");
            press(*events, "play");
            return true;
        }
        default:
            save(*page.window(), "backup-event-range");
            timer_.stop();
            return true;
    }
}

bool DemoBackupScript::channelStage(BackupPageWidget& page) {
    if (stage_ == kPageStage) {
        press(page, "backup-sub-channels");
        press(page, "backup-channel-1");
        return true;
    }
    save(*page.window(), "backup-channels");
    timer_.stop();
    return true;
}

}  // namespace kalix::ui

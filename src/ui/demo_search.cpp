#include "ui/demo_search.h"

#include <QCoreApplication>
#include <QDir>
#include <QMouseEvent>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "app/day_timeline.h"
#include "ui/dialogs/calendar_dialog.h"
#include "ui/dialogs/day_timeline_dialog.h"
#include "ui/dialogs/event_list_dialog.h"
#include "ui/dialogs/remote_search_dialog.h"
#include "ui/main_window.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {
namespace {

constexpr int kPollMs = 250;
constexpr int kGiveUpPolls = 80;  // 20 s for any one stage

// The timeline's full day is 288 pixels at 300 seconds each.
constexpr int pixelOfHour(int hour) { return app::kTimelineLeft + hour * 12; }
constexpr int kRowY = app::DayTimeline::rowTop(0) + 4;

void mouse(QWidget& target, QEvent::Type type, int x, Qt::MouseButtons held) {
    const QPointF local(x, kRowY);
    QMouseEvent event(type, local, target.mapToGlobal(local), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      held, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &event);
}

void click(QWidget* parent, const char* name) {
    if (parent == nullptr) return;
    if (auto* b = parent->findChild<SkinButton*>(QLatin1String(name))) b->click();
}

}  // namespace

DemoSearchScript::DemoSearchScript(MainWindow& window, QString folder)
    : QObject(&window), window_(window), folder_(std::move(folder)) {
    QDir().mkpath(folder_);
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, [this] { step(); });
    timer_.start();
}

void DemoSearchScript::save(QWidget& widget, const char* name) {
    const QString file = QDir(folder_).filePath(QLatin1String(name) + QStringLiteral(".png"));
    if (!widget.grab().save(file, "PNG")) std::fprintf(stderr, "kalix: cannot write %s\n", qPrintable(file));
}

// One stage per tick, each waiting for what the recorder's answer opens.
void DemoSearchScript::step() {
    if (++waited_ > kGiveUpPolls) {
        std::fprintf(stderr, "kalix: the demo search stopped waiting at stage %d\n", stage_);
        timer_.stop();
        return;
    }
    RemoteSearchDialog* dialog = window_.remoteSearchDialog();
    const auto next = [this] {
        ++stage_;
        waited_ = 0;
    };
    switch (stage_) {
        case 0:  // logged in: RSearch
            if (window_.controller().session() == nullptr || !window_.controller().session()->identity()) return;
            window_.controller().press(app::ControlId::RSearch);
            return next();
        case 1:  // the dialog: its date-and-time page, then the calendar search
            if (dialog == nullptr || !dialog->isVisible()) return;
            save(*dialog, "search-dialog");
            click(dialog, "sub-calendar");
            return next();
        case 2: {  // the month calendar: the day before the newest recorded one
            CalendarDialog* calendar = dialog ? dialog->calendar() : nullptr;
            if (calendar == nullptr || !calendar->isVisible()) return;
            save(*calendar, "search-calendar");
            std::vector<int> recorded;
            for (int d = 0; d < 31; ++d)
                if (calendar->dayButton(d)->isEnabled()) recorded.push_back(d);
            if (recorded.empty()) return;
            calendar->dayButton(recorded.size() > 1 ? recorded[recorded.size() - 2] : recorded.back())->click();
            return next();
        }
        case 3: {  // the day timeline: the whole day, then 08:00-18:00 with the cursor at 10:30
            DayTimelineDialog* timeline = dialog ? dialog->timeline() : nullptr;
            if (timeline == nullptr || !timeline->isVisible()) return;
            save(*timeline, "search-timeline-day");
            mouse(*timeline, QEvent::MouseButtonPress, pixelOfHour(8), Qt::LeftButton);
            mouse(*timeline, QEvent::MouseMove, pixelOfHour(18), Qt::LeftButton);
            mouse(*timeline, QEvent::MouseButtonRelease, pixelOfHour(18), Qt::NoButton);
            const int x = app::kTimelineLeft + (10 * 3600 + 1800 - 8 * 3600) / 125;  // 125 s a pixel now
            mouse(*timeline, QEvent::MouseButtonPress, x, Qt::LeftButton);
            mouse(*timeline, QEvent::MouseButtonRelease, x, Qt::NoButton);
            timeline->repaint();
            save(*timeline, "search-timeline-zoomed");
            click(dialog, "sub-event");
            return next();
        }
        case 4: {  // the event list, its third row chosen
            EventListDialog* events = dialog ? dialog->eventList() : nullptr;
            if (events == nullptr || !events->isVisible() || events->list()->rowCount() == 0) return;
            events->list()->setCurrentRow(std::min(2, events->list()->rowCount() - 1));
            save(*events, "search-events");
            // Play at the timeline's cursor.
            click(dialog->timeline(), "play");
            return next();
        }
        case 5:  // the recorder accepted: the dialog goes, the wall plays
            if (!window_.controller().remotePlaybackShown()) return;
            if (dialog != nullptr) dialog->reject();
            timer_.stop();
            return;
        default: timer_.stop();
    }
}

}  // namespace kalix::ui

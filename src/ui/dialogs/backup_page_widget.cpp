#include "ui/dialogs/backup_page_widget.h"

#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "app/string_uses.h"
#include "ui/dialogs/calendar_dialog.h"
#include "ui/dialogs/channel_choice_panel.h"
#include "ui/dialogs/day_timeline_dialog.h"
#include "ui/dialogs/event_list_dialog.h"
#include "ui/dialogs/search_sub_tabs.h"
#include "ui/operator_text.h"

namespace kalix::ui {
namespace {

constexpr std::uint16_t kOkText = app::stringNumber("ok");
constexpr std::uint16_t kFirstKindText = app::stringNumber("event list: kinds");

enum Panel { kDateTimePanel = 0, kChannelPanel = 1, kBlankPanel = 2 };

// Recorder times are the recorder's wall clock counted as UTC.
QDateTimeEdit* timeEdit(const char* name, QWidget* parent) {
    auto* edit = new QDateTimeEdit(parent);
    edit->setObjectName(name);
    edit->setTimeSpec(Qt::UTC);
    edit->setDisplayFormat("yyyy-MM-dd HH:mm:ss");
    edit->setCalendarPopup(true);
    return edit;
}

QDateTime shown(protocol::RecorderTime time) { return QDateTime::fromSecsSinceEpoch(time, Qt::UTC); }

protocol::RecorderTime recorderTime(const QDateTimeEdit* edit) {
    const qint64 seconds = edit->dateTime().toSecsSinceEpoch();
    return static_cast<protocol::RecorderTime>(std::clamp<qint64>(seconds, 0, 0xFFFF'FFFFLL));
}

// "All recordings", or the event kind an event backup asks for.
QString kindsText(std::uint8_t kinds) {
    if (kinds == session::kAllRecordingKinds) return QStringLiteral("All recordings");
    for (std::size_t i = 0; i < app::kEventKinds.size(); ++i)
        if (kinds == 1u << app::kEventKinds[i])
            return QStringLiteral("Event: ") + operatorText(static_cast<std::uint16_t>(kFirstKindText + i));
    return QStringLiteral("Kinds 0x%1").arg(kinds, 2, 16, QLatin1Char('0'));
}

}  // namespace

BackupPageWidget::BackupPageWidget(BackupPageDeps deps, QWidget* parent)
    : QWidget(parent),
      deps_(std::move(deps)),
      model_({deps_.requests, deps_.free_mib, deps_.notice, app::channelsBelow(deps_.channel_count)}),
      search_({deps_.requests, deps_.searches, model_, *this, deps_.permitted_channels, deps_.date_format,
               deps_.current_year}) {
    subs_ = new SearchSubTabs(QStringLiteral("backup-sub-"), this);
    connect(subs_, &SearchSubTabs::chosen, this, &BackupPageWidget::chooseSubTab);

    panels_ = new QStackedWidget(this);
    panels_->addWidget(buildDateTimePanel());
    auto* channels = new ChannelChoicePanel(deps_.channel_count, model_.range().channels, QStringLiteral("backup-channel-"));
    connect(channels, &ChannelChoicePanel::maskChanged, this, [this](std::uint32_t mask) {
        model_.setChannels(mask);
        refresh();
    });
    panels_->addWidget(channels);
    panels_->addWidget(new QWidget);

    range_ = new QLabel(this);
    range_->setObjectName("backup-range");
    range_->setWordWrap(true);
    calculate_ = new QPushButton("Calculate", this);
    calculate_->setObjectName("calculate");
    capacity_ = new QLabel(this);
    capacity_->setObjectName("capacity");
    capacity_->setMinimumWidth(120);
    backup_ = new QPushButton("Backup", this);
    backup_->setObjectName("backup");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(calculate_);
    buttons->addWidget(capacity_);
    buttons->addStretch();
    buttons->addWidget(backup_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(subs_);
    column->addSpacing(12);
    column->addWidget(panels_, 1);
    column->addWidget(range_);
    column->addLayout(buttons);

    connect(calculate_, &QPushButton::clicked, this, [this] {
        model_.calculate();
        refresh();
    });
    connect(backup_, &QPushButton::clicked, this, [this] {
        const bool started = model_.backup();
        refresh();
        if (started) emit backupStarted();
    });
    chooseSubTab(SubTab::DateTime);
    model_.setTimeRange(recorderTime(from_), recorderTime(to_));
    refresh();
}

// The windows use the search model, which goes before the widget's children.
BackupPageWidget::~BackupPageWidget() {
    for (QWidget* w : {static_cast<QWidget*>(calendar_.data()), static_cast<QWidget*>(timeline_.data()),
                       static_cast<QWidget*>(events_.data())})
        delete w;
}

QWidget* BackupPageWidget::buildDateTimePanel() {
    auto* panel = new QWidget;
    from_ = timeEdit("backup-from", panel);
    to_ = timeEdit("backup-to", panel);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(24, 24, 24, 24);
    grid->addWidget(new QLabel("From", panel), 0, 0);
    grid->addWidget(from_, 0, 1);
    grid->addWidget(new QLabel("To", panel), 1, 0);
    grid->addWidget(to_, 1, 1);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(2, 1);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    from_->setDateTime(now.addSecs(-3600));
    to_->setDateTime(now);
    for (QDateTimeEdit* edit : {from_, to_})
        connect(edit, &QDateTimeEdit::dateTimeChanged, this, [this] {
            model_.setTimeRange(recorderTime(from_), recorderTime(to_));
            refresh();
        });
    return panel;
}

CalendarDialog* BackupPageWidget::calendar() const { return calendar_.data(); }
DayTimelineDialog* BackupPageWidget::timeline() const { return timeline_.data(); }
EventListDialog* BackupPageWidget::eventList() const { return events_.data(); }

void BackupPageWidget::chooseSubTab(SubTab tab) {
    if (search_.pending()) return;
    const int panels[] = {kDateTimePanel, kBlankPanel, kBlankPanel, kChannelPanel};
    panels_->setCurrentIndex(panels[static_cast<int>(tab)]);
    subs_->setPressed(tab);
    if (tab == SubTab::Event) search_.openEventSearch();
    if (tab == SubTab::Calendar) search_.openCalendarSearch();
}

void BackupPageWidget::setRange(protocol::RecorderTime from, protocol::RecorderTime to) {
    model_.setTimeRange(from, to);
    showRange();
    refresh();
}

// The edits follow a range set elsewhere without setting it again (an
// event range keeps its kind).
void BackupPageWidget::showRange() {
    const QSignalBlocker block_from(from_);
    const QSignalBlocker block_to(to_);
    from_->setDateTime(shown(model_.range().start));
    to_->setDateTime(shown(model_.range().end));
}

void BackupPageWidget::onSize(const session::DownloadSize& size) {
    model_.onSize(size);
    refresh();
}

void BackupPageWidget::refresh() {
    calculate_->setEnabled(model_.calculateEnabled() && !model_.pending() && model_.range().channels != 0);
    backup_->setEnabled(model_.backupEnabled());
    capacity_->setText(QString::fromStdString(model_.capacityLabel()));
    const session::DownloadRange& r = model_.range();
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    range_->setText(QStringLiteral("%1 - %2\n%3, channels %4")
                        .arg(shown(r.start).toString(format), shown(r.end).toString(format), kindsText(r.kinds),
                             QString::fromStdString(app::channelText(r.channels)).trimmed()));
}

void BackupPageWidget::hideEvent(QHideEvent* event) {
    // The windows stand over the page: they go with it.
    if (calendar_) calendar_->hide();
    if (timeline_) timeline_->hide();
    if (events_) events_->hide();
    QWidget::hideEvent(event);
}

// ---------------------------------------------------------------- view

void BackupPageWidget::stateChanged() {
    refresh();
    if (calendar_) calendar_->refresh();
    if (events_) events_->refresh();
    emit searchStateChanged();
}

void BackupPageWidget::placeWindow(QWidget& w) {
    w.move(window()->mapToGlobal(QPoint(app::kTimelineDialogX, app::kTimelineDialogY)));
}

void BackupPageWidget::openCalendar() {
    if (!calendar_) {
        calendar_ = new CalendarDialog(search_, this);
        calendar_->setOpacityByte(deps_.opacity);
        placeWindow(*calendar_);
    }
    calendar_->refresh();
    calendar_->show();
    calendar_->raise();
}

void BackupPageWidget::openTimeline() {
    if (!timeline_) {
        timeline_ = new DayTimelineDialog(search_, this, kOkText);
        timeline_->setOpacityByte(deps_.opacity);
        placeWindow(*timeline_);
    }
    timeline_->refresh();
    if (calendar_) calendar_->hide();
    timeline_->show();
    timeline_->raise();
    timeline_->setFocus();
}

void BackupPageWidget::closeTimeline() {
    if (timeline_) timeline_->finish();
}

void BackupPageWidget::openEventList() {
    if (!events_) {
        events_ = new EventListDialog(search_, this, kOkText);
        events_->setOpacityByte(deps_.opacity);
        placeWindow(*events_);
    }
    events_->refresh();
    events_->show();
    events_->raise();
}

void BackupPageWidget::rangeChosen() {
    closeTimeline();
    if (calendar_) calendar_->hide();
    if (events_) events_->hide();
    showRange();
    panels_->setCurrentIndex(kDateTimePanel);
    subs_->setPressed(SubTab::DateTime);
    refresh();
}

void BackupPageWidget::showNotice(session::Notice notice) {
    if (deps_.notice) deps_.notice(notice);
}

DownloadProgressWindow::DownloadProgressWindow(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setObjectName("download-progress");
    setWindowTitle("Backup");
    bar_ = new QProgressBar(this);
    bar_->setObjectName("progress-bar");
    bar_->setMinimumWidth(320);
    text_ = new QLabel(this);
    text_->setMinimumWidth(80);  // "1023 MByte"
    auto* stop = new QPushButton("Stop", this);
    stop->setObjectName("stop");
    connect(stop, &QPushButton::clicked, this, &DownloadProgressWindow::stopPressed);
    auto* row = new QHBoxLayout(this);
    row->addWidget(bar_);
    row->addWidget(text_);
    row->addWidget(stop);
}

void DownloadProgressWindow::show(const app::DownloadProgress& progress) {
    // The bar counts KiB; the received bytes may pass the recorder's estimate.
    const auto maximum = std::max(progress.maximum(), progress.position());
    bar_->setRange(0, static_cast<int>(std::min<std::uint32_t>(maximum, 0x7FFF'FFFF)));
    bar_->setValue(static_cast<int>(std::min<std::uint32_t>(progress.position(), 0x7FFF'FFFF)));
    text_->setText(QString::fromStdString(app::capacityDisplay(progress.position()).text));
    QWidget::show();
}

}  // namespace kalix::ui

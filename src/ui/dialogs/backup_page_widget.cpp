#include "ui/dialogs/backup_page_widget.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalix::ui {
namespace {

// Recorder times are the recorder's wall clock counted as UTC.
QDateTimeEdit* timeEdit(const char* name, QWidget* parent) {
    auto* edit = new QDateTimeEdit(parent);
    edit->setObjectName(name);
    edit->setTimeSpec(Qt::UTC);
    edit->setDisplayFormat("yyyy-MM-dd HH:mm:ss");
    edit->setCalendarPopup(true);
    return edit;
}

protocol::RecorderTime recorderTime(const QDateTimeEdit* edit) {
    const qint64 seconds = edit->dateTime().toSecsSinceEpoch();
    return static_cast<protocol::RecorderTime>(std::clamp<qint64>(seconds, 0, 0xFFFF'FFFFLL));
}

}  // namespace

BackupPageWidget::BackupPageWidget(app::BackupRequests& requests, int channel_count,
                                   std::function<void(session::Notice)> notice,
                                   std::function<std::optional<std::int64_t>()> free_mib, QWidget* parent)
    : QWidget(parent),
      model_({requests, std::move(free_mib), std::move(notice),
              channel_count >= 16 ? 0xFFFFu : (1u << std::max(channel_count, 1)) - 1}) {
    from_ = timeEdit("backup-from", this);
    to_ = timeEdit("backup-to", this);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("From", this), 0, 0);
    grid->addWidget(from_, 0, 1);
    grid->addWidget(new QLabel("To", this), 1, 0);
    grid->addWidget(to_, 1, 1);

    auto* channels = new QGridLayout;
    for (int c = 0; c < std::min(channel_count, 16); ++c) {
        auto* box = new QCheckBox(QString("%1").arg(c + 1, 2, 10, QChar('0')), this);
        box->setObjectName(QString("backup-channel-%1").arg(c));
        box->setChecked(true);
        connect(box, &QCheckBox::toggled, this, [this] { rangeEdited(); });
        channels->addWidget(box, c / 4, c % 4);
        channels_.push_back(box);
    }

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
    column->addLayout(grid);
    column->addWidget(new QLabel("Channels", this));
    column->addLayout(channels);
    column->addStretch();
    column->addLayout(buttons);

    const QDateTime now = QDateTime::currentDateTimeUtc();
    from_->setDateTime(now.addSecs(-3600));
    to_->setDateTime(now);
    connect(from_, &QDateTimeEdit::dateTimeChanged, this, [this] { rangeEdited(); });
    connect(to_, &QDateTimeEdit::dateTimeChanged, this, [this] { rangeEdited(); });
    connect(calculate_, &QPushButton::clicked, this, [this] {
        model_.calculate();
        refresh();
    });
    connect(backup_, &QPushButton::clicked, this, [this] {
        const bool started = model_.backup();
        refresh();
        if (started) emit backupStarted();
    });
    rangeEdited();
}

void BackupPageWidget::setRange(protocol::RecorderTime from, protocol::RecorderTime to) {
    from_->setDateTime(QDateTime::fromSecsSinceEpoch(from, Qt::UTC));
    to_->setDateTime(QDateTime::fromSecsSinceEpoch(to, Qt::UTC));
    rangeEdited();
}

void BackupPageWidget::rangeEdited() {
    std::uint32_t mask = 0;
    for (std::size_t c = 0; c < channels_.size(); ++c)
        if (channels_[c]->isChecked()) mask |= 1u << c;
    model_.setChannels(mask);
    model_.setTimeRange(recorderTime(from_), recorderTime(to_));
    refresh();
}

void BackupPageWidget::onSize(const session::DownloadSize& size) {
    model_.onSize(size);
    refresh();
}

void BackupPageWidget::refresh() {
    calculate_->setEnabled(model_.calculateEnabled() && !model_.pending());
    backup_->setEnabled(model_.backupEnabled());
    capacity_->setText(QString::fromStdString(model_.capacityLabel()));
}

DownloadProgressWindow::DownloadProgressWindow(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setObjectName("download-progress");
    setWindowTitle("Backup");
    bar_ = new QProgressBar(this);
    bar_->setObjectName("progress-bar");
    bar_->setMinimumWidth(320);
    text_ = new QLabel(this);
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

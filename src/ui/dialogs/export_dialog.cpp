#include "ui/dialogs/export_dialog.h"

#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QTimeZone>
#include <QVBoxLayout>

#include <algorithm>

#include "app/string_uses.h"
#include "ui/operator_text.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_check_button.h"
#include "ui/skin/skin_style.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {
namespace {

constexpr std::uint16_t kTitle = app::stringNumber("export: title");
constexpr std::uint16_t kLabels = app::stringNumber("export: labels");
constexpr std::uint16_t kStart = app::stringNumber("export: start");
constexpr std::uint16_t kStop = app::stringNumber("export: stop");
constexpr std::uint16_t kStates = app::stringNumber("export: states");
constexpr std::uint16_t kChannelText = app::stringNumber("local setup: channel");

// Recorder times are wall-clock counts: shown as UTC, no zone applied.
QDateTimeEdit* makeTimeEdit(std::uint32_t t, const char* name, QWidget* parent) {
    auto* e = new QDateTimeEdit(parent);
    e->setTimeSpec(Qt::UTC);
    e->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    e->setDateTime(QDateTime::fromSecsSinceEpoch(t, Qt::UTC));
    e->setObjectName(QLatin1String(name));
    return e;
}

std::uint32_t timeOf(const QDateTimeEdit* e) {
    const qint64 s = e->dateTime().toSecsSinceEpoch();
    return static_cast<std::uint32_t>(std::clamp<qint64>(s, 0, 0xFFFFFFFF));
}

}  // namespace

ExportDialog::ExportDialog(std::filesystem::path archive_folder, std::filesystem::path out_folder,
                           std::uint32_t from, std::uint32_t to, QWidget* parent)
    : SkinDialog(parent), archive_folder_(std::move(archive_folder)) {
    setTitle(operatorText(kTitle));
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_DeleteOnClose);

    from_ = makeTimeEdit(from, "from", this);
    to_ = makeTimeEdit(to, "to", this);
    folder_ = new SkinEdit(0, SkinEdit::Echo::Normal, this);
    folder_->setObjectName(QStringLiteral("folder"));
    folder_->setText(QString::fromStdString(out_folder.string()));

    auto* form = new QGridLayout;
    form->addWidget(new SkinStatic(operatorText(kLabels), this), 0, 0);
    form->addWidget(from_, 0, 1);
    form->addWidget(new SkinStatic(operatorText(kLabels + 1), this), 1, 0);
    form->addWidget(to_, 1, 1);
    form->addWidget(new SkinStatic(operatorText(kLabels + 2), this), 2, 0);
    form->addWidget(folder_, 2, 1);

    auto* grid = new QGridLayout;
    for (int ch = 0; ch < 16; ++ch) {
        auto* check = new SkinCheckButton(QStringLiteral("%1 %2").arg(operatorText(kChannelText)).arg(ch + 1), this);
        check->setObjectName(QStringLiteral("channel-%1").arg(ch));
        check->setCheckable(true);
        grid->addWidget(check, ch / 4, ch % 4);
        channels_[static_cast<std::size_t>(ch)] = check;
    }
    channels_[0]->setChecked(true);

    export_ = new SkinButton(1, skin::kSmallButton, operatorText(kStart), this);
    export_->setObjectName(QStringLiteral("export"));
    stop_ = new SkinButton(2, skin::kSmallButton, operatorText(kStop), this);
    stop_->setObjectName(QStringLiteral("stop"));
    for (SkinButton* b : {export_, stop_}) {
        applySkin(*b, SkinFont::Bold);
        b->setFixedSize(64, 22);
    }
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("progress"));
    bar_->setRange(0, 100);
    bar_->setValue(0);
    status_ = new SkinStatic({}, this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(export_);
    buttons->addWidget(stop_);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 36, 16, 12);
    column->addLayout(form);
    column->addWidget(new SkinStatic(operatorText(kLabels + 3), this));
    column->addLayout(grid);
    column->addWidget(bar_);
    column->addWidget(status_, 1);
    column->addLayout(buttons);

    connect(export_, &SkinButton::clicked, this, &ExportDialog::startExport);
    connect(stop_, &SkinButton::clicked, this, [this] { job_.cancel(); });
    setRunning(false);
}

ExportDialog::~ExportDialog() { job_.cancel(); }

void ExportDialog::setRange(std::uint32_t from, std::uint32_t to) {
    from_->setDateTime(QDateTime::fromSecsSinceEpoch(from, Qt::UTC));
    to_->setDateTime(QDateTime::fromSecsSinceEpoch(to, Qt::UTC));
}

void ExportDialog::setChannels(std::uint32_t mask) {
    for (std::size_t c = 0; c < channels_.size(); ++c) channels_[c]->setChecked((mask & (1u << c)) != 0);
}

QString ExportDialog::statusText() const { return status_->text(); }

void ExportDialog::setRunning(bool running) {
    export_->setEnabled(!running);
    stop_->setEnabled(running);
    from_->setEnabled(!running);
    to_->setEnabled(!running);
    folder_->setEnabled(!running);
    for (auto* c : channels_) c->setEnabled(!running);
}

void ExportDialog::startExport() {
    app::ExportJobRequest request;
    request.archive_folder = archive_folder_;
    request.out_folder = folder_->text().toStdString();
    request.from = timeOf(from_);
    request.to = timeOf(to_);
    for (std::size_t c = 0; c < channels_.size(); ++c)
        if (channels_[c]->isChecked()) request.channel_mask |= 1u << c;
    switch (app::checkExportRequest(request)) {
        case app::ExportRefusal::None: break;
        case app::ExportRefusal::NoChannels: status_->setText(QStringLiteral("Choose at least one channel.")); return;
        case app::ExportRefusal::EmptyRange: status_->setText(QStringLiteral("The range ends before it starts.")); return;
        case app::ExportRefusal::NoFolder: status_->setText(QStringLiteral("Choose a folder for the files.")); return;
    }
    QPointer<ExportDialog> self(this);
    app::ExportJob::Callbacks callbacks;
    callbacks.progress = [self](const app::ExportJobProgress& p) {
        QMetaObject::invokeMethod(
            self.data(), [self, p] { if (self) self->progress(p); }, Qt::QueuedConnection);
    };
    callbacks.finished = [self](const std::vector<app::ChannelExport>& results, bool cancelled) {
        QMetaObject::invokeMethod(
            self.data(), [self, results, cancelled] { if (self) self->finished(results, cancelled); },
            Qt::QueuedConnection);
    };
    bar_->setValue(0);
    status_->setText(operatorText(kStates) + QStringLiteral("…"));
    if (job_.start(std::move(request), std::move(callbacks))) setRunning(true);
}

void ExportDialog::progress(const app::ExportJobProgress& p) {
    bar_->setValue(static_cast<int>(p.percent));
    status_->setText(QStringLiteral("%1 %2 %3 (%4/%5)")
                         .arg(operatorText(kStates), operatorText(kChannelText))
                         .arg(p.channel + 1)
                         .arg(p.done_channels + 1)
                         .arg(p.channels));
}

void ExportDialog::finished(const std::vector<app::ChannelExport>& results, bool cancelled) {
    setRunning(false);
    QStringList lines;
    lines << operatorText(static_cast<std::uint16_t>(cancelled ? kStates + 2 : kStates + 1));
    for (const app::ChannelExport& r : results) {
        const QString channel = QStringLiteral("%1 %2").arg(operatorText(kChannelText)).arg(r.channel + 1);
        if (r.result.ok())
            lines << QStringLiteral("%1: %2 (%3 pictures, %4×%5)")
                         .arg(channel, QString::fromStdString(r.path.filename().string()))
                         .arg(r.result.frames)
                         .arg(r.result.width)
                         .arg(r.result.height);
        else
            lines << QStringLiteral("%1: %2").arg(channel, QString::fromStdString(r.result.reason));
    }
    if (!cancelled) bar_->setValue(100);
    status_->setText(lines.join(QLatin1Char('\n')));
}

}  // namespace kalix::ui

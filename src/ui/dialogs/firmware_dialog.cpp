#include "ui/dialogs/firmware_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QProgressBar>

#include "app/string_uses.h"
#include "ui/operator_text.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_style.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {

namespace {

constexpr std::uint16_t kTitleText = 5128;
constexpr std::uint16_t kCloseText = app::stringNumber("remote search: close");
constexpr int kTop = 40, kRowHeight = 30, kLabelWidth = 120, kBarWidth = 200;

SkinButton* makeButton(const QString& caption, const char* name, QWidget* parent) {
    auto* b = new SkinButton(0, skin::kSmallButton, caption, parent);
    applySkin(*b, SkinFont::Bold);
    b->setObjectName(QLatin1String(name));
    return b;
}

}  // namespace

FirmwareDialog::FirmwareDialog(const app::FirmwareScan& scan, std::span<const app::RecorderModule> modules,
                               app::FirmwareLink& link, QWidget* parent)
    : SkinDialog(parent), model_(std::make_unique<app::FirmwareUpgrade>(scan, modules, link)) {
    setTitle(operatorText(kTitleText));
    setWindowFlag(Qt::Window);
    const int row_count = static_cast<int>(model_->rows().size());
    setFixedSize(kWidth, kTop + row_count * kRowHeight + 50);

    for (const app::UpgradeRow& r : model_->rows()) {
        RowWidgets w;
        const int y = kTop + (r.row - 1) * kRowHeight;
        w.check = new QCheckBox(this);
        w.check->setObjectName(QStringLiteral("row-%1-check").arg(r.row));
        w.check->setGeometry(10, y + 4, 20, 20);
        const int row = r.row;
        connect(w.check, &QCheckBox::toggled, this, [this, row](bool on) {
            if (refreshing_) return;
            model_->setChecked(row, on);
            refresh();
        });
        w.label = new SkinStatic(operatorText(static_cast<std::uint16_t>(app::kFirmwareRowLabelBase + r.row)), this);
        w.label->setGeometry(34, y + 4, kLabelWidth, 20);
        w.progress = new QProgressBar(this);
        w.progress->setObjectName(QStringLiteral("row-%1-progress").arg(r.row));
        w.progress->setRange(0, 100);
        w.progress->setGeometry(34 + kLabelWidth + 6, y + 6, kBarWidth, 16);
        w.status = new SkinStatic({}, this);
        w.status->setObjectName(QStringLiteral("row-%1-status").arg(r.row));
        w.status->setGeometry(34 + kLabelWidth + kBarWidth + 14, y + 4, kWidth - (34 + kLabelWidth + kBarWidth + 22), 20);
        rows_.push_back(w);
    }

    const int buttons_y = kTop + row_count * kRowHeight + 14;
    start_ = makeButton(QStringLiteral("Start"), "start", this);
    stop_ = makeButton(QStringLiteral("Stop"), "stop", this);
    auto* close = makeButton(operatorText(kCloseText), "close", this);
    start_->setGeometry(kWidth / 2 - 70, buttons_y, 64, 22);
    stop_->setGeometry(kWidth / 2 - 70, buttons_y, 64, 22);
    close->setGeometry(kWidth / 2 + 6, buttons_y, 64, 22);
    connect(start_, &SkinButton::clicked, this, [this] {
        model_->start();
        refresh();
    });
    connect(stop_, &SkinButton::clicked, this, [this] {
        model_->stop();
        refresh();
    });
    connect(close, &SkinButton::clicked, this, &FirmwareDialog::close);
    refresh();
}

FirmwareDialog::~FirmwareDialog() = default;

void FirmwareDialog::onEvent(const session::Event& event) {
    if (const auto* post = std::get_if<session::WindowPost>(&event)) {
        if (post->owner != session::Owner::Firmware) return;
        model_->onWindowPost(*post);
    } else if (const auto* progress = std::get_if<session::FirmwareProgress>(&event)) {
        model_->onProgress(*progress);
    } else {
        return;
    }
    refresh();
}

void FirmwareDialog::refresh() {
    refreshing_ = true;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const app::UpgradeRow& r = model_->rows()[i];
        RowWidgets& w = rows_[i];
        w.check->setChecked(r.checked);
        w.check->setEnabled(r.enabled && model_->boxesEnabled());
        w.progress->setValue(r.progress);
        // The finished look: the bar full-width and without its text.
        w.progress->setTextVisible(!r.finished_look);
        w.status->setText(r.status ? operatorText(static_cast<std::uint16_t>(*r.status)) : QString());
    }
    start_->setVisible(model_->startVisible());
    start_->setEnabled(model_->startEnabled());
    stop_->setVisible(!model_->startVisible());
    refreshing_ = false;
}

void FirmwareDialog::closeEvent(QCloseEvent* event) {
    // The upload ends before the window goes.
    model_->stop();
    SkinDialog::closeEvent(event);
}

}  // namespace kalix::ui

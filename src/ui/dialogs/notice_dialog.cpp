#include "ui/dialogs/notice_dialog.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "app/string_table.h"
#include "ui/resource_bundle.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_catalogue.h"
#include "ui/skin/skin_style.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {

namespace {

constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;
constexpr int kMessageMinHeight = 40;

// A caption from the bundle, or the program's own text when the bundle is
// missing: a notice whose buttons say nothing cannot be answered.
QString caption(std::uint16_t id) {
    QString text = resourceString(id);
    if (text.isEmpty()) text = QString::fromUtf8(app::stringText(id));
    return text;
}

SkinButton* makeButton(std::uint16_t id, QWidget* parent) {
    auto* button = new SkinButton(0, skin::kSmallButton, caption(id), parent);
    applySkin(*button, SkinFont::Bold);
    button->setFixedSize(kButtonWidth, kButtonHeight);
    return button;
}

}  // namespace

NoticeDialog::NoticeDialog(const QString& title, const QString& message, app::NoticeButtons buttons, QWidget* owner)
    : SkinDialog(owner), buttons_(buttons) {
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    setTitle(title);

    message_ = new SkinStatic(message, this);
    message_->setWordWrap(true);
    message_->setAlignment(Qt::AlignCenter);

    const app::NoticeButtonStrings captions = app::noticeButtonStrings(buttons);
    auto* accept = makeButton(captions.accept_id, this);
    accept_ = accept;
    connect(accept, &SkinButton::clicked, this, &QDialog::accept);
    if (captions.reject_id != 0) {
        reject_ = makeButton(captions.reject_id, this);
        connect(reject_, &SkinButton::clicked, this, &QDialog::reject);
    }

    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(accept_);
    if (reject_ != nullptr) row->addWidget(reject_);
    row->addStretch();

    auto* column = new QVBoxLayout(this);
    column->setSpacing(10);
    column->addWidget(message_, 1);
    column->addLayout(row);

    const int width = widthForText(measuredTextWidth(title, message));
    const QMargins m = contentsMargins();
    const int text_width = width - m.left() - m.right();
    const int text_height = std::max(kMessageMinHeight, message_->heightForWidth(text_width));
    setFixedSize(width, m.top() + text_height + column->spacing() + kButtonHeight + m.bottom());
}

NoticeDialog::NoticeDialog(const app::NoticeBox& box, QWidget* owner)
    : NoticeDialog(QString::fromStdString(box.title), QString::fromStdString(box.message),
                   app::noticeButtons(box.notice.kind, box.notice.detail), owner) {}

int NoticeDialog::widthForText(int text_width) {
    const int wide = static_cast<int>(std::lround(text_width * 1.2));
    return std::clamp(wide, kMinimumWidth, kMaximumWidth);
}

int NoticeDialog::measuredTextWidth(const QString& title, const QString& message) {
    const QFontMetrics title_metrics(skinFont(SkinFont::Title));
    const QFontMetrics message_metrics(skinFont(SkinFont::Normal));
    return std::max(title_metrics.horizontalAdvance(title), message_metrics.horizontalAdvance(message));
}

QString NoticeDialog::message() const { return message_->text(); }

void NoticeDialog::done(int result) {
    if (!answered_) {
        answered_ = true;
        emit answered(result == QDialog::Accepted ? Answer::Accepted : Answer::Rejected);
    }
    QDialog::done(result);
}

// Enter answers with the first button, as clicking it would; Escape is
// the dialog's own rejection.
void NoticeDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    SkinDialog::keyPressEvent(event);
}

}  // namespace kalix::ui

#include "ui/dialogs/calendar_dialog.h"

#include <QComboBox>
#include <QPainter>

#include "app/string_uses.h"
#include "ui/operator_text.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_style.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {

namespace {

constexpr std::uint16_t kTitleText = app::stringNumber("recording calendar: title");
constexpr std::uint16_t kYearText = app::stringNumber("recording calendar: year");
constexpr std::uint16_t kFirstMonthText = app::stringNumber("recording calendar: months");
constexpr std::uint16_t kFirstWeekdayText = app::stringNumber("recording calendar: weekdays");
constexpr std::uint16_t kCloseText = app::stringNumber("remote search: close");

constexpr int kMonthTop = 30, kMonthStep = 66, kMonthWidth = 64, kMonthHeight = 24;
constexpr int kWeekdayTop = 86;
constexpr int kBottomRow = 296;

}  // namespace

CalendarDialog::CalendarDialog(app::CalendarWindowModel& model, QWidget* parent)
    : SkinDialog(parent, skin::kSearchPage), model_(model) {
    setFixedSize(kWidth, kHeight);
    setWindowFlag(Qt::Window);

    for (int m = 0; m < 12; ++m) {
        auto* b = new SkinButton(0, skin::kMonthFaces, operatorText(static_cast<std::uint16_t>(kFirstMonthText + m)), this);
        applySkin(*b, SkinFont::Bold);
        b->setObjectName(QStringLiteral("month-%1").arg(m));
        b->setGeometry(4 + m % 6 * kMonthStep, kMonthTop + m / 6 * (kMonthHeight + 2), kMonthWidth, kMonthHeight);
        connect(b, &SkinButton::clicked, this, [this, m] {
            if (model_.chooseMonth(m)) refresh();
        });
        months_[static_cast<std::size_t>(m)] = b;
    }
    for (int d = 0; d < 31; ++d) {
        auto* b = new SkinButton(0, skin::kDayFaces, QString::number(d + 1), this);
        applySkin(*b, SkinFont::Bold);
        b->setObjectName(QStringLiteral("day-%1").arg(d));
        b->hide();
        connect(b, &SkinButton::clicked, this, [this, d] {
            model_.chooseDay(d);
            refresh();
        });
        days_[static_cast<std::size_t>(d)] = b;
    }

    auto* year_label = new SkinStatic(operatorText(kYearText), this);
    year_label->setGeometry(8, kBottomRow, 50, 22);
    year_ = new QComboBox(this);
    applySkin(*year_);
    year_->setObjectName(QStringLiteral("year"));
    year_->setGeometry(60, kBottomRow, 90, 22);
    if (const app::RecordingCalendar* calendar = model_.calendar())
        for (int i = 0; i < calendar->yearCount(); ++i) year_->addItem(QString::number(app::kFirstListedYear + i));
    connect(year_, &QComboBox::activated, this, [this](int index) {
        model_.chooseYear(index);
        refresh();
    });
    auto* close = new SkinButton(435, skin::kSmallButton, operatorText(kCloseText), this);
    applySkin(*close, SkinFont::Bold);
    close->setObjectName(QStringLiteral("close"));
    close->setGeometry(kWidth - 72, kBottomRow, 64, 22);
    connect(close, &SkinButton::clicked, this, &CalendarDialog::close);
    refresh();
}

void CalendarDialog::refresh() {
    const app::RecordingCalendar* calendar = model_.calendar();
    if (calendar == nullptr) return;
    setTitle(operatorText(kTitleText) + QStringLiteral("  ") + QString::number(calendar->year()));
    year_->setCurrentIndex(calendar->year() - app::kFirstListedYear);
    for (int m = 0; m < 12; ++m) {
        const app::MonthLook look = calendar->monthLook(m);
        months_[static_cast<std::size_t>(m)]->setEnabled(look != app::MonthLook::Empty);
        months_[static_cast<std::size_t>(m)]->setShownPressed(look == app::MonthLook::Selected);
    }
    for (SkinButton* b : days_) b->hide();
    for (const app::DayCell& cell : calendar->dayGrid()) {
        SkinButton* b = days_[static_cast<std::size_t>(cell.day0)];
        b->setGeometry(cell.x, cell.y, app::kDayCellWidth, app::kDayCellHeight);
        b->setEnabled(cell.has_data);
        b->setShownPressed(cell.has_data && cell.day0 == calendar->day0() && model_.timeline() != nullptr &&
                           model_.timeline()->date() == calendar->date());
        b->show();
    }
    update();
}

void CalendarDialog::paintEvent(QPaintEvent* event) {
    SkinDialog::paintEvent(event);
    QPainter painter(this);
    painter.setFont(skinFont(SkinFont::Bold));
    painter.setPen(QColor(skin_colour::kInk));
    for (int d = 0; d < 7; ++d)
        painter.drawText(QRect(4 + d * 57, kWeekdayTop, app::kDayCellWidth, 18), Qt::AlignCenter,
                         operatorText(static_cast<std::uint16_t>(kFirstWeekdayText + d)));
}

}  // namespace kalix::ui

#pragma once
// The month calendar of the remote search: the year list, twelve month
// buttons (months without recordings dimmed and disabled, the chosen one
// pressed) and the month's day buttons laid out by weekday, days with
// recordings enabled. Choosing a day asks the recorder for its stretches;
// the day timeline opens on the answer. The Search and the Backup page
// each open one over their own model.
//
// Object names: "year", "month-N" (0-11), "day-N" (0-30), "close".

#include <array>

#include "app/search_windows.h"
#include "ui/skin/skin_dialog.h"

class QComboBox;

namespace kalix::ui {

class SkinButton;

class CalendarDialog final : public SkinDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 403;
    static constexpr int kHeight = 330;

    CalendarDialog(app::CalendarWindowModel& model, QWidget* parent);

    // Re-reads the model's calendar: year, months, day grid.
    void refresh();
    SkinButton* monthButton(int month0) const { return months_[static_cast<std::size_t>(month0)]; }
    SkinButton* dayButton(int day0) const { return days_[static_cast<std::size_t>(day0)]; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    app::CalendarWindowModel& model_;
    QComboBox* year_ = nullptr;
    std::array<SkinButton*, 12> months_{};
    std::array<SkinButton*, 31> days_{};
};

}  // namespace kalix::ui

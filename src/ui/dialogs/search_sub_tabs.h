#pragma once
// The sub-tabs of the Search and Backup pages: Date/Time, Event, Calendar
// and Select Channel (controls 450-453) in a row. A press only reports
// the choice; the page decides whether it is taken (not while a request
// is pending) and then shows it pressed.
//
// Object names: prefix + "datetime", "event", "calendar", "channels".

#include <QWidget>

#include <array>

namespace kalix::ui {

class SkinButton;

enum class SubTab : int { DateTime = 0, Event, Calendar, Channels };

class SearchSubTabs final : public QWidget {
    Q_OBJECT

public:
    SearchSubTabs(const QString& name_prefix, QWidget* parent);
    void setPressed(SubTab tab);

signals:
    void chosen(kalix::ui::SubTab tab);

private:
    std::array<SkinButton*, 4> buttons_{};
};

}  // namespace kalix::ui

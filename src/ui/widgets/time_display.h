#pragma once
// The time display of remote playback (the session's auxiliary window): the
// time on one line and the date below it, drawn from the skin's glyph
// pictures and read again every 100 ms from its source. Without the skin it
// writes the same characters in the window's font.

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <array>
#include <chrono>
#include <functional>

#include "app/playback_display.h"

namespace kalix::ui {

inline constexpr QSize kTimeDisplaySize{100, 46};
inline constexpr std::chrono::milliseconds kTimeDisplayRedraw{100};

class TimeDisplay final : public QWidget {
    Q_OBJECT

public:
    TimeDisplay(std::function<app::TimeDisplayGlyphs()> source, QWidget* parent = nullptr);

    // Reads the source and repaints when it changed (also the timer's job).
    void refresh();
    const app::TimeDisplayGlyphs& shown() const { return glyphs_; }
    // The characters shown, "HH:MM:SS" (with " AM"/" PM") and the date.
    QString timeText() const;
    QString dateText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<app::TimeDisplayGlyphs()> source_;
    app::TimeDisplayGlyphs glyphs_;
    QTimer timer_;
    QImage panel_;
    std::array<QImage, app::kTimeGlyphs> large_;
    std::array<QImage, app::kTimeGlyphs> small_;
};

}  // namespace kalix::ui

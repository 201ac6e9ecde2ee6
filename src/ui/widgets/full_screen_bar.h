#pragma once
// The bar over a full-screen wall: the nine split buttons and a leave
// button on a small translucent window at the bottom centre of the monitor.
// It appears shortly after the wall goes full screen and hides itself four
// seconds after every showing; the owner shows it again when the mouse
// moves over its place.

#include <QRect>
#include <QTimer>
#include <QWidget>

#include <array>
#include <chrono>

namespace kalix::ui {

class SkinButton;

inline constexpr int kFullScreenBarWidth = 401;
inline constexpr int kFullScreenBarHeight = 44;
inline constexpr int kFullScreenBarOpacity = 150;  // of 255
inline constexpr std::chrono::milliseconds kFullScreenBarFirstShow{100};
inline constexpr std::chrono::milliseconds kFullScreenBarShowTime{4000};
// Command numbers of the bar's buttons: the splits, then leave.
inline constexpr int kFullScreenBarSplitFirst = 400;
inline constexpr int kFullScreenBarLeave = 409;

class FullScreenBar final : public QWidget {
    Q_OBJECT

public:
    // `monitor`: the full-screen rectangle on the desktop.
    explicit FullScreenBar(const QRect& monitor, QWidget* parent = nullptr);

    // Where the bar stands on the desktop: centred at the monitor's bottom.
    static QRect placement(const QRect& monitor);
    // Shows the bar and (re)starts its four seconds.
    void showForAWhile();
    SkinButton* button(int command) const;

signals:
    void splitChosen(int split_index);  // 0..8
    void leaveChosen();

private:
    std::array<SkinButton*, 10> buttons_{};
    QTimer hide_timer_;
};

}  // namespace kalix::ui

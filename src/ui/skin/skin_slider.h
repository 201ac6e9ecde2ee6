#pragma once
// The skinned horizontal slider: a track picture stretched to the control
// and a thumb picture (normal, pressed, disabled faces) moved along it. The
// slider reports to its owner the way the windows expect: grabbed, moved
// (with the position) and released (with the position). A press anywhere
// on the track grabs the thumb and brings it under the mouse.

#include <QImage>
#include <QWidget>

#include <cstdint>

namespace kalix::ui {

// The owner's messages, by their window message numbers.
enum class SliderMessage : std::uint16_t { Grabbed = 3424, Moved = 3425, Released = 3426 };

class SkinSlider : public QWidget {
    Q_OBJECT

public:
    // `track`: picture number of the track; `thumb`: the thumb's normal face
    // (pressed and disabled follow). 0: plain drawing.
    SkinSlider(int control, int track, int thumb, QWidget* parent = nullptr);

    int control() const { return control_; }
    void setRange(int minimum, int maximum);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    // Moves the thumb without telling the owner.
    void setValue(int value);
    int value() const { return value_; }
    bool grabbed() const { return grabbed_; }
    void setTooltipId(int id) { tooltip_id_ = id; }

    // Where the thumb's left edge stands for a value, and the value under a
    // point of the track (both in widget pixels).
    int thumbLeft(int value) const;
    int valueAt(int x) const;

signals:
    void sliderMessage(kalix::ui::SliderMessage message, int control, int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    int thumbWidth() const;

    const int control_;
    int tooltip_id_ = 0;
    int minimum_ = 0;
    int maximum_ = 100;
    int value_ = 0;
    bool grabbed_ = false;
    QImage track_;
    QImage thumb_[3];
};

}  // namespace kalix::ui

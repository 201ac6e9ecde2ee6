#pragma once
// The skinned push button: three pictures from the skin (normal, pressed,
// disabled, at consecutive numbers) drawn scaled to the button. Besides the
// mouse's own pressed state the program can show a button pressed (the
// current channel, the chosen split, a frozen picture, a muted speaker).
// Without the skin the button draws a plain face with its caption, so the
// program stays usable without the resource bundle.
//
// Most faces carry their own caption in the picture. The blank faces (the
// generic wide and small dialog buttons) get the button's caption drawn
// over them in the skin's bold font.
//
// The tooltip is looked up in the string table when it is about to show.

#include <QAbstractButton>
#include <QImage>
#include <QString>

#include <cstdint>

namespace kalix::ui {

// Shows the string-table text `id` as the tooltip of `widget` for a tooltip
// event (hides any tooltip when the text is empty). True when `event` was
// one.
bool showStringTooltip(QEvent* event, int id, QWidget* widget);

class SkinButton : public QAbstractButton {
    Q_OBJECT

public:
    // `first_face`: number of the normal face; pressed and disabled follow
    // it. 0: no pictures (plain face). `tooltip_id` 0: no tooltip.
    SkinButton(int control, int first_face, const QString& caption, QWidget* parent = nullptr);

    int control() const { return control_; }
    void setFaces(int first_face);
    // The face shown while the program holds the button pressed, when it is
    // not the ordinary pressed face (the Sound button's muted face).
    void setShownPressedFace(int face);
    void setShownPressed(bool pressed);
    bool shownPressed() const { return shown_pressed_; }
    void setTooltipId(int id) { tooltip_id_ = id; }
    int tooltipId() const { return tooltip_id_; }

    // Which face a paint would use now (tests and screenshots).
    enum class Face { Normal, Pressed, ShownPressed, Disabled };
    Face currentFace() const;
    bool hasSkin() const { return !normal_.isNull(); }
    // Whether a paint with the skin writes the caption over the face.
    bool captionOverFace() const { return caption_over_face_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    const int control_;
    int tooltip_id_ = 0;
    bool shown_pressed_ = false;
    bool caption_over_face_ = false;
    QImage normal_;
    QImage pressed_;
    QImage disabled_;
    QImage shown_pressed_face_;
};

}  // namespace kalix::ui

#pragma once
// A check button drawn from the skin's check box pictures, with its text in
// the skin font beside the box. The pictures come as four consecutive
// numbers: unchecked, checked, then both again disabled. Without the skin
// the box is drawn in the skin's colours, so the control stays usable.

#include <QAbstractButton>
#include <QImage>

#include <array>

#include "ui/skin/skin_catalogue.h"

namespace kalix::ui {

class SkinCheckButton final : public QAbstractButton {
    Q_OBJECT

public:
    explicit SkinCheckButton(const QString& text = {}, QWidget* parent = nullptr);

    // Takes the faces from picture `first` on (first + 0..3).
    void setFaces(int first);
    int firstFace() const { return first_face_; }
    // The picture number that shows the current state.
    int currentFace() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize boxSize() const;
    void paintFallbackBox(QPainter& painter, const QRect& box) const;

    int first_face_ = skin::kCheckBox;
    std::array<QImage, 4> faces_;
};

}  // namespace kalix::ui

#pragma once
// The pop-up window of the client: borderless, painted from a skin panel
// picture (a plain dark panel without the skin), with an optional title
// line at the top. Pressing on the dialog's own background and dragging
// moves the whole window; presses that a child control takes (buttons,
// edits, lists) stay with the child. Each window family opens with the
// opacity the local settings keep for it.
//
// With a title the top contents margin leaves room for the title line, so
// a layout set on the dialog starts below it.

#include <QDialog>
#include <QImage>
#include <QPoint>

#include <cstdint>
#include <optional>

#include "ui/skin/skin_catalogue.h"

namespace kalix::ui {

class SkinDialog : public QDialog {
    Q_OBJECT

public:
    explicit SkinDialog(QWidget* parent = nullptr, int background = skin::kDialog);

    // The panel picture drawn behind everything; 0 or a missing picture
    // leaves the plain panel.
    void setBackground(int picture);
    int background() const { return background_id_; }

    void setTitle(const QString& title);
    QString title() const { return title_; }
    // The band the title is drawn in; empty without a title.
    QRect titleRect() const;

    // 255 is opaque, 0 fully transparent, linear between.
    void setOpacityByte(std::uint8_t alpha);
    std::uint8_t opacityByte() const { return opacity_; }
    static qreal opacityOf(std::uint8_t alpha) { return alpha / 255.0; }

    // Moves the dialog so that its centre lies on the centre of `window`
    // (of the screen it is on when `window` is null). The first showing
    // does this on the parent; later ones leave a dragged dialog where the
    // operator put it.
    void centreOn(const QWidget* window);

    bool dragging() const { return drag_.has_value(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void updateMargins();

    struct Drag {
        QPoint press_global;  // where the mouse went down, screen coordinates
        QPoint window_start;  // the window's position at that moment
    };

    int background_id_;
    QImage background_;
    QString title_;
    std::uint8_t opacity_ = 255;
    std::optional<Drag> drag_;
    bool placed_ = false;
};

}  // namespace kalix::ui

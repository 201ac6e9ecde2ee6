#pragma once
// Shared pieces of the skinned-control tests: fixtures with and without the
// resource bundle, mouse events with exact screen positions, and pixel
// counts on grabbed pictures.

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include "ui/resource_bundle.h"

namespace kalix::ui::testing {

class WithSkin : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(loadResourceBundle(QStringLiteral(KALIX_BUNDLE))); }
    void TearDown() override { unloadResourceBundle(); }
};

class WithoutSkin : public ::testing::Test {
protected:
    void SetUp() override { unloadResourceBundle(); }
};

// Delivers a mouse event to `widget` as the window system would, with the
// local and the screen position given separately, so a test does not
// depend on when a moved window's position reaches the widget.
inline bool sendMouse(QWidget* widget, QEvent::Type type, QPoint local, QPoint global,
                      Qt::MouseButtons held = Qt::LeftButton) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(local), QPointF(global), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
    return event.isAccepted();
}

// Pixels of `area` that are light (text and ink on the dark skin).
inline int lightPixels(const QImage& image, const QRect& area, int threshold = 150) {
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qGray(image.pixel(x, y)) >= threshold) ++n;
    return n;
}

}  // namespace kalix::ui::testing

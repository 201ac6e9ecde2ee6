#include "ui/skin/skin_dialog.h"

#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

#include "skin_test_support.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {
namespace {

using testing::sendMouse;

class SkinDialogTest : public testing::WithSkin {
protected:
    void SetUp() override {
        testing::WithSkin::SetUp();
        dialog = std::make_unique<SkinDialog>();
        dialog->setTitle(QStringLiteral("Connect"));
        button = new QPushButton(QStringLiteral("OK"), dialog.get());
        button->setGeometry(200, 150, 80, 24);
        label = new SkinStatic(QStringLiteral("Address"), dialog.get());
        label->setGeometry(20, 60, 100, 20);
        dialog->setGeometry(100, 100, 320, 200);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        start = dialog->pos();
    }

    // Press at `local` inside `target`, then move the mouse by `delta` on
    // the screen and let go.
    void drag(QWidget* target, QPoint local, QPoint delta) {
        const QPoint global = target->mapToGlobal(local);
        sendMouse(target, QEvent::MouseButtonPress, local, global);
        sendMouse(target, QEvent::MouseMove, local + delta / 2, global + delta / 2);
        sendMouse(target, QEvent::MouseMove, local + delta, global + delta);
        sendMouse(target, QEvent::MouseButtonRelease, local + delta, global + delta, Qt::NoButton);
        QCoreApplication::processEvents();
    }

    std::unique_ptr<SkinDialog> dialog;
    QPushButton* button = nullptr;
    SkinStatic* label = nullptr;
    QPoint start;
};

TEST_F(SkinDialogTest, DraggingTheBackgroundMovesTheWindowByTheMouseDelta) {
    drag(dialog.get(), QPoint(150, 100), QPoint(37, -21));
    EXPECT_EQ(dialog->pos(), start + QPoint(37, -21));
    EXPECT_FALSE(dialog->dragging());

    // The title line is background too; a later move without the button
    // held does nothing.
    drag(dialog.get(), QPoint(10, 10), QPoint(-7, 5));
    EXPECT_EQ(dialog->pos(), start + QPoint(30, -16));
    const QPoint here = dialog->pos();
    sendMouse(dialog.get(), QEvent::MouseMove, QPoint(50, 50), dialog->mapToGlobal(QPoint(90, 90)), Qt::NoButton);
    EXPECT_EQ(dialog->pos(), here);
}

TEST_F(SkinDialogTest, PressOnAChildControlDoesNotMoveTheWindow) {
    drag(button, QPoint(10, 10), QPoint(40, 40));
    EXPECT_EQ(dialog->pos(), start);
    EXPECT_FALSE(dialog->dragging());
    // A static text does not take the mouse: it is part of the background.
    drag(label, QPoint(5, 5), QPoint(12, 8));
    EXPECT_EQ(dialog->pos(), start + QPoint(12, 8));
}

TEST_F(SkinDialogTest, OpacityByteMapsLinearlyWith255Opaque) {
    EXPECT_EQ(dialog->opacityByte(), 255);
    EXPECT_DOUBLE_EQ(dialog->windowOpacity(), 1.0);
    for (int alpha : {0, 1, 100, 128, 200, 254, 255}) {
        dialog->setOpacityByte(static_cast<std::uint8_t>(alpha));
        EXPECT_EQ(dialog->opacityByte(), alpha);
        EXPECT_NEAR(dialog->windowOpacity(), alpha / 255.0, 1e-9) << alpha;
    }
}

TEST_F(SkinDialogTest, LayoutsStartBelowTheTitleLine) {
    SkinDialog plain;
    EXPECT_TRUE(plain.titleRect().isEmpty());
    auto* layout = new QVBoxLayout(dialog.get());
    auto* first = new SkinStatic(QStringLiteral("first"));
    layout->addWidget(first);
    layout->addStretch();
    layout->activate();
    QCoreApplication::processEvents();
    EXPECT_GT(first->y(), dialog->titleRect().bottom());
    EXPECT_GT(dialog->contentsMargins().top(), plain.contentsMargins().top());
}

}  // namespace
}  // namespace kalix::ui

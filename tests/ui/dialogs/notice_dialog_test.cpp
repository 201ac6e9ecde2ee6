#include "ui/dialogs/notice_dialog.h"

#include <QAbstractButton>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

#include "skin_test_support.h"
#include "ui/skin/skin_style.h"

namespace kalix::ui {
namespace {

using Answer = NoticeDialog::Answer;

app::NoticeBox box(std::uint16_t kind, std::uint16_t detail, std::string title, std::string message) {
    return {session::Notice{kind, detail, session::Owner::MainWindow}, std::move(title), std::move(message)};
}

class NoticeDialogTest : public testing::WithSkin {
protected:
    void SetUp() override {
        testing::WithSkin::SetUp();
        owner.setGeometry(200, 150, 928, 712);
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    }

    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    QWidget owner;
};

TEST_F(NoticeDialogTest, ButtonSetFollowsKindAndDetail) {
    struct Case {
        std::uint16_t kind, detail;
        const char* accept;
        const char* reject;  // nullptr: OK alone
    };
    const Case cases[] = {
        {0x04, 0, "Yes", "No"},         // no data: search again?
        {0x0B, 0, "OK", "Cancel"},      // firmware files found: upgrade?
        {0x0B, 1, "OK", nullptr},       // no firmware files
        {0x02, 0, "OK", nullptr},
        {0x0F, 0, "OK", nullptr},
    };
    for (const Case& c : cases) {
        QPointer<NoticeDialog> dialog = new NoticeDialog(box(c.kind, c.detail, "Title", "Message"), &owner);
        EXPECT_EQ(dialog->acceptButton()->text(), QString::fromLatin1(c.accept)) << c.kind;
        if (c.reject == nullptr) {
            EXPECT_EQ(dialog->rejectButton(), nullptr) << c.kind;
        } else {
            ASSERT_NE(dialog->rejectButton(), nullptr) << c.kind;
            EXPECT_EQ(dialog->rejectButton()->text(), QString::fromLatin1(c.reject));
        }
        delete dialog;
    }
}

TEST_F(NoticeDialogTest, WidthIsTheMeasuredTextTimesOnePointTwoWithinBounds) {
    const QString title = QStringLiteral("Recorder");
    const QString message = QStringLiteral("Upgrade the recorder's firmware with the files found? (all modules)");
    const int measured = NoticeDialog::measuredTextWidth(title, message);
    ASSERT_GT(measured, NoticeDialog::kMinimumWidth);
    NoticeDialog dialog(title, message, app::NoticeButtons::OkCancel, &owner);
    EXPECT_EQ(dialog.width(), std::lround(measured * 1.2));
    // A wide title counts as much as the message.
    EXPECT_EQ(NoticeDialog::measuredTextWidth(message, QStringLiteral("x")),
              QFontMetrics(skinFont(SkinFont::Title)).horizontalAdvance(message));

    NoticeDialog small(QStringLiteral("A"), QStringLiteral("B"), app::NoticeButtons::YesNo, &owner);
    EXPECT_EQ(small.width(), NoticeDialog::kMinimumWidth);

    // A very long message stops widening the box and wraps instead.
    const QString longer = (message + QLatin1Char(' ')).repeated(4);
    NoticeDialog wide(title, longer, app::NoticeButtons::Ok, &owner);
    EXPECT_EQ(wide.width(), NoticeDialog::kMaximumWidth);
    EXPECT_GT(wide.height(), dialog.height());
    EXPECT_EQ(wide.message(), longer);
}

TEST_F(NoticeDialogTest, AnswersOnceThenClosesAndGoesAway) {
    struct Case {
        const char* how;
        Answer expected;
    };
    for (const Case& c : {Case{"accept", Answer::Accepted}, Case{"reject", Answer::Rejected},
                          Case{"escape", Answer::Rejected}, Case{"close", Answer::Rejected}}) {
        QPointer<NoticeDialog> dialog = new NoticeDialog(box(0x04, 0, "Recorder", "Search again?"), &owner);
        QSignalSpy answered(dialog.data(), &NoticeDialog::answered);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.data()));
        const std::string how = c.how;
        if (how == "accept") QTest::mouseClick(dialog->acceptButton(), Qt::LeftButton);
        if (how == "reject") QTest::mouseClick(dialog->rejectButton(), Qt::LeftButton);
        if (how == "escape") QTest::keyClick(dialog.data(), Qt::Key_Escape);
        if (how == "close") dialog->close();
        ASSERT_EQ(answered.count(), 1) << how;
        EXPECT_EQ(answered.at(0).at(0).value<Answer>(), c.expected) << how;
        flushDeletes();
        EXPECT_TRUE(dialog.isNull()) << how;
    }
}

TEST_F(NoticeDialogTest, ModelessOwnedByTheWindowAndCentredOnIt) {
    QPointer<NoticeDialog> dialog = new NoticeDialog(box(0x13, 0, "Version", "Kalix client version 0.1.0.0"), &owner);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.data()));
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->parentWidget(), &owner);
    EXPECT_TRUE(dialog->windowFlags() & Qt::FramelessWindowHint);
    const QPoint offset = dialog->frameGeometry().center() - owner.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 1);
    // The owner stays usable while the box is up.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    dialog->accept();
    flushDeletes();
    EXPECT_TRUE(dialog.isNull());
}

// Without the bundle the box still says something and can be answered:
// the captions come from the program's own table.
TEST(SkinFallback, NoticeBoxWithoutBundleShowsTextAndButtons) {
    unloadResourceBundle();
    NoticeDialog dialog(QStringLiteral("Recorder"), QStringLiteral("This operation is not allowed."),
                        app::NoticeButtons::OkCancel, nullptr);
    EXPECT_EQ(dialog.acceptButton()->text(), QStringLiteral("OK"));
    EXPECT_EQ(dialog.rejectButton()->text(), QStringLiteral("Cancel"));
    const QImage shot = dialog.grab().toImage();
    EXPECT_GT(testing::lightPixels(shot, dialog.titleRect()), 20);
    const int message_top = dialog.titleRect().bottom() + 1;
    EXPECT_GT(testing::lightPixels(shot, QRect(0, message_top, shot.width(), 40)), 40);
    // The panel is dark, not left unpainted.
    EXPECT_LT(qGray(shot.pixel(shot.width() / 2, shot.height() - 6)), 80);
}

}  // namespace
}  // namespace kalix::ui

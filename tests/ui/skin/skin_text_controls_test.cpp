#include "ui/skin/skin_text_controls.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "skin_test_support.h"

namespace kalix::ui {
namespace {

TEST(SkinEdit, LimitCountsUtf8BytesAndCutsWhereTextWasInserted) {
    SkinEdit edit(16);
    QTest::keyClicks(&edit, QStringLiteral("abcdefghijklmnopqrst"));
    EXPECT_EQ(edit.text(), QStringLiteral("abcdefghijklmnop"));

    // "é" takes two bytes: with four bytes left after "abc", one fits.
    edit.setMaxBytes(5);
    EXPECT_EQ(edit.text(), QStringLiteral("abcde"));  // a lower limit cuts the text at once
    edit.clear();
    QTest::keyClicks(&edit, QStringLiteral("abc"));
    for (int i = 0; i < 2; ++i) edit.insert(QStringLiteral("\u00e9"));  // as an input method types it
    EXPECT_EQ(edit.text(), QStringLiteral("abc\u00e9"));
    EXPECT_EQ(edit.utf8().size(), 5u);

    // Typing in the middle at the limit changes nothing; the end stays.
    edit.setCursorPosition(1);
    QTest::keyClicks(&edit, QStringLiteral("X"));
    EXPECT_EQ(edit.text(), QStringLiteral("abc\u00e9"));

    // A paste keeps what fits of the pasted text, and the text after it.
    edit.setMaxBytes(8);
    edit.setText(QStringLiteral("ab"));
    edit.setCursorPosition(1);
    edit.insert(QStringLiteral("123456789"));
    EXPECT_EQ(edit.text(), QStringLiteral("a123456b"));

    // A character outside the basic plane is kept or dropped whole.
    edit.setMaxBytes(6);
    edit.setText(QStringLiteral("ab"));
    edit.end(false);
    edit.insert(QString::fromUcs4(U"x\U0001F600"));
    EXPECT_EQ(edit.text(), QStringLiteral("abx"));
}

TEST(SkinEdit, PasswordModeHidesTheText) {
    SkinEdit edit(16, SkinEdit::Echo::Password);
    EXPECT_TRUE(edit.passwordMode());
    QTest::keyClicks(&edit, QStringLiteral("secret"));
    EXPECT_EQ(edit.text(), QStringLiteral("secret"));
    EXPECT_NE(edit.displayText(), edit.text());
    edit.setPasswordMode(false);
    EXPECT_EQ(edit.displayText(), QStringLiteral("secret"));
    EXPECT_EQ(edit.maxBytes(), 16);
}

TEST(SkinListBox, HoldsManyRowsUnderItsHeadings) {
    SkinListBox list;
    list.resize(500, 300);
    list.setColumns({QStringLiteral("No."), QStringLiteral("Time"), QStringLiteral("Event")}, {40, 160});
    EXPECT_EQ(list.columnCount(), 3);
    EXPECT_EQ(list.heading(2), QStringLiteral("Event"));
    EXPECT_EQ(list.columnWidth(0), 40);

    std::vector<QStringList> rows;
    for (int i = 0; i < 5000; ++i)
        rows.push_back({QString::number(i + 1), QStringLiteral("2024-05-01 12:00:00"), QStringLiteral("Motion")});
    rows.push_back({QStringLiteral("short")});  // missing cells are empty
    list.setRows(std::move(rows));
    ASSERT_EQ(list.rowCount(), 5001);
    EXPECT_EQ(list.cell(4999, 0), QStringLiteral("5000"));
    EXPECT_EQ(list.cell(5000, 1), QString());
    EXPECT_EQ(list.cell(5001, 0), QString());
    EXPECT_EQ(list.cell(0, 3), QString());

    list.appendRow({QStringLiteral("5002"), QStringLiteral("t"), QStringLiteral("Video loss")});
    list.setCell(5000, 2, QStringLiteral("Sensor"));
    EXPECT_EQ(list.cell(5001, 2), QStringLiteral("Video loss"));
    EXPECT_EQ(list.cell(5000, 2), QStringLiteral("Sensor"));

    QSignalSpy current(&list, &SkinListBox::currentRowChanged);
    EXPECT_EQ(list.currentRow(), -1);
    list.setCurrentRow(4321);
    EXPECT_EQ(list.currentRow(), 4321);
    ASSERT_EQ(current.count(), 1);
    EXPECT_EQ(current.at(0).at(0).toInt(), 4321);

    // New columns start an empty list.
    list.setColumns({QStringLiteral("Name")});
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(list.currentRow(), -1);
}

}  // namespace
}  // namespace kalix::ui

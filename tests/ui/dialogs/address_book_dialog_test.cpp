// The address book through its widgets: rows newest first, deleting and
// editing descriptions with the history file rewritten each time.
#include "ui/dialogs/address_book_dialog.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "skin_test_support.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {
namespace {

class AddressBookTest : public testing::WithoutSkin {
protected:
    void SetUp() override {
        testing::WithoutSkin::SetUp();
        ASSERT_TRUE(dir.isValid());
    }

    app::ConnectHistory history() { return app::ConnectHistory(dir.path().toStdString(), [this] { return now; }); }

    void record(app::ConnectHistory& h, const char* address, std::uint32_t port, const char* description) {
        now += 60;
        ASSERT_TRUE(h.record(address, port, description));
    }

    std::unique_ptr<AddressBookDialog> open(app::ConnectHistory& h,
                                            app::DateFormat format = app::DateFormat::YearMonthDay) {
        EXPECT_EQ(h.load(), app::HistoryStatus::Loaded);
        auto dialog = std::make_unique<AddressBookDialog>(h, format);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        list = dialog->findChild<SkinListBox*>(QStringLiteral("list"));
        EXPECT_NE(list, nullptr);
        return dialog;
    }

    static SkinButton* button(QWidget& dialog, const char* name) {
        auto* found = dialog.findChild<SkinButton*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static void click(QWidget& dialog, const char* name) { QTest::mouseClick(button(dialog, name), Qt::LeftButton); }

    // The history file as another reader sees it.
    std::optional<app::HistoryFile> file() {
        std::ifstream in(history().filePath(), std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        return app::parseHistoryFile(bytes);
    }

    QTemporaryDir dir;
    std::time_t now = 1'700'000'000;
    SkinListBox* list = nullptr;
};

TEST_F(AddressBookTest, ListsRecordersNewestFirstWithTheirLastUse) {
    auto h = history();
    record(h, "10.0.0.1", 2000, "Front door");
    record(h, "yard.example", 2100, "Yard");
    record(h, "10.0.0.3", 2000, "Office");
    auto dialog = open(h, app::DateFormat::DayMonthYear);

    ASSERT_EQ(list->rowCount(), 3);
    EXPECT_EQ(list->cell(0, 0), "10.0.0.3");
    EXPECT_EQ(list->cell(1, 0), "yard.example");
    EXPECT_EQ(list->cell(1, 1), "2100");
    EXPECT_EQ(list->cell(1, 2), "Yard");
    EXPECT_EQ(list->cell(2, 2), "Front door");
    // Day first, as the local settings ask, then the time of day.
    const QRegularExpression day_first(QStringLiteral("^\\d\\d-\\d\\d-\\d{4} \\d\\d:\\d\\d:\\d\\d$"));
    EXPECT_TRUE(day_first.match(list->cell(0, 3)).hasMatch()) << list->cell(0, 3).toStdString();
    EXPECT_TRUE(lastUseText(0, app::DateFormat::YearMonthDay).isEmpty());

    // The newest recorder is chosen; the description waits for Edit.
    EXPECT_EQ(dialog->selectedRow(), 0);
    EXPECT_TRUE(button(*dialog, "ok")->isEnabled());
    EXPECT_TRUE(button(*dialog, "delete")->isEnabled());
    EXPECT_FALSE(dialog->findChild<SkinEdit*>(QStringLiteral("description"))->isEnabled());

    // An empty history: only Cancel does anything.
    app::ConnectHistory none(std::filesystem::path(dir.path().toStdString()) / "elsewhere");
    AddressBookDialog empty(none, app::DateFormat::YearMonthDay);
    EXPECT_EQ(empty.selectedRow(), -1);
    EXPECT_FALSE(button(empty, "ok")->isEnabled());
    EXPECT_FALSE(button(empty, "delete")->isEnabled());
    EXPECT_FALSE(button(empty, "edit")->isEnabled());
}

TEST_F(AddressBookTest, DeletingTheOnlyEntryRewritesAnEmptyHistory) {
    auto h = history();
    record(h, "10.0.0.1", 2000, "Only one");
    auto dialog = open(h);
    list->setCurrentRow(0);
    EXPECT_TRUE(button(*dialog, "delete")->isEnabled());

    click(*dialog, "delete");
    EXPECT_EQ(list->rowCount(), 0);
    EXPECT_EQ(dialog->selectedRow(), -1);
    EXPECT_FALSE(button(*dialog, "delete")->isEnabled());
    EXPECT_FALSE(button(*dialog, "edit")->isEnabled());
    EXPECT_FALSE(button(*dialog, "ok")->isEnabled());

    const auto written = file();
    ASSERT_TRUE(written.has_value());
    EXPECT_FALSE(written->wrapped);
    EXPECT_EQ(written->next_slot, 0u);
    ASSERT_EQ(written->entries.size(), 1u);  // the empty entry that ends the list
    EXPECT_TRUE(written->entries[0].empty());
}

TEST_F(AddressBookTest, DeleteSelectsTheRowThatMovedUpOrTheNewLastRow) {
    auto h = history();
    record(h, "10.0.0.1", 2000, "A");
    record(h, "10.0.0.2", 2000, "B");
    record(h, "10.0.0.3", 2000, "C");
    auto dialog = open(h);  // C, B, A

    list->setCurrentRow(0);
    click(*dialog, "delete");
    EXPECT_EQ(dialog->selectedRow(), 0);
    EXPECT_EQ(list->cell(0, 2), "B");

    list->setCurrentRow(1);
    click(*dialog, "delete");
    EXPECT_EQ(dialog->selectedRow(), 0);
    ASSERT_EQ(list->rowCount(), 1);
    EXPECT_EQ(list->cell(0, 2), "B");

    const auto written = file();
    ASSERT_TRUE(written.has_value());
    ASSERT_GE(written->entries.size(), 1u);
    EXPECT_EQ(written->entries[0].address, "10.0.0.2");
}

TEST_F(AddressBookTest, DescriptionEditIsSavedToTheFileAndAnUnsavedOneIsDropped) {
    auto h = history();
    record(h, "10.0.0.1", 2000, "Front door");
    record(h, "10.0.0.2", 2000, "Back door");
    auto dialog = open(h);
    auto* edit = dialog->findChild<SkinEdit*>(QStringLiteral("description"));

    list->setCurrentRow(1);
    click(*dialog, "edit");
    EXPECT_EQ(edit->text(), "Front door");
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_TRUE(button(*dialog, "save")->isVisible());
    EXPECT_FALSE(button(*dialog, "edit")->isVisible());

    edit->clear();
    QTest::keyClicks(edit, "Main entrance");
    click(*dialog, "save");
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_TRUE(button(*dialog, "edit")->isVisible());
    EXPECT_FALSE(button(*dialog, "save")->isVisible());
    EXPECT_EQ(list->cell(1, 2), "Main entrance");

    auto reread = history();
    ASSERT_EQ(reread.load(), app::HistoryStatus::Loaded);
    ASSERT_NE(reread.find("10.0.0.1", 2000), nullptr);
    EXPECT_EQ(reread.find("10.0.0.1", 2000)->description, "Main entrance");

    // Choosing another row in the middle of an edit drops the edit.
    click(*dialog, "edit");
    QTest::keyClicks(edit, " (old)");
    list->setCurrentRow(0);
    EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_TRUE(button(*dialog, "edit")->isVisible());
    ASSERT_EQ(reread.load(), app::HistoryStatus::Loaded);
    EXPECT_EQ(reread.find("10.0.0.1", 2000)->description, "Main entrance");
}

}  // namespace
}  // namespace kalix::ui

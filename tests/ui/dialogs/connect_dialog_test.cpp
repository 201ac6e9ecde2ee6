// The connect dialog through its widgets: what it opens with, OK with good
// and bad ports, the default-port switch, the demo's fill-and-accept, and
// a recorder taken from the address book.
#include "ui/dialogs/connect_dialog.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "skin_test_support.h"
#include "ui/dialogs/address_book_dialog.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {
namespace {

class ConnectDialogTest : public testing::WithoutSkin {
protected:
    void SetUp() override {
        testing::WithoutSkin::SetUp();
        ASSERT_TRUE(dir.isValid());
    }

    app::ConnectHistory history() { return app::ConnectHistory(dir.path().toStdString(), [this] { return now; }); }

    // A dialog on screen with a resolver that knows one name.
    std::unique_ptr<ConnectDialog> open(app::ConnectHistory& h) {
        auto dialog = std::make_unique<ConnectDialog>(store, h);
        dialog->setResolver([](std::string_view typed) {
            return typed == "dvr.example" ? std::string("10.1.2.3") : std::string(typed);
        });
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return dialog;
    }

    template <typename T>
    static T* child(QWidget& dialog, const char* name) {
        T* found = dialog.findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static void type(QWidget& dialog, const char* name, const QString& text) {
        auto* edit = child<SkinEdit>(dialog, name);
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    static void click(QWidget& dialog, const char* name) {
        QTest::mouseClick(child<SkinButton>(dialog, name), Qt::LeftButton);
    }

    QTemporaryDir dir;
    app::MemorySettingsStore store;
    std::time_t now = 1'700'000'000;
};

TEST_F(ConnectDialogTest, OpensWithTheStoredRecorderAndItsDescription) {
    store.writeText(app::kServerIpKey, "10.0.0.5");
    store.writeNumber(app::kServerPortKey, 2100);
    auto h = history();
    ASSERT_TRUE(h.record("10.0.0.5", 2100, "Gate"));
    ASSERT_TRUE(h.record("10.0.0.5", 2000, "Other port, other recorder"));

    auto dialog = open(h);
    EXPECT_EQ(child<SkinEdit>(*dialog, "address")->text(), "10.0.0.5");
    EXPECT_EQ(child<SkinEdit>(*dialog, "port")->text(), "2100");
    EXPECT_TRUE(child<SkinEdit>(*dialog, "port")->isEnabled());
    EXPECT_EQ(child<SkinEdit>(*dialog, "description")->text(), "Gate");
    EXPECT_TRUE(child<SkinEdit>(*dialog, "user")->text().isEmpty());
    EXPECT_TRUE(child<SkinEdit>(*dialog, "password")->passwordMode());
    // Only the switch that changes the mode is offered.
    EXPECT_TRUE(child<SkinButton>(*dialog, "default-port-on")->isVisible());
    EXPECT_FALSE(child<SkinButton>(*dialog, "default-port-off")->isVisible());

    // Without a stored port the dialog opens in default-port mode.
    store.remove(app::kServerPortKey);
    auto fresh = open(h);
    EXPECT_TRUE(child<SkinEdit>(*fresh, "port")->text().isEmpty());
    EXPECT_FALSE(child<SkinEdit>(*fresh, "port")->isEnabled());
    EXPECT_EQ(child<SkinEdit>(*fresh, "description")->text(), "Other port, other recorder");
    EXPECT_FALSE(child<SkinButton>(*fresh, "default-port-on")->isVisible());
    EXPECT_TRUE(child<SkinButton>(*fresh, "default-port-off")->isVisible());
}

TEST_F(ConnectDialogTest, PortOutOfRangeKeepsTheDialogOpenWithTheEmptiedPortFocused) {
    auto h = history();
    auto dialog = open(h);
    type(*dialog, "address", "192.168.1.20");
    click(*dialog, "default-port-off");
    type(*dialog, "port", "65535");
    click(*dialog, "ok");

    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->request().has_value());
    auto* port = child<SkinEdit>(*dialog, "port");
    EXPECT_TRUE(port->text().isEmpty());
    EXPECT_EQ(dialog->focusWidget(), port);
    // Nothing was stored or recorded.
    EXPECT_FALSE(store.contains(app::kServerIpKey));
    EXPECT_FALSE(std::filesystem::exists(h.filePath()));

    // Port 1 is the lowest accepted.
    type(*dialog, "port", "1");
    type(*dialog, "user", "admin");
    type(*dialog, "password", "pw");
    type(*dialog, "description", "Lab");
    click(*dialog, "ok");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    ASSERT_TRUE(dialog->request().has_value());
    EXPECT_EQ(dialog->request()->port, 1);
    EXPECT_EQ(dialog->request()->user, "admin");
    EXPECT_EQ(dialog->request()->password, "pw");
}

TEST_F(ConnectDialogTest, OkStoresTheRecorderRecordsItAsTypedAndResolvesTheName) {
    auto h = history();
    auto dialog = open(h);
    type(*dialog, "address", "dvr.example");
    click(*dialog, "default-port-off");
    type(*dialog, "port", "2101");
    type(*dialog, "description", "Warehouse");
    click(*dialog, "ok");

    ASSERT_TRUE(dialog->request().has_value());
    EXPECT_EQ(dialog->request()->address, "10.1.2.3");
    EXPECT_EQ(dialog->request()->port, 2101);
    EXPECT_EQ(dialog->request()->description, "Warehouse");
    EXPECT_EQ(store.readText(app::kServerIpKey), "dvr.example");
    EXPECT_EQ(store.readNumber(app::kServerPortKey), 2101u);

    auto reread = history();
    ASSERT_EQ(reread.load(), app::HistoryStatus::Loaded);
    ASSERT_EQ(reread.entries().size(), 1u);
    EXPECT_EQ(reread.entries()[0].address, "dvr.example");
    EXPECT_EQ(reread.entries()[0].port, 2101u);
    EXPECT_EQ(reread.entries()[0].description, "Warehouse");
    EXPECT_EQ(reread.entries()[0].time, static_cast<std::uint32_t>(now));
}

TEST_F(ConnectDialogTest, DefaultPortSwitchEmptiesThePortAndConnectsToTheDefault) {
    store.writeNumber(app::kServerPortKey, 3000);
    auto h = history();
    auto dialog = open(h);
    type(*dialog, "address", "10.0.0.9");
    click(*dialog, "default-port-on");
    EXPECT_TRUE(child<SkinEdit>(*dialog, "port")->text().isEmpty());
    EXPECT_FALSE(child<SkinEdit>(*dialog, "port")->isEnabled());
    click(*dialog, "ok");
    ASSERT_TRUE(dialog->request().has_value());
    EXPECT_EQ(dialog->request()->port, session::kDefaultPort);
    EXPECT_EQ(store.readNumber(app::kServerPortKey), std::uint32_t{session::kDefaultPort});
}

// The demo answers the dialog without showing it, through the same OK.
TEST_F(ConnectDialogTest, FillThenAcceptConnectsWithoutTheDialogOnScreen) {
    auto h = history();
    ConnectDialog dialog(store, h);
    dialog.setResolver([](std::string_view typed) { return std::string(typed); });
    app::ConnectRequest demo{"127.0.0.1", 40123, "admin", "1234", "Demo recorder"};
    dialog.fill(demo);
    EXPECT_FALSE(dialog.form().default_port);
    dialog.accept();

    ASSERT_TRUE(dialog.request().has_value());
    EXPECT_EQ(dialog.request()->address, "127.0.0.1");
    EXPECT_EQ(dialog.request()->port, 40123);
    EXPECT_EQ(dialog.request()->user, "admin");
    EXPECT_EQ(dialog.request()->password, "1234");
    EXPECT_EQ(dialog.request()->description, "Demo recorder");
    EXPECT_EQ(store.readNumber(app::kServerPortKey), 40123u);
    auto reread = history();
    ASSERT_EQ(reread.load(), app::HistoryStatus::Loaded);
    EXPECT_NE(reread.find("127.0.0.1", 40123), nullptr);

    // The recorder's own port fills in default-port mode.
    demo.port = session::kDefaultPort;
    dialog.fill(demo);
    EXPECT_TRUE(dialog.form().default_port);
    EXPECT_TRUE(dialog.form().port.empty());
}

TEST_F(ConnectDialogTest, AddressBookChoiceFillsAddressPortAndDescriptionOnly) {
    auto h = history();
    ASSERT_TRUE(h.record("10.0.0.1", 2000, "Old"));
    now += 60;
    ASSERT_TRUE(h.record("shop.example", 2200, "Shop"));
    auto dialog = open(h);
    type(*dialog, "user", "bob");

    bool answered = false;
    QTimer::singleShot(0, dialog.get(), [&] {
        auto* book = dialog->findChild<AddressBookDialog*>();
        ASSERT_NE(book, nullptr);
        ASSERT_TRUE(book->isVisible());
        child<SkinListBox>(*book, "list")->setCurrentRow(0);  // newest first: the shop
        QTest::mouseClick(child<SkinButton>(*book, "ok"), Qt::LeftButton);
        answered = true;
    });
    dialog->openAddressBook();
    ASSERT_TRUE(answered);

    EXPECT_EQ(child<SkinEdit>(*dialog, "address")->text(), "shop.example");
    EXPECT_EQ(child<SkinEdit>(*dialog, "port")->text(), "2200");
    EXPECT_TRUE(child<SkinEdit>(*dialog, "port")->isEnabled());
    EXPECT_EQ(child<SkinEdit>(*dialog, "description")->text(), "Shop");
    EXPECT_EQ(child<SkinEdit>(*dialog, "user")->text(), "bob");
    EXPECT_TRUE(dialog->isVisible());
}

}  // namespace
}  // namespace kalix::ui

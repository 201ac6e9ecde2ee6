// Pictures of the skinned controls for a person to look at: every control
// in its states, the three notice boxes and the motion grid, with the skin
// and without it. Runs only when KALIX_GALLERY_DIR names the folder to
// write into:
//
//   KALIX_GALLERY_DIR=/tmp/gallery QT_QPA_PLATFORM=offscreen
//   build/tests/ui/ui_tests --gtest_filter='SkinGallery*'
//
// (one command line). Files ending in -noskin show the fallback drawing.
#include <QDir>
#include <QGridLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include "skin_test_support.h"
#include "ui/widgets/motion_grid.h"
#include "ui/dialogs/notice_dialog.h"
#include "ui/skin/skin_check_button.h"
#include "ui/skin/skin_dialog.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {
namespace {

// A made-up camera view: sky, ground, a house and a car.
QImage channelPicture() {
    QImage image(352, 288, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 0, 150);
    sky.setColorAt(0, QColor(90, 130, 180));
    sky.setColorAt(1, QColor(170, 190, 210));
    p.fillRect(0, 0, 352, 150, sky);
    p.fillRect(0, 150, 352, 138, QColor(80, 90, 70));
    p.fillRect(40, 80, 120, 90, QColor(150, 120, 100));
    p.fillRect(80, 120, 30, 50, QColor(70, 50, 40));
    p.fillRect(220, 190, 90, 36, QColor(170, 40, 40));
    p.setBrush(QColor(20, 20, 20));
    p.drawEllipse(230, 218, 20, 20);
    p.drawEllipse(280, 218, 20, 20);
    return image;
}

class SkinGallery : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        dir_ = qEnvironmentVariable("KALIX_GALLERY_DIR");
        if (dir_.isEmpty()) GTEST_SKIP() << "set KALIX_GALLERY_DIR to write the gallery";
        ASSERT_TRUE(QDir().mkpath(dir_));
        if (GetParam()) {
            ASSERT_TRUE(loadResourceBundle(QStringLiteral(KALIX_BUNDLE)));
        } else {
            unloadResourceBundle();
        }
    }
    void TearDown() override { unloadResourceBundle(); }

    void save(QWidget& widget, const QString& name) {
        if (!widget.isVisible()) widget.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
        const QString file = QDir(dir_).filePath(name + (GetParam() ? QString() : QStringLiteral("-noskin")) +
                                                 QStringLiteral(".png"));
        ASSERT_TRUE(widget.grab().save(file)) << file.toStdString();
    }

    QString dir_;
};

TEST_P(SkinGallery, Controls) {
    SkinDialog dialog;
    dialog.setTitle(QStringLiteral("Skinned controls"));
    auto* grid = new QGridLayout(&dialog);

    const char* const states[] = {"Unchecked", "Checked", "Pressed", "Disabled", "Disabled, checked"};
    for (int i = 0; i < 5; ++i) {
        auto* box = new SkinCheckButton(QString::fromLatin1(states[i]));
        box->setChecked(i == 1 || i == 4);
        box->setDown(i == 2);
        box->setEnabled(i < 3);
        grid->addWidget(box, 0, i);
    }
    grid->addWidget(new SkinStatic(QStringLiteral("User name")), 1, 0);
    auto* user = new SkinEdit(16);
    user->setText(QStringLiteral("admin"));
    grid->addWidget(user, 1, 1, 1, 2);
    grid->addWidget(new SkinStatic(QStringLiteral("Password"), nullptr, SkinFont::Bold), 1, 3);
    auto* password = new SkinEdit(16, SkinEdit::Echo::Password);
    password->setText(QStringLiteral("secret"));
    grid->addWidget(password, 1, 4);
    auto* disabled = new SkinEdit(132);
    disabled->setText(QStringLiteral("192.168.0.10"));
    disabled->setEnabled(false);
    grid->addWidget(disabled, 2, 1, 1, 2);

    auto* list = new SkinListBox;
    list->setColumns({QStringLiteral("No."), QStringLiteral("Time"), QStringLiteral("Type"), QStringLiteral("Detail")},
                     {48, 150, 110});
    list->setColumnAlignment(0, Qt::AlignRight);
    const char* const kinds[] = {"Motion", "Video loss", "Sensor", "Client login", "Recording started"};
    std::vector<QStringList> rows;
    for (int i = 0; i < 40; ++i)
        rows.push_back({QString::number(i + 1),
                        QStringLiteral("2024-05-01 12:%1:00").arg(i, 2, 10, QLatin1Char('0')),
                        QString::fromLatin1(kinds[i % 5]), QStringLiteral("Cam%1").arg(i % 16 + 1, 2, 10, QLatin1Char('0'))});
    list->setRows(std::move(rows));
    list->setCurrentRow(3);
    list->setMinimumHeight(180);
    grid->addWidget(list, 3, 0, 1, 5);
    dialog.resize(720, 380);
    save(dialog, QStringLiteral("controls"));
}

TEST_P(SkinGallery, NoticeBoxes) {
    QWidget owner;
    owner.setGeometry(0, 0, 928, 712);
    struct Box {
        const char* name;
        std::uint16_t kind, detail;
        const char* title;
        const char* message;
    };
    const Box boxes[] = {
        {"notice-ok", 0x0F, 0, "Recorder", "This operation is not allowed or not available."},
        {"notice-okcancel", 0x0B, 0, "Recorder", "Upgrade the recorder's firmware with the files found?"},
        {"notice-yesno", 0x04, 0, "Recorder", "No recorded data at the chosen time. Search again?"},
    };
    for (const Box& b : boxes) {
        NoticeDialog dialog(app::NoticeBox{session::Notice{b.kind, b.detail, session::Owner::MainWindow}, b.title,
                                           b.message},
                            &owner);
        dialog.setAttribute(Qt::WA_DeleteOnClose, false);
        save(dialog, QString::fromLatin1(b.name));
    }
}

TEST_P(SkinGallery, MotionGrid) {
    MotionGrid grid;
    grid.resize(352, 288);
    grid.setPicture(channelPicture());
    grid.setCells({0, 0, 0b00000111100, 0b00000111100, 0b00000111100, 0, 0b11100000000, 0b11100000000, 0});
    save(grid, QStringLiteral("motion-grid"));
    grid.setPicture(QImage());
    save(grid, QStringLiteral("motion-grid-nopicture"));
}

INSTANTIATE_TEST_SUITE_P(, SkinGallery, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "WithSkin" : "WithoutSkin";
                         });

}  // namespace
}  // namespace kalix::ui

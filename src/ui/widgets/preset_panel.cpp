#include "ui/widgets/preset_panel.h"

#include <QKeyEvent>
#include <QPainter>

#include "ui/skin/skin_button.h"
#include "ui/skin/skin_style.h"

namespace kalix::ui {
namespace {

using app::PresetAction;
using app::PresetMode;

constexpr QRect kDisplayRect{8, 8, 272, 32};
const char* const kNames[] = {"Preset", "Learn", "Set", "Call", "Tour", "0", "1", "2", "3",
                              "4",      "5",     "6",   "7",    "8",    "9", "OK", "Dome", "X"};

// Where each key sits: five columns of 62 pixels; the digits 1-5 and
// 6-9, 0 in two rows under the mode and action keys.
QRect keyRect(int key) {
    constexpr int kLeft = 8, kStep = 62, kWidth = 58;
    if (key <= static_cast<int>(PresetPanel::Key::Tour)) return {kLeft + key * kStep, 50, kWidth, 28};
    if (key < static_cast<int>(PresetPanel::Key::Ok)) {
        const int d = key - static_cast<int>(PresetPanel::Key::Digit0);
        const int place = d == 0 ? 9 : d - 1;
        return {kLeft + (place % 5) * kStep, 86 + (place / 5) * 36, kWidth, 30};
    }
    if (key == static_cast<int>(PresetPanel::Key::Ok)) return {kLeft, 162, 120, 28};
    if (key == static_cast<int>(PresetPanel::Key::Dome)) return {kLeft + 2 * kStep, 162, 120, 28};
    return {288, 8, 24, 22};  // X
}

}  // namespace

PresetPanel::PresetPanel(app::PtzPanels& panels, std::function<void()> changed, QWidget* parent)
    : SkinDialog(parent, skin::kPresetPanel), panels_(panels), changed_(std::move(changed)) {
    setFixedSize(kPresetPanelSize);
    setFocusPolicy(Qt::StrongFocus);
    for (int i = 0; i < kKeys; ++i) {
        const auto which = static_cast<Key>(i);
        auto* b = new SkinButton(0, skin::kPresetKeyFirst + 3 * i, QString::fromLatin1(kNames[i]), this);
        b->setGeometry(keyRect(i));
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &SkinButton::clicked, this, [this, which] { press(which); });
        keys_[static_cast<std::size_t>(i)] = b;
    }
    refresh();
}

void PresetPanel::press(Key which) {
    app::PresetKeypad& k = panels_.keypad();
    switch (which) {
        case Key::Preset: k.presetButton(); break;
        case Key::Learn: k.learnButton(); break;
        case Key::Set: panels_.keypadSet(); break;
        case Key::Call: k.callButton(); break;
        case Key::Tour: k.tourButton(); break;
        case Key::Ok: panels_.keypadOk(); break;
        case Key::Dome: panels_.keypadDome(); break;
        case Key::Close: panels_.keypadClose(); break;
        default: k.digit(static_cast<unsigned>(static_cast<int>(which) - static_cast<int>(Key::Digit0))); break;
    }
    refresh();
    if (which == Key::Ok || which == Key::Dome || which == Key::Close) {
        if (changed_) changed_();
    }
}

void PresetPanel::refresh() {
    const app::PresetKeypad& k = panels_.keypad();
    const bool setup = panels_.setupAllowed();
    key(Key::Set)->setEnabled(setup);
    key(Key::Dome)->setEnabled(setup);
    key(Key::Preset)->setShownPressed(k.mode() == PresetMode::Preset);
    key(Key::Learn)->setShownPressed(k.mode() == PresetMode::Learn);
    key(Key::Set)->setShownPressed(k.action() == PresetAction::Set);
    key(Key::Call)->setShownPressed(k.action() == PresetAction::Call);
    key(Key::Tour)->setShownPressed(k.action() == PresetAction::Tour);
    update();
}

QString PresetPanel::modeText() const {
    const app::PresetKeypad& k = panels_.keypad();
    const QString mode = k.mode() == PresetMode::Preset ? QStringLiteral("PRESET") : QStringLiteral("PATTERN");
    const char* action = k.action() == PresetAction::Set ? "SET" : k.action() == PresetAction::Tour ? "TOUR" : "CALL";
    return mode + QStringLiteral("  ") + QString::fromLatin1(action);
}

QString PresetPanel::numberText() const { return QString::number(panels_.keypad().number()); }

void PresetPanel::paintEvent(QPaintEvent* event) {
    SkinDialog::paintEvent(event);
    QPainter painter(this);
    painter.fillRect(kDisplayRect, QColor(0x10, 0x14, 0x18));
    painter.setPen(QColor(0x60, 0x68, 0x70));
    painter.drawRect(kDisplayRect.adjusted(0, 0, -1, -1));
    painter.setPen(QColor(0xC8, 0xD0, 0xD8));
    painter.setFont(skinFont());
    painter.drawText(kDisplayRect.adjusted(10, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, modeText());
    QFont number(QStringLiteral("Arial"));
    number.setPixelSize(20);
    number.setBold(true);
    painter.setFont(number);
    painter.setPen(QColor(0x40, 0xE0, 0x60));
    painter.drawText(kDisplayRect.adjusted(0, 0, -10, 0), Qt::AlignRight | Qt::AlignVCenter, numberText());
}

// Esc is X; the digits and Enter type as the keys do.
void PresetPanel::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return press(digitKey(key - Qt::Key_0));
    if (key == Qt::Key_Return || key == Qt::Key_Enter) return press(Key::Ok);
    if (key == Qt::Key_Escape) return press(Key::Close);
    SkinDialog::keyPressEvent(event);
}

}  // namespace kalix::ui

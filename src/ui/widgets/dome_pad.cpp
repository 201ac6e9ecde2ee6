#include "ui/widgets/dome_pad.h"

#include <QKeyEvent>

#include "ui/skin/skin_button.h"

namespace kalix::ui {
namespace {

constexpr int kLeft = 4, kTop = 8, kStep = 54, kWidth = 46, kHeight = 40;
constexpr int kFaces[] = {skin::kDomeSel, skin::kDomePrev, skin::kDomeClose};
const char* const kNames[] = {"Sel", "Prev", "X"};

}  // namespace

DomePad::DomePad(app::PtzPanels& panels, std::function<void()> changed, QWidget* parent)
    : SkinDialog(parent, skin::kDomePad), panels_(panels), changed_(std::move(changed)) {
    setFixedSize(kDomePadSize);
    for (int i = 0; i < 3; ++i) {
        const auto which = static_cast<Key>(i);
        auto* b = new SkinButton(0, kFaces[i], QString::fromLatin1(kNames[i]), this);
        b->setGeometry(kLeft, kTop + i * kStep, kWidth, kHeight);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &SkinButton::clicked, this, [this, which] { press(which); });
        keys_[static_cast<std::size_t>(i)] = b;
    }
}

void DomePad::press(Key which) {
    switch (which) {
        case Key::Select: return panels_.domeSelect();
        case Key::Previous: return panels_.domePrevious();
        case Key::Close:
            panels_.domeClose();
            if (changed_) changed_();
            return;
    }
}

// Esc would hide the pad and leave the camera's menu open: it is X.
void DomePad::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) return press(Key::Close);
    SkinDialog::keyPressEvent(event);
}

}  // namespace kalix::ui

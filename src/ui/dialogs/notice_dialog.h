#pragma once
// The operator notice box: a skinned pop-up with a title line, one message
// and one or two answer buttons (OK; OK and Cancel; Yes and No). It is
// modeless, belongs to the window that raised the notice and opens centred
// on it. Its width follows the text: the wider of title and message,
// measured in their fonts, times 1.2, kept between a minimum that fits the
// buttons and a maximum beyond which the message wraps.
//
// Answering (a button, Enter, Escape, or closing the window) emits
// answered() once, then the box closes and deletes itself; owners hold it
// in a QPointer.

#include <QString>

#include "app/client_controller.h"
#include "app/notice_texts.h"
#include "ui/skin/skin_dialog.h"

class QAbstractButton;
class QLabel;

namespace kalix::ui {

class NoticeDialog final : public SkinDialog {
    Q_OBJECT

public:
    enum class Answer { Accepted, Rejected };
    Q_ENUM(Answer)

    static constexpr int kMinimumWidth = 260;
    static constexpr int kMaximumWidth = 720;

    NoticeDialog(const QString& title, const QString& message, app::NoticeButtons buttons, QWidget* owner);
    // The controller's notice: its two lines, buttons by its kind and detail.
    NoticeDialog(const app::NoticeBox& box, QWidget* owner);

    // The width rule on its own: text width in pixels → box width.
    static int widthForText(int text_width);
    // The widest of the two lines in the box's fonts, in pixels.
    static int measuredTextWidth(const QString& title, const QString& message);

    app::NoticeButtons buttons() const { return buttons_; }
    QString message() const;
    QAbstractButton* acceptButton() const { return accept_; }
    QAbstractButton* rejectButton() const { return reject_; }  // null with OK alone

    void done(int result) override;

signals:
    void answered(kalix::ui::NoticeDialog::Answer answer);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    app::NoticeButtons buttons_;
    QLabel* message_ = nullptr;
    QAbstractButton* accept_ = nullptr;
    QAbstractButton* reject_ = nullptr;
    bool answered_ = false;
};

}  // namespace kalix::ui

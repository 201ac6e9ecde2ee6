#include "ui/dialogs/connect_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QShowEvent>
#include <QVBoxLayout>

#include "app/string_uses.h"
#include "session/address_resolver.h"
#include "ui/dialogs/address_book_dialog.h"
#include "ui/operator_text.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_text_controls.h"

namespace kalix::ui {

namespace {

constexpr std::uint16_t kTitleText = app::stringNumber("connect dialog: title");
constexpr std::uint16_t kAddressText = app::stringNumber("recorder address");
constexpr std::uint16_t kPortText = app::stringNumber("port");
constexpr std::uint16_t kUserText = app::stringNumber("connect dialog: user name");
constexpr std::uint16_t kPasswordText = app::stringNumber("connect dialog: password");
constexpr std::uint16_t kDescriptionText = app::stringNumber("description");
constexpr std::uint16_t kDefaultOnText = app::stringNumber("connect dialog: default port");
constexpr std::uint16_t kDefaultOffText = app::stringNumber("connect dialog: other port");
constexpr std::uint16_t kAddressBookText = app::stringNumber("address book: title");
constexpr std::uint16_t kOkText = app::stringNumber("ok"), kCancelText = app::stringNumber("cancel");

constexpr int kButtonHeight = 24, kWideButtonWidth = 110, kDialogButtonWidth = 76;
constexpr int kPortWidth = 70, kAccountWidth = 150;

SkinButton* makeButton(app::ConnectControl control, int face, std::uint16_t text, int width, QWidget* parent) {
    auto* button = new SkinButton(static_cast<int>(control), face, operatorText(text), parent);
    applySkin(*button, SkinFont::Bold);
    button->setFixedSize(width, kButtonHeight);
    return button;
}

SkinEdit* makeEdit(std::size_t max_chars, SkinEdit::Echo echo, const char* name, QWidget* parent) {
    auto* edit = new SkinEdit(static_cast<int>(max_chars), echo, parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QString qt(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

ConnectDialog::ConnectDialog(app::SettingsStore& store, app::ConnectHistory& history, QWidget* parent)
    : SkinDialog(parent), store_(store), history_(history), resolve_(session::resolveRecorderAddress) {
    setTitle(operatorText(kTitleText));
    setFixedSize(kWidth, kHeight);

    using Echo = SkinEdit::Echo;
    address_ = makeEdit(app::kAddressFieldChars, Echo::Normal, "address", this);
    port_ = makeEdit(app::kPortFieldChars, Echo::Normal, "port", this);
    port_->setFixedWidth(kPortWidth);
    user_ = makeEdit(app::kUserFieldChars, Echo::Normal, "user", this);
    user_->setFixedWidth(kAccountWidth);
    password_ = makeEdit(app::kPasswordFieldChars, Echo::Password, "password", this);
    password_->setFixedWidth(kAccountWidth);
    description_ = makeEdit(app::kDescriptionFieldChars, Echo::Normal, "description", this);

    using Control = app::ConnectControl;
    default_on_ = makeButton(Control::DefaultPortOn, skin::kWideButton, kDefaultOnText, kWideButtonWidth, this);
    default_on_->setObjectName(QStringLiteral("default-port-on"));
    connect(default_on_, &SkinButton::clicked, this, [this] { setDefaultPort(true); });
    default_off_ = makeButton(Control::DefaultPortOff, skin::kWideButton, kDefaultOffText, kWideButtonWidth, this);
    default_off_->setObjectName(QStringLiteral("default-port-off"));
    connect(default_off_, &SkinButton::clicked, this, [this] {
        setDefaultPort(false);
        port_->setFocus();
    });

    auto* book = makeButton(Control::AddressBook, skin::kWideButton, kAddressBookText, kWideButtonWidth, this);
    book->setObjectName(QStringLiteral("address-book"));
    connect(book, &SkinButton::clicked, this, &ConnectDialog::openAddressBook);
    auto* ok = makeButton(Control::Ok, skin::kSmallButton, kOkText, kDialogButtonWidth, this);
    ok->setObjectName(QStringLiteral("ok"));
    connect(ok, &SkinButton::clicked, this, &ConnectDialog::accept);
    auto* cancel = makeButton(Control::Cancel, skin::kSmallButton, kCancelText, kDialogButtonWidth, this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(cancel, &SkinButton::clicked, this, &ConnectDialog::reject);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    const auto label = [this](std::uint16_t text) { return new SkinStatic(operatorText(text), this, SkinFont::Bold); };
    grid->addWidget(label(kAddressText), 0, 0);
    grid->addWidget(address_, 0, 1, 1, 3);
    grid->addWidget(label(kPortText), 1, 0);
    grid->addWidget(port_, 1, 1);
    // The two switches share a place: only one of them is shown at a time.
    grid->addWidget(default_on_, 1, 2, Qt::AlignLeft);
    grid->addWidget(default_off_, 1, 2, Qt::AlignLeft);
    grid->addWidget(label(kUserText), 2, 0);
    grid->addWidget(user_, 2, 1, 1, 2, Qt::AlignLeft);
    grid->addWidget(label(kPasswordText), 3, 0);
    grid->addWidget(password_, 3, 1, 1, 2, Qt::AlignLeft);
    grid->addWidget(label(kDescriptionText), 4, 0);
    grid->addWidget(description_, 4, 1, 1, 3);
    grid->setColumnStretch(3, 1);

    auto* answers = new QHBoxLayout;
    answers->addWidget(book);
    answers->addStretch();
    answers->addWidget(ok);
    answers->addWidget(cancel);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 8, 6, 2);  // inside the dialog's own margins
    column->addLayout(grid);
    column->addStretch();
    column->addLayout(answers);

    history_.load();
    showForm(app::openConnectForm(store_, history_));
}

ConnectDialog::~ConnectDialog() = default;

void ConnectDialog::showForm(const app::ConnectForm& form) {
    address_->setText(qt(form.address));
    port_->setText(qt(form.port));
    user_->setText(qt(form.user));
    password_->setText(qt(form.password));
    description_->setText(qt(form.description));
    setDefaultPort(form.default_port);
}

app::ConnectForm ConnectDialog::form() const {
    app::ConnectForm form;
    form.address = address_->utf8();
    form.default_port = default_port_;
    form.port = default_port_ ? std::string() : port_->utf8();
    form.user = user_->utf8();
    form.password = password_->utf8();
    form.description = description_->utf8();
    return form;
}

void ConnectDialog::setDefaultPort(bool on) {
    default_port_ = on;
    if (on) port_->clear();
    port_->setEnabled(!on);
    // The recorder's port shows greyed in the empty field while it is used.
    port_->setPlaceholderText(on ? QString::number(session::kDefaultPort) : QString());
    default_on_->setVisible(!on);
    default_off_->setVisible(on);
}

void ConnectDialog::fill(const app::ConnectRequest& values) {
    app::ConnectForm form;
    form.address = values.address;
    form.default_port = values.port == session::kDefaultPort;
    if (!form.default_port) form.port = std::to_string(values.port);
    form.user = values.user;
    form.password = values.password;
    form.description = values.description;
    showForm(form);
}

void ConnectDialog::openAddressBook() {
    // The history may have changed since the dialog opened (another window
    // connected); the book shows the file as it is now.
    history_.load();
    AddressBookDialog book(history_, date_format_, this);
    book.setOpacityByte(opacityByte());
    if (book.exec() != QDialog::Accepted || !book.chosen()) return;
    history_.load();
    app::ConnectForm typed = form();
    app::takeHistoryEntry(typed, *book.chosen());
    showForm(typed);
}

void ConnectDialog::accept() {
    app::ConnectForm typed = form();
    request_ = app::acceptConnectForm(typed, store_, history_, resolve_);
    if (!request_) {
        port_->clear();
        port_->setFocus();
        return;
    }
    SkinDialog::accept();
}

void ConnectDialog::showEvent(QShowEvent* event) {
    if (!focused_) {  // the first showing: the field to type in first
        focused_ = true;
        if (address_->text().isEmpty())
            address_->setFocus();
        else
            user_->setFocus();
    }
    SkinDialog::showEvent(event);
}

void ConnectDialog::keyPressEvent(QKeyEvent* event) {
    // Without push buttons nothing is the default: Enter means OK.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    SkinDialog::keyPressEvent(event);
}

}  // namespace kalix::ui

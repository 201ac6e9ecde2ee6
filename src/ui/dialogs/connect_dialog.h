#pragma once
// The connect dialog: recorder address, port (or the default port), user
// name, password and a free description, with the address book of the
// recorders connected to before.
//
// It opens with the last address and port from the settings store and the
// history's description for them. OK stores the address and port, records
// the recorder in the history and resolves a host name to its dotted
// address; request() then holds what the session needs. A port outside
// 1..65,534 keeps the dialog open with the port field emptied and focused.
//
// fill() puts values into the fields as if typed, so a caller that already
// knows the recorder (the demo) goes through the same OK.
//
// Controls carry object names for tests and screenshots: "address", "port",
// "user", "password", "description", "default-port-on", "default-port-off",
// "address-book", "ok", "cancel".

#include <optional>

#include "app/client_controller.h"
#include "app/client_profile.h"
#include "app/connect_history.h"
#include "app/settings_store.h"
#include "ui/skin/skin_dialog.h"

namespace kalix::ui {

class SkinButton;
class SkinEdit;

class ConnectDialog final : public SkinDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 460;
    static constexpr int kHeight = 268;

    // `history` is loaded here; the dialog writes both store and history on OK.
    ConnectDialog(app::SettingsStore& store, app::ConnectHistory& history, QWidget* parent = nullptr);
    ~ConnectDialog() override;

    // Host name resolution on OK; the system's resolver by default.
    void setResolver(app::AddressResolver resolve) { resolve_ = std::move(resolve); }
    // How the address book writes the dates of last use.
    void setDateFormat(app::DateFormat format) { date_format_ = format; }

    // The fields as the operator would type them: the recorder's default
    // port switches the default-port mode on, any other port switches it off.
    void fill(const app::ConnectRequest& values);
    // What the fields hold now.
    app::ConnectForm form() const;

    // After OK: the recorder to connect to, its address resolved (empty when
    // the name did not resolve). Nothing after Cancel or before OK.
    const std::optional<app::ConnectRequest>& request() const { return request_; }

    // Opens the address book over the dialog; its OK fills address, port and
    // description with the chosen recorder.
    void openAddressBook();

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setDefaultPort(bool on);
    void showForm(const app::ConnectForm& form);

    app::SettingsStore& store_;
    app::ConnectHistory& history_;
    app::AddressResolver resolve_;
    app::DateFormat date_format_ = app::DateFormat::YearMonthDay;
    std::optional<app::ConnectRequest> request_;

    SkinEdit* address_ = nullptr;
    SkinEdit* port_ = nullptr;
    SkinEdit* user_ = nullptr;
    SkinEdit* password_ = nullptr;
    SkinEdit* description_ = nullptr;
    SkinButton* default_on_ = nullptr;   // shown while a port of the operator's is used
    SkinButton* default_off_ = nullptr;  // shown in default-port mode
    bool default_port_ = true;
    bool focused_ = false;
};

}  // namespace kalix::ui

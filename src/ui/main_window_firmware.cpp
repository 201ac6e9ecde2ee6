// The main window's part of a firmware upgrade: the scan of the Upgrade
// folder when FirmUp is pressed, and the upgrade window once the operator
// has agreed.

#include "ui/dialogs/firmware_dialog.h"
#include "ui/main_window.h"

namespace kalix::ui {

void MainWindow::openFirmware() {
    session::DvrSession* session = controller_->session();
    const auto identity = session ? session->identity() : std::nullopt;
    if (!identity || firmware_) return;
    firmware_modules_ = app::recorderModules(*identity);
    firmware_scan_ = app::scanUpgradeFolder(app::upgradeFolder(settings_), firmware_modules_,
                                            app::firmwareRowCount(identity->product_major, identity->product_minor));
    controller_->requestNotice(
        session::Notice::of(session::NoticeKind::Firmware, firmware_scan_->accepted == 0 ? 1 : 0, session::Owner::Firmware));
}

void MainWindow::openFirmwareDialog() {
    session::DvrSession* session = controller_->session();
    if (!session || !session->loggedIn() || !firmware_scan_ || firmware_) return;
    // The window may outlive the session (a disconnect): the link asks the
    // controller for the session at every call.
    class ControllerLink final : public app::FirmwareLink {
    public:
        explicit ControllerLink(app::ClientController& c) : c_(c) {}
        bool sendRequest(const app::FirmwareRequest& r) override {
            return c_.session() != nullptr && c_.session()->firmwareRequest(r);
        }
        void startUpload(const std::filesystem::path& file, int row) override {
            if (c_.session()) c_.session()->firmwareUpload(file, static_cast<std::uint32_t>(row));
        }
        void stopUpload() override {
            if (c_.session()) c_.session()->firmwareStop();
        }

    private:
        app::ClientController& c_;
    };
    firmware_link_ = std::make_unique<ControllerLink>(*controller_);
    auto* dialog = new FirmwareDialog(*firmware_scan_, firmware_modules_, *firmware_link_, this);
    dialog->setOpacityByte(settings_.alpha(app::OpacitySlot::FirmwareUpgrade));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    firmware_ = dialog;
    dialog->centreOn(this);
    dialog->show();
}

}  // namespace kalix::ui

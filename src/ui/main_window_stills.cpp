// The main window's part of still pictures: the Save button's folder and
// format from the settings, and Load's file dialog with its preview, whose
// chosen file opens in the image viewer.

#include <QString>

#include <filesystem>
#include <system_error>

#include "ui/dialogs/image_preview_dialog.h"
#include "ui/dialogs/image_viewer.h"
#include "ui/main_window.h"

namespace kalix::ui {

app::StillSaveOptions MainWindow::stillSaveOptions() const { return app::stillSaveOptions(settings_, setup_.storage); }

void MainWindow::openImageLoad() {
    if (image_dialog_) {
        image_dialog_->raise();
        image_dialog_->activateWindow();
        return;
    }
    const std::filesystem::path folder = app::savedFolder(settings_, setup_.storage);
    // The dialog opens in Saved even before the first still is saved.
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    auto* dialog = new ImagePreviewDialog(QString::fromStdString(folder.string()), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) { openImageViewer(path); });
    image_dialog_ = dialog;
    dialog->open();
}

ImageViewer* MainWindow::openImageViewer(const QString& path) {
    if (image_viewer_) image_viewer_->close();
    auto* viewer = new ImageViewer(path, this);
    image_viewer_ = viewer;
    if (viewer->loaded()) viewer->show();
    return viewer;
}

ImagePreviewDialog* MainWindow::imagePreviewDialog() const { return qobject_cast<ImagePreviewDialog*>(image_dialog_.data()); }
ImageViewer* MainWindow::imageViewer() const { return qobject_cast<ImageViewer*>(image_viewer_.data()); }

}  // namespace kalix::ui

#pragma once
// The main window: a fixed 928 × 712 borderless window drawn from the skin,
// with the video wall in the middle and the buttons and sliders on the four
// bars around it. What the controls do lives in the ClientController; this
// window renders its button model, forwards presses and slider messages,
// hands the session's events over on the user-interface thread, and puts
// the wall full screen and back.

#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include "app/backup_page.h"
#include "app/client_controller.h"
#include "app/client_profile.h"
#include "app/connect_history.h"
#include "app/firmware_upgrade.h"
#include "app/local_settings.h"
#include "app/settings_store.h"
#include "app/still_saver.h"
#include "app/operation_log.h"
#include "media/audio/speaker_mixer.h"
#include "media/video/video_wall.h"
#include "protocol/recorder_time.h"
#include "ui/qt_event_sink.h"

namespace kalix::ui {

class EventJumpBar;
class ImagePreviewDialog;
class ImageViewer;
class FullScreenBar;
class RemoteSearchDialog;
class DownloadProgressWindow;
class DomePad;
class LocalSearchDialog;
class PresetPanel;
class PtzPanel;
class TimeDisplay;
class ScreenKeeper;
class SkinButton;
class SkinSlider;
class VideoWallWidget;

inline constexpr int kMainWindowWidth = 928;
inline constexpr int kMainWindowHeight = 712;
inline constexpr media::WallRect kWallRect{54, 67, 874, 661};
inline constexpr QRect kLogoRect{691, 15, 228, 53};            // 691, 15 - 919, 68
inline constexpr QRect kPositionBarRect{251, 668, 427, 14};    // 251, 668 - 678, 682
// Under the position bar: the remote playback's origin, mode, speed and time.
inline constexpr QRect kStatusStripRect{251, 685, 427, 16};
// The time display in the top bar, between the buttons and the logo.
inline constexpr QPoint kTimeDisplayPos{622, 10};
// The event-jump bar over the wall's bottom-left corner.
inline constexpr QPoint kEventJumpBarPos{58, 621};
// The PTZ windows, in the window's client coordinates: the panel at a
// fixed point, the keypad at the left edge and the dome pad at the right
// edge, each so many pixels above the bottom.
inline constexpr QPoint kPtzPanelPos{730, 550};
inline constexpr int kPresetPanelAboveBottom = 261;
inline constexpr int kDomePadFromRight = 201, kDomePadAboveBottom = 200;

// How the wall draws pictures: the YUV path (OpenGL) where it works, or
// always the RGB path.
enum class DrawPathChoice { YuvWhereAvailable, Rgb };

struct MainWindowSetup {
    // YuvWhereAvailable: as the settings' draw mode says.
    DrawPathChoice draw_path = DrawPathChoice::YuvWhereAvailable;
    app::ClientProfile profile;
    app::StorageMode storage = app::StorageMode::Writable;
    std::string home;  // the user's home folder; empty: the real one
    // Where the settings are kept; none: the desktop's settings (QSettings).
    std::unique_ptr<app::SettingsStore> settings;
    protocol::UtcOffset utc_offset;
    app::ProgramVersion version;
    // The speakers' mixer (tests leave the machine's mixer alone).
    bool open_mixer = true;
    // Stands in for the session's remote playback (tests).
    app::PlaybackSession* playback = nullptr;
    // The demo: the connect dialog is answered at once with these values.
    std::optional<app::ConnectRequest> auto_connect;
};

class MainWindow final : public QWidget, private app::ClientView {
    Q_OBJECT

public:
    explicit MainWindow(MainWindowSetup setup, QWidget* parent = nullptr);
    ~MainWindow() override;  // the controller's shutdown, then the wall

    // Start-up once the window is up: mixer, buttons, log entry, connect.
    void start();
    // Quit as the Quit button does: the window closes and shuts down.
    void quit();

    // The window as shown. QWidget::grab() re-renders an OpenGL child
    // through its framebuffer grab, which loses what the painters draw over
    // the pictures; with the OpenGL surface up the screen's copy is taken.
    QPixmap screenshot();
    // The wall, full screen, as shown on its monitor (null when not).
    QPixmap fullScreenShot();

    app::ClientController& controller() { return *controller_; }
    // The local setup's OK: the edited values become the window's, the
    // wall changes its drawing path when the draw mode changed (also in
    // the middle of live view), and the settings are saved, the Upgrade
    // folder made and the change logged as the outcome says.
    void applyLocalSetup(const app::LocalSettings& edited);
    media::VideoWall& wall() { return wall_; }
    VideoWallWidget* wallWidget() const { return wall_widget_; }
    SkinButton* button(app::ControlId control) const;
    SkinSlider* slider(app::ControlId control) const;
    FullScreenBar* fullScreenBar() const;
    QWidget* noticeWindow() const { return notice_; }
    TimeDisplay* timeDisplay() const;
    EventJumpBar* eventJumpBar() const;
    // The status strip's line; empty outside remote playback.
    QString statusStripText() const;
    RemoteSearchDialog* remoteSearchDialog() const;
    LocalSearchDialog* localSearchDialog() const;
    // The PTZ windows; null while closed.
    PtzPanel* ptzPanel() const;
    PresetPanel* presetPanel() const;
    DomePad* domePad() const;
    // Starts local playback at t; true when it started. The local player
    // and the wall's local mode come in with their own change: until then
    // this says no, and the local search stays open.
    bool startLocalPlaybackAt(protocol::RecorderTime t);
    const app::LocalSettings& settings() const { return settings_; }
    app::ConnectHistory& history() { return history_; }
    std::filesystem::path location() const { return settings_.location; }
    // Load's file dialog and the image viewer, while open.
    ImagePreviewDialog* imagePreviewDialog() const;
    ImageViewer* imageViewer() const;
    // The viewer on `path`: shown when the file loads, else it closes
    // itself at once.
    ImageViewer* openImageViewer(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // -- ClientView --
    void buttonsChanged() override;
    void repaintWall() override;
    void openConnectDialog() override;
    void openLocalSetup() override;
    void showNotice(const app::NoticeBox& box) override;
    void showMessageBox(const std::string& text) override;
    void minimise() override;
    void endDialog() override;
    media::WallRect windowRect() const override;
    void wallFullScreenChanged() override;
    bool openBrowser(const std::string& url) override;
    void startSaveJobTimer() override;
    void stopSaveJobTimer() override;
    std::filesystem::path localArchiveFolder() const;
    void playbackChanged() override;
    void openTimeDisplay() override;
    void closeTimeDisplay() override;
    void openEventJumpBar() override;
    void closeEventJumpBar() override;
    void openRemoteSearch() override;
    void openFirmware() override;
    void openFirmwareDialog();
    void openLocalSearch() override;
    void openImageLoad() override;
    app::StillSaveOptions stillSaveOptions() const;
    void ptzWindowsChanged() override;

    void createControls();
    void addRecorderCommands(QWidget* button);
    void onEvent(const session::Event& event);
    // The download's progress window, its end, and the Backup page's size.
    void onDownloadEvent(const session::Event& event);
    std::unique_ptr<session::DvrSession> makeSession(const app::ConnectRequest& request);
    media::PaintContext paintContext() const;
    void applyDrawMode();
    void enterFullScreen();
    void leaveFullScreen();
    bool positionBarShown() const;
    void followLocalSlider();

    MainWindowSetup setup_;
    std::unique_ptr<app::SettingsStore> store_;
    app::LocalSettings settings_;
    app::ConnectHistory history_;
    media::SpeakerMixer speaker_mixer_;
    app::SpeakerMixerControl mixer_;
    app::OperationLog log_;
    media::VideoWall wall_;
    std::unique_ptr<QtEventSink> sink_;  // the current session's
    std::uint64_t session_generation_ = 0;
    std::unique_ptr<ScreenKeeper> screen_keeper_;
    std::unique_ptr<app::ClientController> controller_;

    // Qt children (owned by the window).
    VideoWallWidget* wall_widget_ = nullptr;
    std::map<int, SkinButton*> buttons_;
    std::map<int, SkinSlider*> sliders_;
    QPointer<FullScreenBar> bar_;
    QPointer<QWidget> notice_;
    QPointer<QWidget> remote_search_;
    // FirmUp: the scan waits for the operator's OK, then the upgrade window.
    QPointer<QWidget> firmware_;
    std::optional<app::FirmwareScan> firmware_scan_;
    std::vector<app::RecorderModule> firmware_modules_;
    std::unique_ptr<app::FirmwareLink> firmware_link_;
    QPointer<QWidget> local_search_;
    // The searches the open search dialog sends through the session.
    std::unique_ptr<app::SearchRequests> search_requests_;
    std::unique_ptr<app::BackupRequests> backup_requests_;
    app::DownloadProgress download_progress_;
    QPointer<DownloadProgressWindow> progress_window_;
    QTimer save_job_timer_;
    QPointer<QWidget> image_dialog_;
    QPointer<QWidget> image_viewer_;
    QPointer<TimeDisplay> time_display_;
    QPointer<EventJumpBar> jump_bar_;
    QPointer<PtzPanel> ptz_panel_;
    QPointer<PresetPanel> preset_panel_;
    QPointer<DomePad> dome_pad_;
    QTimer playback_timer_;  // position and status strip, every 100 ms

    QImage bars_[4];
    QImage wall_background_;
    QImage position_bar_;
    QImage logo_;        // LogoCD.bmp
    QImage skin_logo_;   // the skin's own, when there is no LogoCD.bmp
    std::optional<QPoint> drag_from_;
    bool ended_ = false;
};

}  // namespace kalix::ui

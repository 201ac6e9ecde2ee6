#include "ui/main_window.h"

#include <filesystem>

#include "archive/archive_writer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QUrl>
#include <QWindow>

#include <ctime>
#include <thread>
#include <variant>

#include "app/string_table.h"
#include "session/address_resolver.h"
#include "media/audio/sdl_sound_output.h"
#include "media/audio/sound_in.h"
#include "protocol/trace.h"
#include "ui/dialogs/connect_dialog.h"
#include "ui/widgets/event_jump_bar.h"
#include "ui/widgets/full_screen_bar.h"
#include "ui/widgets/time_display.h"
#include "ui/dialogs/local_setup_dialog.h"
#include "ui/dialogs/notice_dialog.h"
#include "ui/dialogs/firmware_dialog.h"
#include "ui/dialogs/remote_search_dialog.h"
#include "ui/qt_settings_store.h"
#include "ui/resource_bundle.h"
#include "ui/screen_keeper.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_catalogue.h"
#include "ui/skin/skin_slider.h"
#include "ui/widgets/video_wall_widget.h"

namespace kalix::ui {

namespace {

using app::ControlId;

// The caption font the main window gives the wall.
constexpr int kCaptionFontSize = 13;
constexpr int kCaptionFontWeight = 700;
const char* const kCaptionFontFace = "Arial";

// The bars, as the window's geometry places them.
const QRect kTopBar{0, 0, 928, 67};
const QRect kLeftBar{0, 67, 54, 594};
const QRect kRightBar{874, 67, 54, 594};
const QRect kBottomBar{0, 661, 928, 66};
constexpr QRgb kPlainBar = qRgb(0x20, 0x24, 0x2a);

// Where each control stands (client coordinates) and its faces.
struct Placement {
    ControlId control;
    QRect rect;
    int face;  // first face number; 0 for none
    const char* caption;
};

constexpr int kTopButtonWidth = 64, kTopButtonHeight = 36, kTopButtonsLeft = 12, kTopButtonsTop = 16,
              kTopButtonStep = 68;
constexpr int kSideButtonWidth = 44, kSideButtonHeight = 30, kSideButtonsTop = 67 + 8, kSideButtonStep = 36;
constexpr int kLeftButtonsX = 5, kRightButtonsX = 874 + 5;
constexpr int kBottomButtonWidth = 32, kBottomButtonHeight = 28, kBottomButtonsTop = 672;
const char* const kSplitCaptions[] = {"1", "4", "6", "7", "8", "9", "10", "13", "16"};

std::vector<Placement> placements() {
    std::vector<Placement> out;
    const std::pair<ControlId, int> top[] = {
        {ControlId::Connect, skin::kConnect}, {ControlId::RSearch, skin::kRSearch}, {ControlId::RSetup, skin::kRSetup},
        {ControlId::LSearch, skin::kLSearch}, {ControlId::LSetup, skin::kLSetup},   {ControlId::Pan, skin::kPan},
        {ControlId::Zoom, skin::kZoom},       {ControlId::FirmUp, skin::kFirmUp},   {ControlId::VerInfo, skin::kVerInfo},
    };
    const char* const top_captions[] = {"Connect", "RSearch", "RSetup", "LSearch", "LSetup",
                                        "Pan",     "Zoom",    "FirmUp", "VerInfo"};
    for (int i = 0; i < 9; ++i)
        out.push_back({top[i].first,
                       QRect(kTopButtonsLeft + i * kTopButtonStep, kTopButtonsTop, kTopButtonWidth, kTopButtonHeight),
                       top[i].second, top_captions[i]});
    out.push_back({ControlId::Min, QRect(904, 1, 16, 13), skin::kMin, "_"});
    out.push_back({ControlId::Quit, QRect(884, 1, 16, 13), skin::kQuit, "Quit"});

    static const std::string channel_captions[16] = {"1", "2",  "3",  "4",  "5",  "6",  "7",  "8",
                                                     "9", "10", "11", "12", "13", "14", "15", "16"};
    for (int k = 0; k < app::kChannelButtons; ++k)
        out.push_back({app::channelButton(k),
                       QRect(kLeftButtonsX, kSideButtonsTop + k * kSideButtonStep, kSideButtonWidth, kSideButtonHeight),
                       skin::kChannelFirst + 3 * k, channel_captions[k].c_str()});
    const std::pair<ControlId, int> right_after_splits[] = {
        {ControlId::Full, skin::kFull},       {ControlId::Live, skin::kLive}, {ControlId::Osd, skin::kOsd},
        {ControlId::Arrange, skin::kArrange}, {ControlId::Save, skin::kSave}, {ControlId::Load, skin::kLoad},
        {ControlId::Audio, skin::kAudio},
    };
    const char* const right_captions[] = {"Full", "Live", "OSD", "Arrange", "Save", "Load", "Audio"};
    int row = 0;
    for (int i = 0; i < app::kSplitButtons; ++i, ++row)
        out.push_back({app::splitButton(i),
                       QRect(kRightButtonsX, kSideButtonsTop + row * kSideButtonStep, kSideButtonWidth, kSideButtonHeight),
                       skin::kSplitFirst + 3 * i, kSplitCaptions[i]});
    for (int i = 0; i < 7; ++i, ++row)
        out.push_back({right_after_splits[i].first,
                       QRect(kRightButtonsX, kSideButtonsTop + row * kSideButtonStep, kSideButtonWidth, kSideButtonHeight),
                       right_after_splits[i].second, right_captions[i]});

    const char* const play_captions[] = {"1", "2", "3", "4", "5", "6", "7"};
    for (int i = 0; i < app::kPlaybackButtons; ++i)
        out.push_back({app::playbackButton(i),
                       QRect(8 + i * 34, kBottomButtonsTop, kBottomButtonWidth, kBottomButtonHeight),
                       skin::kPlaybackFirst + 3 * i, play_captions[i]});
    out.push_back({ControlId::Sound, QRect(690, kBottomButtonsTop, kBottomButtonWidth, kBottomButtonHeight), skin::kSound,
                   "Sound"});
    out.push_back({ControlId::SelAudio, QRect(852, kBottomButtonsTop, kBottomButtonWidth, kBottomButtonHeight),
                   skin::kSelAudio, "SelAudio"});
    out.push_back({ControlId::Mike, QRect(888, kBottomButtonsTop, kBottomButtonWidth, kBottomButtonHeight), skin::kMike,
                   "Mike"});
    return out;
}

// A picture file of the client's: the working folder first, then the
// program's data places. A missing file gives a null image.
QImage loadClientPicture(const QString& name) {
    const QStringList candidates = QStringList{QDir::current().filePath(name)} + clientDataCandidates(name);
    for (const QString& path : candidates)
        if (QFileInfo::exists(path)) return QImage(path);
    return {};
}

QRect toQRect(const media::WallRect& r) { return {r.left, r.top, r.width(), r.height()}; }
media::WallRect toWallRect(const QRect& r) { return {r.left(), r.top(), r.right() + 1, r.bottom() + 1}; }

std::string text(int id) { return resourceString(id).toStdString(); }

std::unique_ptr<app::SettingsStore> settingsStore(std::unique_ptr<app::SettingsStore> given) {
    if (given) return given;
    return std::make_unique<QtSettingsStore>();
}

std::string homeFolder(const std::string& given) { return given.empty() ? QDir::homePath().toStdString() : given; }

}  // namespace

MainWindow::MainWindow(MainWindowSetup setup, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      setup_(std::move(setup)),
      store_(settingsStore(std::move(setup_.settings))),
      settings_(app::loadLocalSettings(*store_, setup_.profile, homeFolder(setup_.home))),
      history_(settings_.location),
      mixer_(speaker_mixer_),
      log_(settings_.location, setup_.storage, setup_.utc_offset) {
    setFixedSize(kMainWindowWidth, kMainWindowHeight);
    setWindowTitle(QString::fromStdString(setup_.profile.title));
    if (setup_.open_mixer) speaker_mixer_.open();

    bars_[0] = skinPicture(skin::kTopBar);
    bars_[1] = skinPicture(skin::kLeftBar);
    bars_[2] = skinPicture(skin::kRightBar);
    bars_[3] = skinPicture(skin::kBottomBar);
    wall_background_ = skinPicture(skin::kWallBackground);
    position_bar_ = skinPicture(skin::kPositionBar);
    logo_ = loadClientPicture(QStringLiteral("LogoCD.bmp"));
    skin_logo_ = skinPicture(skin::kLogo);

    wall_.initialise(media::kWallChannels);
    // The decoders deliver what the draw path asks for: planar pictures for
    // the OpenGL surface, RGB otherwise.
    wall_.pictures().setYuvAvailable(VideoWallWidget::openGlUsable());
    wall_.view().place(kWallRect, 1, media::kWallBackgroundColour);
    wall_widget_ = new VideoWallWidget(wall_, this);
    wall_widget_->setGeometry(toQRect(kWallRect));
    applyDrawMode();
    wall_widget_->setCaptionFont(kCaptionFontSize, kCaptionFontWeight, QString::fromLatin1(kCaptionFontFace));
    wall_widget_->setLogoPicture(loadClientPicture(QStringLiteral("ComMark.bmp")));
    wall_widget_->setVideoLossPicture(loadClientPicture(QStringLiteral("VdoLoss.bmp")));
    wall_widget_->setContextSource([this] { return paintContext(); });
    connect(wall_widget_, &VideoWallWidget::viewChanged, this, [this] { controller_->wallViewChanged(); });
    connect(wall_widget_, &VideoWallWidget::leaveFullScreenRequested, this, [this] { controller_->leaveFullScreen(); });
    connect(wall_widget_, &VideoWallWidget::pointerMoved, this, [this](QPoint at) {
        if (!bar_) return;
        const QRect area = FullScreenBar::placement(QRect(QPoint(0, 0), wall_widget_->size()));
        if (area.contains(at)) bar_->showForAWhile();
    });

    app::ControllerDeps deps{.wall = wall_, .view = *this, .mixer = mixer_};
    deps.make_session = [this](const app::ConnectRequest& request) { return makeSession(request); };
    deps.make_capture = [] { return media::makeSdlSoundIn(); };
    deps.log = &log_;
    deps.strings = [](std::uint16_t id) { return text(id); };
    deps.version = setup_.version;
    deps.storage = setup_.storage;
    deps.playback = setup_.playback;
    deps.archive_folder = [this] { return localArchiveFolder(); };
    if (media::sdlSoundOutputPresent()) deps.make_sound_output = [] { return media::makeSdlSoundOutput(); };
    deps.local_audio_buf = [this] { return settings_.audioBuffer(app::AudioBufferSlot::LocalPlayback); };
    deps.watermark_check = [this] { return settings_.watermark; };
    // The pauses of the shutdown steps and of a frozen wall are short; the
    // window keeps them on its own thread, as the controller expects.
    deps.pause = [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); };
    deps.still_options = [this] { return stillSaveOptions(); };
    controller_ = std::make_unique<app::ClientController>(std::move(deps));

    createControls();
    save_job_timer_.setInterval(app::kSaveJobPoll);
    connect(&save_job_timer_, &QTimer::timeout, this, [this] { controller_->saveJobTick(); });
    playback_timer_.setInterval(kTimeDisplayRedraw);
    connect(&playback_timer_, &QTimer::timeout, this, [this] {
        controller_->playbackTick();
        followLocalSlider();
        update(kStatusStripRect);
    });
    std::vector<media::WallRect> monitors;
    for (const QScreen* screen : QGuiApplication::screens()) monitors.push_back(toWallRect(screen->geometry()));
    controller_->setMonitors(monitors);
}

MainWindow::~MainWindow() {
    // The session's decoders write into the wall and mark it; the
    // controller's shutdown closes it first, then the widget lets go of the
    // wall, then the wall goes.
    controller_->shutdown();
    delete bar_.data();
    delete wall_widget_;
    wall_widget_ = nullptr;
    controller_.reset();
}

// The recorder's reboot and database initialisation, from the remote
// setup button's context menu, each after the operator confirmed it.
void MainWindow::addRecorderCommands(QWidget* button) {
    button->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(button, &QWidget::customContextMenuRequested, this, [this, button](const QPoint& at) {
        QMenu menu(this);
        QAction* reboot = menu.addAction(tr("Reboot recorder..."));
        reboot->setEnabled(controller_->mayReboot());
        menu.addAction(tr("Initialise recorder database..."));
        QAction* chosen = menu.exec(button->mapToGlobal(at));
        if (chosen == nullptr) return;
        const bool is_reboot = chosen == reboot;
        const QString question = is_reboot ? tr("Reboot the recorder now? The connection will end.")
                                           : tr("Initialise the recorder's database? Its settings go back to "
                                                "their first state.");
        if (QMessageBox::question(this, windowTitle(), question) != QMessageBox::Yes) return;
        if (is_reboot)
            controller_->rebootRecorder();
        else
            controller_->initialiseDatabase();
    });
}

void MainWindow::createControls() {
    for (const Placement& p : placements()) {
        auto* b = new SkinButton(static_cast<int>(p.control), p.face, QString::fromLatin1(p.caption), this);
        b->setGeometry(p.rect);
        b->setTooltipId(app::mainTooltipId(static_cast<int>(p.control)));
        connect(b, &SkinButton::clicked, this, [this, control = p.control] { controller_->press(control); });
        buttons_[static_cast<int>(p.control)] = b;
    }
    buttons_[static_cast<int>(ControlId::Sound)]->setShownPressedFace(skin::kSoundMuted);
    addRecorderCommands(buttons_[static_cast<int>(ControlId::RSetup)]);

    auto* position = new SkinSlider(static_cast<int>(ControlId::PositionSlider), 0, skin::kPositionThumb, this);
    position->setGeometry(kPositionBarRect);
    position->setRange(0, 100);
    position->setValue(50);
    position->setTooltipId(app::mainTooltipId(static_cast<int>(ControlId::PositionSlider)));
    auto* volume = new SkinSlider(static_cast<int>(ControlId::VolumeSlider), skin::kVolumeTrack, skin::kVolumeThumb, this);
    volume->setGeometry(726, kBottomButtonsTop + 7, 120, 14);
    volume->setRange(0, static_cast<int>(media::kMixerFullScale));
    volume->setValue(static_cast<int>(app::kInitialVolume));
    volume->setTooltipId(app::mainTooltipId(static_cast<int>(ControlId::VolumeSlider)));
    for (SkinSlider* s : {position, volume}) {
        sliders_[s->control()] = s;
        connect(s, &SkinSlider::sliderMessage, this, [this](SliderMessage message, int control, int at) {
            // Grabbing the position slider and seeking belong to the local
            // player; the volume follows every move and the release.
            // The local player seeks once, where the slider is let go.
            const bool on_position_bar = control == static_cast<int>(ControlId::PositionSlider);
            if (message == SliderMessage::Grabbed || (on_position_bar && message != SliderMessage::Released)) return;
            controller_->sliderMoved(static_cast<ControlId>(control), static_cast<std::uint32_t>(at));
        });
    }
    buttonsChanged();
}

SkinButton* MainWindow::button(ControlId control) const {
    const auto it = buttons_.find(static_cast<int>(control));
    return it != buttons_.end() ? it->second : nullptr;
}

FullScreenBar* MainWindow::fullScreenBar() const { return bar_.data(); }

SkinSlider* MainWindow::slider(ControlId control) const {
    const auto it = sliders_.find(static_cast<int>(control));
    return it != sliders_.end() ? it->second : nullptr;
}

void MainWindow::start() {
    protocol::trace("[start] skin %s, storage %s, CD mode %d\n", resourceBundleLoaded() ? "loaded" : "missing",
                    settings_.location.c_str(), setup_.storage == app::StorageMode::ReadOnlyMedium);
    // The firmware files' folder, made at start-up except on a read-only
    // medium.
    if (setup_.storage == app::StorageMode::Writable) {
        std::error_code ec;
        std::filesystem::create_directories(app::upgradeFolder(settings_), ec);
    }
    screen_keeper_ = std::make_unique<ScreenKeeper>();
    // Centred on the screen it opened on.
    if (const QScreen* screen = this->screen(); screen != nullptr)
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    // Start-up posts itself a note that it is done (CD mode opens the local
    // search on it); it arrives after the connect dialog's turn.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (controller_) controller_->handle(session::WindowPost{.message = session::WindowMessage::StartUpDone});
        },
        Qt::QueuedConnection);
    controller_->start();
}

void MainWindow::quit() { controller_->press(ControlId::Quit); }

// ---------------------------------------------------------------- session

std::unique_ptr<session::DvrSession> MainWindow::makeSession(const app::ConnectRequest& request) {
    session::SessionOptions options;
    options.address = request.address;
    options.port = request.port;
    options.user = request.user;
    options.password = request.password;
    options.description = request.description;
    options.live_video.wall = &wall_;
    options.live_video.line_doubling = [deinterlace = settings_.deinterlace](int channel) {
        return channel >= 0 && channel < static_cast<int>(deinterlace.size()) &&
               deinterlace[static_cast<std::size_t>(channel)] == 0;
    };
    options.live_audio.audio_buf = settings_.audioBuffer(app::AudioBufferSlot::Live);
    const int char_width = wall_.painter().captionCharWidth();
    options.live_video.text_width = [char_width](std::string_view s) { return static_cast<int>(s.size()) * char_width; };
    if (media::sdlSoundOutputPresent()) options.live_audio.make_output = [] { return media::makeSdlSoundOutput(); };
    options.live_audio.channels = controller_->audioChannelOwner();
    // Each session posts through a sink of its own: news still queued from
    // a session closed before (its connection failure, its last notice)
    // must not act on the next one. No session uses the old sink any more
    // when a new one is made.
    const std::uint64_t generation = ++session_generation_;
    sink_ = std::make_unique<QtEventSink>(this, [this, generation](const session::Event& event) {
        if (generation == session_generation_) onEvent(event);
    });
    auto session = std::make_unique<session::DvrSession>(std::move(options), *sink_, &log_);
    session->connect();
    return session;
}

void MainWindow::onEvent(const session::Event& event) {
    if (ended_) return;
    if (firmware_) static_cast<FirmwareDialog*>(firmware_.data())->onEvent(event);
    controller_->handle(event);
    // The log and information answers belong to the remote search's pages.
    if (std::holds_alternative<session::LogAnswer>(event) || std::holds_alternative<session::StatusAnswer>(event)) {
        if (RemoteSearchDialog* search = remoteSearchDialog()) search->handle(event);
    }
    onDownloadEvent(event);
    if (std::holds_alternative<session::LiveChannels>(event)) wall_widget_->update();
    // The demo's operator switches the sound on as soon as the pictures come.
    if (std::holds_alternative<session::LoginAccepted>(event) && setup_.auto_connect)
        controller_->press(ControlId::Audio);
}

// The connect dialog; its OK stores the address and port in the settings,
// records the recorder in the history and resolves the host name. The demo
// fills the same dialog and presses OK, so it leaves what a user leaves.
void MainWindow::openConnectDialog() {
    history_.load();
    ConnectDialog dialog(*store_, history_, this);
    dialog.setOpacityByte(settings_.alpha(app::OpacitySlot::ConnectDialog));
    dialog.setDateFormat(settings_.date_format);
    if (setup_.auto_connect) {
        dialog.fill(*setup_.auto_connect);
        dialog.accept();
    } else if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (dialog.request()) controller_->connectTo(*dialog.request());
}

// The local setup on a copy of the settings; OK applies it. The draw mode
// can change only while the wall shows nothing.
void MainWindow::openLocalSetup() {
    const auto row = wall_.displayMode() == media::DisplayMode::None ? app::DrawModeRow::Enabled
                                                                     : app::DrawModeRow::Disabled;
    LocalSetupDialog dialog(settings_, setup_.storage, row, this);
    if (dialog.exec() == QDialog::Accepted && dialog.outcome()) applyLocalSetup(dialog.edited());
}

media::PaintContext MainWindow::paintContext() const {
    media::PaintContext context;
    const session::DvrSession* session = controller_ ? controller_->session() : nullptr;
    if (!session) return context;
    context.session = session->liveOn() ? media::SessionView::Live : media::SessionView::Other;
    context.video_loss = static_cast<std::uint16_t>(session->videoLossMask() & 0xFFFF);
    // Every channel shows its video-loss text.
    context.video_loss_text = 0xFFFF;
    context.sound_output = session->soundOutput();
    return context;
}

// ---------------------------------------------------------------- ClientView

void MainWindow::buttonsChanged() {
    for (auto& [id, b] : buttons_) {
        const app::ButtonState state = controller_->buttonState(static_cast<ControlId>(id));
        b->setEnabled(state.enabled);
        b->setShownPressed(state.pressed);
    }
    for (auto& [id, s] : sliders_) s->setEnabled(controller_->buttonState(static_cast<ControlId>(id)).enabled);
    if (jump_bar_) jump_bar_->refresh();
    // The position slider belongs on the position bar, shown only while a
    // recording plays.
    sliders_[static_cast<int>(ControlId::PositionSlider)]->setVisible(positionBarShown());
}

void MainWindow::repaintWall() { wall_widget_->update(); }

void MainWindow::showNotice(const app::NoticeBox& box) {
    // While the modal search dialog is up, the box belongs to it so that it
    // can be answered.
    QWidget* owner = remote_search_ ? remote_search_.data() : this;
    auto* dialog = new NoticeDialog(box, owner);
    dialog->setOpacityByte(settings_.alpha(app::OpacitySlot::NoticeBox));
    // No answer leads to an action here (the remote-search question, kind
    // 4, and the firmware question, 0x0B, included); every answer frees the
    // box for the next notice.
    // A box that goes with its owner (the search dialog closing under it)
    // is never answered; it frees the place for the next notice all the
    // same.
    auto answered = std::make_shared<bool>(false);
    const bool firmware_question = box.notice.is(session::NoticeKind::Firmware) && box.notice.detail == 0;
    connect(dialog, &NoticeDialog::answered, this, [this, answered, firmware_question](NoticeDialog::Answer answer) {
        *answered = true;
        if (controller_) controller_->noticeClosed();
        if (firmware_question && answer == NoticeDialog::Answer::Accepted) openFirmwareDialog();
    });
    connect(dialog, &QObject::destroyed, this, [this, answered] {
        if (!*answered && controller_) controller_->noticeClosed();
    });
    notice_ = dialog;
    dialog->show();
}

void MainWindow::showMessageBox(const std::string& message) {
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), QString::fromStdString(message), QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void MainWindow::minimise() { showMinimized(); }

// Where local search and playback read archives: "Download" below the
// storage location; from a CD, below the current directory.
std::filesystem::path MainWindow::localArchiveFolder() const {
    if (setup_.storage == app::StorageMode::ReadOnlyMedium) return std::filesystem::current_path() / "Download";
    return archive::downloadFolder(settings_.location);
}

void MainWindow::startSaveJobTimer() { save_job_timer_.start(); }
void MainWindow::stopSaveJobTimer() { save_job_timer_.stop(); }

bool MainWindow::openBrowser(const std::string& url) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

void MainWindow::endDialog() {
    if (ended_) return;
    ended_ = true;
    close();
}

media::WallRect MainWindow::windowRect() const { return toWallRect(frameGeometry()); }

void MainWindow::wallFullScreenChanged() {
    if (wall_.view().fullScreen())
        enterFullScreen();
    else
        leaveFullScreen();
}

// ---------------------------------------------------------------- settings

// The drawing path follows the draw mode (the RGB path when asked for on
// the command line). Running decoders see the new path at their next
// picture run and deliver in the new format; meanwhile the widget draws
// what the buffers hold.
void MainWindow::applyDrawMode() {
    const bool rgb = setup_.draw_path == DrawPathChoice::Rgb || settings_.draw_mode == app::DrawMode::Rgb;
    wall_.pictures().setDrawPath(rgb ? media::DrawPath::Rgb : media::DrawPath::Yuv);
    wall_widget_->setYuvSurface(wall_.pictures().drawPath() == media::DrawPath::Yuv);
    protocol::trace("[wall] draw path: %s\n", wall_widget_->yuvSurface() ? "YUV (OpenGL)" : "RGB");
    wall_widget_->update();
}

void MainWindow::applyLocalSetup(const app::LocalSettings& edited) {
    const std::string location_before = settings_.location;
    const app::LocalSetupOutcome outcome = app::acceptLocalSetup(settings_, edited, setup_.storage);
    if (settings_.location != location_before) {
        // The log and the history follow the storage folder from the next
        // file operation on.
        log_.setLocation(settings_.location);
        history_ = app::ConnectHistory(settings_.location);
    }
    if (outcome.rebuild_wall) {
        // A new wall: 16 empty panes on the new drawing path.
        wall_.resetView();
        wall_.clearPictures();
        applyDrawMode();
        controller_->wallViewChanged();
    }
    app::finishLocalSetup(outcome, settings_, *store_, &log_);
}

// ---------------------------------------------------------------- full screen

void MainWindow::enterFullScreen() {
    if (wall_widget_->isWindow()) return;
    const QRect monitor = toQRect(wall_.view().placement());
    wall_widget_->hide();
    wall_widget_->setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
    wall_widget_->setGeometry(monitor);
    wall_widget_->setMouseTracking(true);
    for (QWidget* child : wall_widget_->findChildren<QWidget*>()) child->setMouseTracking(true);
    wall_widget_->show();
    wall_widget_->raise();
    wall_widget_->activateWindow();
    wall_widget_->setFocus();
    auto* bar = new FullScreenBar(monitor, wall_widget_);
    bar->setAttribute(Qt::WA_DeleteOnClose);
    connect(bar, &FullScreenBar::splitChosen, this, [this](int i) { controller_->press(app::splitButton(i)); });
    connect(bar, &FullScreenBar::leaveChosen, this, [this] { controller_->leaveFullScreen(); });
    bar_ = bar;
}

void MainWindow::leaveFullScreen() {
    if (!wall_widget_->isWindow()) return;
    delete bar_.data();
    wall_widget_->hide();
    wall_widget_->setParent(this, Qt::Widget);
    wall_widget_->setMouseTracking(false);
    wall_widget_->setGeometry(toQRect(kWallRect));
    wall_widget_->show();
    show();
    activateWindow();
}

QPixmap MainWindow::fullScreenShot() {
    if (!wall_widget_->isWindow()) return {};
    QScreen* screen = wall_widget_->screen();
    if (screen != nullptr) {
        const QPixmap shown = screen->grabWindow(0, wall_widget_->x(), wall_widget_->y(), wall_widget_->width(),
                                                 wall_widget_->height());
        if (!shown.isNull()) return shown;
    }
    return wall_widget_->grab();
}

// ---------------------------------------------------------------- painting

bool MainWindow::positionBarShown() const {
    // The position bar belongs to remote and local playback.
    return wall_.displayMode() == media::DisplayMode::RemotePlayback ||
           wall_.displayMode() == media::DisplayMode::LocalPlayback;
}

// The local player's stretch and position, unless the operator holds the
// slider.
void MainWindow::followLocalSlider() {
    const auto local = controller_->localStatus();
    SkinSlider* slider = sliders_[static_cast<int>(ControlId::PositionSlider)];
    if (!local || slider->grabbed()) return;
    const int range = static_cast<int>(std::min<std::uint32_t>(local->slider_range, 0x7FFFFFFF));
    if (slider->maximum() != range) slider->setRange(0, range);
    slider->setValue(static_cast<int>(std::min<std::uint32_t>(local->slider_position, static_cast<std::uint32_t>(range))));
}

void MainWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect regions[] = {kTopBar, kLeftBar, kRightBar, kBottomBar};
    for (int i = 0; i < 4; ++i) {
        if (!regions[i].intersects(event->rect())) continue;
        if (!bars_[i].isNull())
            painter.drawImage(regions[i].topLeft(), bars_[i]);
        else
            painter.fillRect(regions[i], QColor(kPlainBar));
    }
    const QRect wall = toQRect(kWallRect);
    if (!wall_background_.isNull() && wall.intersects(event->rect())) painter.drawImage(wall, wall_background_);
    if (!logo_.isNull()) {
        painter.drawImage(kLogoRect.topLeft(), logo_);
    } else if (!skin_logo_.isNull()) {
        // No operator logo: the program's own, right-aligned in its place.
        painter.drawImage(QPoint(kLogoRect.right() - skin_logo_.width() - 30,
                                 kLogoRect.top() + (kLogoRect.height() - skin_logo_.height()) / 2 - 4),
                          skin_logo_);
    }
    if (positionBarShown() && !position_bar_.isNull()) painter.drawImage(kPositionBarRect.topLeft(), position_bar_);
    if (const QString status = statusStripText(); !status.isEmpty() && kStatusStripRect.intersects(event->rect())) {
        QFont font = painter.font();
        font.setPixelSize(11);
        painter.setFont(font);
        painter.setPen(QColor(0xD7, 0xD7, 0x00));
        painter.drawText(kStatusStripRect, Qt::AlignLeft | Qt::AlignVCenter, status);
    }
}

// The whole client area drags the window.
void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) drag_from_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    if (drag_from_ && (event->buttons() & Qt::LeftButton)) move(event->globalPosition().toPoint() - *drag_from_);
}

void MainWindow::mouseReleaseEvent(QMouseEvent*) { drag_from_.reset(); }

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing the window by the desktop's means is Quit.
    ended_ = true;
    if (bar_) delete bar_.data();
    if (wall_widget_->isWindow()) controller_->leaveFullScreen();
    event->accept();
    QCoreApplication::quit();
}

QPixmap MainWindow::screenshot() {
    if (wall_widget_->yuvSurface() && windowHandle() != nullptr && windowHandle()->screen() != nullptr) {
        const QPixmap shown = windowHandle()->screen()->grabWindow(winId());
        if (!shown.isNull() && shown.size() == size()) return shown;
    }
    return grab();
}

}  // namespace kalix::ui

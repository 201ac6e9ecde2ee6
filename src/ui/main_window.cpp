#include "ui/main_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QInputDialog>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <variant>

#include "media/sdl_sound_output.h"
#include "protocol/trace.h"
#include "ui/video_wall_widget.h"

namespace kalix::ui {

namespace {

// The caption font the main window gives the wall.
constexpr int kCaptionFontSize = 9;
constexpr int kCaptionFontWeight = 400;
const char* const kCaptionFontFace = "Arial";

// Plain bars around the wall. The skin pictures of the resource bundle
// replace them when the skinned main window lands.
constexpr QRgb kBarColour = qRgb(0x20, 0x24, 0x2a);
constexpr QRgb kFrameColour = qRgb(0x10, 0x12, 0x15);

// A picture file of the client's: the working folder first, then the
// installed data folder. A missing file gives a null image, and the panes
// that would show it are left unpainted.
QImage loadClientPicture(const QString& name) {
    const QString candidates[] = {
        QDir::current().filePath(name),
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../share/kalix/") + name),
    };
    for (const QString& path : candidates)
        if (QFileInfo::exists(path)) return QImage(path);
    return {};
}

}  // namespace

MainWindow::MainWindow(DrawPathChoice draw_path, QWidget* parent)
    : QWidget(parent),
      audio_channel_([this](int channel) { return wall_.isChannelVisible(channel); }),
      sink_(this, [this](const session::Event& event) { onEvent(event); }) {
    setFixedSize(kMainWindowWidth, kMainWindowHeight);
    setWindowTitle(QStringLiteral("Kalix"));

    wall_.initialise(media::kWallChannels);
    // The decoders deliver what the draw path asks for: planar pictures for
    // the OpenGL surface, RGB otherwise.
    wall_.setYuvAvailable(VideoWallWidget::openGlUsable());
    wall_.setDrawPath(draw_path == DrawPathChoice::Rgb ? media::DrawPath::Rgb : media::DrawPath::Yuv);
    wall_.place(kWallRect, 1, media::kWallBackgroundColour);

    wall_widget_ = new VideoWallWidget(wall_, this);
    wall_widget_->setGeometry(kWallRect.left, kWallRect.top, kWallRect.width(), kWallRect.height());
    wall_widget_->setYuvSurface(wall_.drawPath() == media::DrawPath::Yuv);
    protocol::trace("[wall] draw path: %s\n", wall_widget_->yuvSurface() ? "YUV (OpenGL)" : "RGB");
    wall_widget_->setCaptionFont(kCaptionFontSize, kCaptionFontWeight, QString::fromLatin1(kCaptionFontFace));
    wall_widget_->setLogoPicture(loadClientPicture(QStringLiteral("ComMark.bmp")));
    wall_widget_->setVideoLossPicture(loadClientPicture(QStringLiteral("VdoLoss.bmp")));
    wall_widget_->setContextSource([this] { return paintContext(); });
    connect(wall_widget_, &VideoWallWidget::viewChanged, this, [this] {
        if (session_ && session_->liveOn()) session_->liveRequest(wall_.visibleChannels());
    });

    // A plain connect action until the connect dialog replaces it.
    connect_button_ = new QPushButton(QStringLiteral("Connect"), this);
    connect_button_->setGeometry(12, 16, 96, 32);
    connect(connect_button_, &QPushButton::clicked, this, [this] {
        if (session_)
            disconnectSession();
        else
            askAndConnect();
    });
    status_ = new QLabel(this);
    status_->setGeometry(kWallRect.left, kWallRect.bottom + 12, kWallRect.width(), 24);
    status_->setStyleSheet(QStringLiteral("color: #c8c8c8;"));
    setStatus(QStringLiteral("Not connected"));
}

MainWindow::~MainWindow() {
    // The session's decoders write into the wall and mark it; they stop
    // first, then the widget lets go of the wall, then the wall goes.
    disconnectSession();
    delete wall_widget_;
    wall_widget_ = nullptr;
}

media::PaintContext MainWindow::paintContext() const {
    media::PaintContext context;
    if (!session_) return context;
    context.session = session_->liveOn() ? media::SessionView::Live : media::SessionView::Other;
    context.video_loss = static_cast<std::uint16_t>(session_->videoLossMask() & 0xFFFF);
    // Per-channel video-loss texts are a setting of the local settings
    // work; every channel shows its text until then.
    context.video_loss_text = 0xFFFF;
    context.sound_output = session_->soundOutput();
    return context;
}

void MainWindow::connectTo(const ConnectTarget& target) {
    disconnectSession();
    session::SessionOptions options;
    options.address = target.address;
    options.port = target.port;
    options.user = target.user;
    options.password = target.password;
    options.live_video.wall = &wall_;
    const int char_width = wall_.captionCharWidth();
    options.live_video.text_width = [char_width](std::string_view text) {
        return static_cast<int>(text.size()) * char_width;
    };
    options.live_audio.make_output = [] { return media::makeSdlSoundOutput(); };
    options.live_audio.channels = &audio_channel_;
    session_ = std::make_unique<session::DvrSession>(std::move(options), sink_);
    setStatus(QStringLiteral("Connecting to %1:%2").arg(QString::fromStdString(target.address)).arg(target.port));
    connect_button_->setText(QStringLiteral("Disconnect"));
    session_->connect();
}

void MainWindow::disconnectSession() {
    if (!session_) return;
    session_->close();
    session_.reset();
    wall_.resetView();
    wall_.clearPictures();
    connect_button_->setText(QStringLiteral("Connect"));
    setStatus(QStringLiteral("Not connected"));
    wall_widget_->update();
}

void MainWindow::askAndConnect() {
    // Plain questions until the connect dialog (address book, history,
    // settings) takes over this action.
    bool ok = false;
    const QString host = QInputDialog::getText(this, QStringLiteral("Connect"), QStringLiteral("Recorder address[:port]"),
                                               QLineEdit::Normal, QStringLiteral("127.0.0.1"), &ok);
    if (!ok || host.isEmpty()) return;
    const QString user = QInputDialog::getText(this, QStringLiteral("Connect"), QStringLiteral("User"),
                                               QLineEdit::Normal, QStringLiteral("admin"), &ok);
    if (!ok) return;
    const QString password = QInputDialog::getText(this, QStringLiteral("Connect"), QStringLiteral("Password"),
                                                   QLineEdit::Password, QString(), &ok);
    if (!ok) return;
    ConnectTarget target;
    const auto colon = host.lastIndexOf(QLatin1Char(':'));
    target.address = (colon > 0 ? host.left(colon) : host).toStdString();
    if (colon > 0) {
        const uint port = host.mid(colon + 1).toUInt(&ok);
        if (!ok || port == 0 || port > 65535) {
            setStatus(QStringLiteral("Bad port in %1").arg(host));
            return;
        }
        target.port = static_cast<std::uint16_t>(port);
    }
    target.user = user.toStdString();
    target.password = password.toStdString();
    connectTo(target);
}

void MainWindow::onEvent(const session::Event& event) {
    if (!session_) return;  // news from a session already closed
    if (const auto* login = std::get_if<session::LoginAccepted>(&event)) {
        setStatus(QStringLiteral("Live: %1 channels").arg(login->identity.channel_num));
        if (session_->soundOutput()) session_->audioOnOff(true);
    } else if (const auto* failed = std::get_if<session::ConnectFailed>(&event)) {
        setStatus(QStringLiteral("Connection failed (error %1)").arg(failed->error));
        if (failed->session_closed) disconnectSession();
    } else if (const auto* notice = std::get_if<session::Notice>(&event)) {
        // Notice boxes come with the notices work; the status line carries
        // them until then.
        if (notice->kind == 2) {
            disconnectSession();
            setStatus(QStringLiteral("Disconnected by the recorder"));
        } else {
            setStatus(QStringLiteral("Notice %1/%2").arg(notice->kind).arg(notice->detail));
        }
    } else if (const auto* box = std::get_if<session::MessageBoxRequest>(&event)) {
        setStatus(QString::fromStdString(box->text));
    } else if (std::holds_alternative<session::LiveChannels>(event)) {
        wall_widget_->update();
    }
}

QPixmap MainWindow::screenshot() {
    if (wall_widget_->yuvSurface() && windowHandle() != nullptr && windowHandle()->screen() != nullptr) {
        const QPixmap shown = windowHandle()->screen()->grabWindow(winId());
        if (!shown.isNull() && shown.size() == size()) return shown;
    }
    return grab();
}

void MainWindow::setStatus(const QString& text) { status_->setText(text); }

void MainWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), QColor(kFrameColour));
    painter.fillRect(QRect(0, 0, width(), kWallRect.top - 3), QColor(kBarColour));
    painter.fillRect(QRect(0, kWallRect.bottom + 3, width(), height() - kWallRect.bottom - 3), QColor(kBarColour));
    painter.setPen(QColor(0xc8, 0xc8, 0xc8));
    painter.drawText(QRect(120, 16, 400, 32), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Kalix"));
}

}  // namespace kalix::ui

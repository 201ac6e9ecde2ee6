#pragma once
// The main window: a fixed 928 × 712 frame around the video wall, the
// connect action, and the live session with its decoders feeding the wall.

#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>

#include "app/audio_channel_choice.h"
#include "media/video_wall.h"
#include "session/dvr_session.h"
#include "ui/qt_event_sink.h"

namespace kalix::ui {

class VideoWallWidget;

inline constexpr int kMainWindowWidth = 928;
inline constexpr int kMainWindowHeight = 712;
inline constexpr media::WallRect kWallRect{54, 67, 874, 661};

struct ConnectTarget {
    std::string address;
    std::uint16_t port = session::kDefaultPort;
    std::string user;
    std::string password;
};

// How the wall draws pictures: the YUV path (OpenGL) where it works, or
// always the RGB path.
enum class DrawPathChoice { YuvWhereAvailable, Rgb };

class MainWindow final : public QWidget {
    Q_OBJECT

public:
    explicit MainWindow(DrawPathChoice draw_path = DrawPathChoice::YuvWhereAvailable, QWidget* parent = nullptr);
    ~MainWindow() override;  // closes the session before the wall goes

    // Opens a session to the recorder with live view on the wall.
    void connectTo(const ConnectTarget& target);
    // Closes the session, if any. Safe to call repeatedly.
    void disconnectSession();

    // The window as shown. QWidget::grab() re-renders an OpenGL child
    // through its framebuffer grab, which loses what the painters draw over
    // the pictures; with the OpenGL surface up the screen's copy is taken.
    QPixmap screenshot();

    media::VideoWall& wall() { return wall_; }
    VideoWallWidget* wallWidget() const { return wall_widget_; }
    bool connected() const { return session_ != nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void onEvent(const session::Event& event);
    void askAndConnect();
    void setStatus(const QString& text);
    media::PaintContext paintContext() const;

    // -- UI thread; declared in destruction order's reverse --
    media::VideoWall wall_;
    app::AudioChannelChoice audio_channel_;
    QtEventSink sink_;
    std::unique_ptr<session::DvrSession> session_;
    VideoWallWidget* wall_widget_ = nullptr;
    QPushButton* connect_button_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace kalix::ui

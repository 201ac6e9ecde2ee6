#include "ui/screen_keeper.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>

#include "protocol/trace.h"

namespace kalix::ui {
namespace {

const char* const kService = "org.freedesktop.ScreenSaver";
const char* const kPath = "/org/freedesktop/ScreenSaver";

bool serviceAvailable() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) return false;
    return bus.interface()->isServiceRegistered(QString::fromLatin1(kService)).value();
}

}  // namespace

ScreenKeeper::ScreenKeeper() {
    if (!serviceAvailable()) {
        protocol::trace("[start] no screen saver service on the session bus\n");
        return;
    }
    QDBusInterface saver(QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kService),
                         QDBusConnection::sessionBus());
    const QDBusReply<std::uint32_t> reply =
        saver.call(QStringLiteral("Inhibit"), QStringLiteral("kalix"), QStringLiteral("Watching cameras"));
    if (reply.isValid()) cookie_ = reply.value();
}

ScreenKeeper::~ScreenKeeper() {
    if (!cookie_) return;
    QDBusInterface saver(QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kService),
                         QDBusConnection::sessionBus());
    saver.call(QStringLiteral("UnInhibit"), *cookie_);
}

}  // namespace kalix::ui

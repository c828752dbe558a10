#include "desktop/session_bus.h"

#include <sys/stat.h>

#include <QString>

namespace {

// A systemd user session keeps its bus here even where no variable names it.
QString userBusSocket() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.isEmpty()) return {};
    const QByteArray path = runtime + "/bus";
    struct stat info;
    if (stat(path.constData(), &info) != 0 || !S_ISSOCK(info.st_mode)) return {};
    return QString::fromLocal8Bit(path);
}

std::optional<QDBusConnection> connected(const QDBusConnection& bus) {
    if (!bus.isConnected()) return std::nullopt;
    return bus;
}

}  // namespace

std::optional<QDBusConnection> connectSessionBus() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return connected(QDBusConnection::sessionBus());
    const QString socket = userBusSocket();
    if (socket.isEmpty()) return std::nullopt;
    return connected(QDBusConnection::connectToBus("unix:path=" + socket, "tunelark-session"));
}

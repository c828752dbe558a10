// The desktop session's message bus, when there is one.
#pragma once

#include <QDBusConnection>

#include <optional>

// The connected session bus, or nullopt when the session has none. Never
// starts a bus of its own (as libdbus's autolaunch would) and prints nothing.
std::optional<QDBusConnection> connectSessionBus();

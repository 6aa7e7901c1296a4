#pragma once
// Which Qt platform plugin the application runs on. Under Wayland a client
// cannot keep its own window above the others, so the floating subtitle window
// would sink behind the lecture slides; when the user has not chosen a
// platform (QT_QPA_PLATFORM unset) and X11 is reachable (XWayland's DISPLAY),
// the application runs through XWayland instead.
#include <QByteArray>
#include <optional>

namespace vox::ui {

struct SessionEnvironment {
    QByteArray qtQpaPlatform;  // QT_QPA_PLATFORM
    QByteArray xdgSessionType; // XDG_SESSION_TYPE
    QByteArray waylandDisplay; // WAYLAND_DISPLAY
    QByteArray display;        // DISPLAY
};

SessionEnvironment currentSessionEnvironment();
// The platform to force, or none to leave Qt's own choice.
std::optional<QByteArray> preferredPlatform(const SessionEnvironment &env);
// Call before the QGuiApplication is built: sets QT_QPA_PLATFORM when needed.
// Returns the platform it set, empty when it left the choice alone.
QByteArray applyPreferredPlatform();

} // namespace vox::ui

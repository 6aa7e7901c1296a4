#include "PlatformChoice.h"

#include <QtGlobal>

namespace vox::ui {

SessionEnvironment currentSessionEnvironment()
{
    return SessionEnvironment{qgetenv("QT_QPA_PLATFORM"), qgetenv("XDG_SESSION_TYPE"), qgetenv("WAYLAND_DISPLAY"),
                              qgetenv("DISPLAY")};
}

std::optional<QByteArray> preferredPlatform(const SessionEnvironment &env)
{
    if (!env.qtQpaPlatform.trimmed().isEmpty())
        return std::nullopt; // the user's choice stands
    const bool wayland = env.xdgSessionType.trimmed().toLower() == "wayland" || !env.waylandDisplay.isEmpty();
    if (!wayland || env.display.isEmpty())
        return std::nullopt;
    return QByteArray("xcb");
}

QByteArray applyPreferredPlatform()
{
    // File choosers are the desktop's own, through the XDG desktop portal
    // (the portal theme falls back to Qt's chooser when no portal answers),
    // unless the user chose a platform theme.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORMTHEME"))
        qputenv("QT_QPA_PLATFORMTHEME", "xdgdesktopportal");
    const auto p = preferredPlatform(currentSessionEnvironment());
    if (!p)
        return {};
    qputenv("QT_QPA_PLATFORM", *p);
    return *p;
}

} // namespace vox::ui

// The Voxleaf application: a thin shell over the libraries.
#include "platform/Diag.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QUrl>
#include <cstdio>

int main(int argc, char **argv)
{
    const bool hasDisplay = !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                            || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    if (!hasDisplay) {
        std::fprintf(stderr, "voxleaf: 没有可用的图形显示（DISPLAY / WAYLAND_DISPLAY 均未设置）。\n"
                             "voxleaf: no graphical display found. On a machine without a display use the headless tool:\n"
                             "    voxleaf-cli --help\n");
        return 2;
    }
    vox::resetDiagLog();
    QQuickWindow::setDefaultAlphaBuffer(true);
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("Voxleaf"));
    QGuiApplication::setApplicationName(QStringLiteral("Voxleaf"));
    QQmlApplicationEngine engine;
    engine.load(QUrl(QStringLiteral("qrc:/qt/qml/Voxleaf/qml/Main.qml")));
    if (engine.rootObjects().isEmpty())
        return 1;
    return app.exec();
}

// The Voxleaf application: a thin shell over the libraries.
#include "AppModels.h"
#include "platform/Diag.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxPlatform.h"
#include "ui/PlatformChoice.h"
#include "ui/SingleInstance.h"
#include "ui/TerminationSignals.h"
#include "ui/VoxleafApp.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QQuickWindow>
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
    vox::ui::applyPreferredPlatform();
    // Translucent windows (the floating subtitles) need an alpha channel from
    // the first window on.
    QQuickWindow::setDefaultAlphaBuffer(true);
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("Voxleaf"));
    QGuiApplication::setApplicationName(QStringLiteral("Voxleaf"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("实时语音翻译"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.voxleaf.Voxleaf"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/voxleaf/voxleaf.png")));
    // Qt's own texts (file choosers, standard buttons, key names) in Chinese,
    // as the rest of the interface.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qt"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);

    // One instance per user: a second launch shows the first one's window
    // (before it could touch the diagnostics log or the course archive).
    vox::SingleInstance instance;
    if (instance.claim() == vox::SingleInstance::Role::Second)
        return 0;

    vox::setPlatform(vox::makeLinuxPlatform());
    // Resets the diagnostics log, recovers interrupted courses, builds the
    // models and opens the window.
    vox::VoxleafApp voxleaf(vox::platform(), vox::createAppModels(vox::platform()));
    if (!voxleaf.isLoaded())
        return 1;
    if (!instance.error().isEmpty())
        vox::diag(QStringLiteral("单实例：") + instance.error());
    QObject::connect(&instance, &vox::SingleInstance::activationRequested, &voxleaf, &vox::VoxleafApp::raiseMainWindow);
    QObject::connect(&voxleaf, &vox::VoxleafApp::quitRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    vox::TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &vox::TerminationSignals::received, &voxleaf, &vox::VoxleafApp::terminationSignal);
    return app.exec();
}

#include "VoxleafApp.h"

#include "course/CourseArchive.h"
#include "platform/Diag.h"
#include "platform/Platform.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSessionManager>

namespace vox {

VoxleafApp::VoxleafApp(Platform &platform, AppModels models, QObject *parent) : QObject(parent)
{
    resetDiagLog();
    // Before any course of this run exists.
    std::vector<CourseSession> recovered = CourseArchive::recoverInterrupted();
    m_controller = std::make_unique<AppController>(std::move(models), platform.desktop.get());
    m_controller->setRecoveredCourses(std::move(recovered));
    m_qml = std::make_unique<QQmlApplicationEngine>();
    m_controller->exposeTo(m_qml.get());
    m_controller->floatingSubtitle()->setQmlEngine(m_qml.get());
    m_qml->load(QUrl(QStringLiteral("qrc:/qt/qml/Voxleaf/qml/Main.qml")));

    QuitController *quit = m_controller->quitController();
    quit->watchMainWindow(mainWindow());
    connect(quit, &QuitController::quitRequested, this, [this] {
        terminate();
        Q_EMIT quitRequested();
    });
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        // The main window's close is the way out, not the last window's.
        QGuiApplication::setQuitOnLastWindowClosed(false);
        connect(app, &QGuiApplication::aboutToQuit, this, &VoxleafApp::terminate);
        // Logout: the session manager asks for the data first.
        connect(
            app, &QGuiApplication::commitDataRequest, this, [quit](QSessionManager &) { quit->sessionCommitRequested(); },
            Qt::DirectConnection);
    }
}

VoxleafApp::~VoxleafApp()
{
    // Windows and bindings go before the objects they read.
    m_controller->floatingSubtitle()->releaseWindow();
    m_qml.reset();
    m_controller.reset();
}

bool VoxleafApp::isLoaded() const
{
    return !m_qml->rootObjects().isEmpty();
}

QQuickWindow *VoxleafApp::mainWindow() const
{
    return m_qml->rootObjects().isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(m_qml->rootObjects().first());
}

void VoxleafApp::terminate()
{
    m_controller->terminate();
}

void VoxleafApp::raiseMainWindow()
{
    QQuickWindow *w = mainWindow();
    if (!w)
        return;
    w->setWindowStates(w->windowStates() & ~Qt::WindowMinimized);
    w->show();
    w->raise();
    w->requestActivate();
}

void VoxleafApp::terminationSignal(int signalNumber)
{
    QuitController *quit = m_controller->quitController();
    const QString reason = QStringLiteral("终止信号 %1").arg(signalNumber);
    if (quit->isQuitting())
        quit->finishNowAndQuit(reason);
    else
        quit->endAndQuit(reason);
}

} // namespace vox

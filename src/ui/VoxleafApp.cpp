#include "VoxleafApp.h"

#include "course/CourseArchive.h"
#include "platform/Diag.h"
#include "platform/Platform.h"
#include "platform/Process.h"

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

    preloadAfterFirstFrame(platform.recognizer);

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

void VoxleafApp::preloadAfterFirstFrame(std::shared_ptr<SpeechRecognizer> recognizer)
{
    QQuickWindow *window = mainWindow();
    if (!window)
        return;
    // The recognizer's model loads once the window is on screen, so the two
    // do not compete for the disk and the cores, and is ready by the time
    // "开始" is pressed. The frame may come from the render thread.
    auto seen = std::make_shared<bool>(false);
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(
        window, &QQuickWindow::frameSwapped, this,
        [seen, connection, recognizer = std::move(recognizer)] {
            if (*seen)
                return;
            *seen = true;
            disconnect(*connection);
            diag(QStringLiteral("主窗口首帧（进程启动后 %1 s）").arg(Process::secondsSinceStart(), 0, 'f', 2));
            if (recognizer)
                recognizer->preload();
        },
        Qt::QueuedConnection);
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

#include "QuitController.h"

#include "engine/SpeechEngine.h"
#include "platform/Diag.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWindow>

namespace vox {

QuitController::QuitController(SpeechEngine *engine, QObject *parent) : QObject(parent), m_engine(engine)
{
    if (engine)
        connect(engine, &SpeechEngine::courseEnded, this, &QuitController::onCourseEnded);
}

QuitController::~QuitController()
{
    if (auto *app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

void QuitController::watchMainWindow(QWindow *window)
{
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window;
    if (window)
        window->installEventFilter(this);
    // A Quit event (the session manager's "die", say) goes through here first.
    if (auto *app = QCoreApplication::instance()) {
        app->removeEventFilter(this);
        app->installEventFilter(this);
    }
}

bool QuitController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Close && watched == m_window) {
        if (mainWindowClosing())
            return false;
        event->ignore();
        return true;
    }
    if (event->type() == QEvent::Quit && watched == QCoreApplication::instance() && !m_quit) {
        if (m_quitting)
            finishNowAndQuit(QStringLiteral("保存中系统要求退出"));
        else
            endAndQuit(QStringLiteral("系统要求退出"));
        if (m_quit)
            return false;
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

bool QuitController::courseActive() const
{
    return m_engine && m_engine->isCourseActive();
}

bool QuitController::courseEnding() const
{
    return m_engine && m_engine->isEndingCourse();
}

void QuitController::setAsking(bool on)
{
    if (on == m_asking)
        return;
    m_asking = on;
    Q_EMIT isAskingToEndCourseChanged();
}

bool QuitController::mainWindowClosing()
{
    if (m_quit)
        return true;
    if (m_quitting) {
        // Asked again while the course is being saved: no more waiting.
        finishNowAndQuit(QStringLiteral("保存中再次关闭主窗口"));
        return true;
    }
    if (courseActive()) {
        diag(QStringLiteral("退出：课程进行中，询问是否结束并保存"));
        setAsking(true);
        return false;
    }
    startQuitting(QStringLiteral("主窗口关闭"));
    return m_quit;
}

void QuitController::endCourseAndQuit()
{
    setAsking(false);
    if (m_quitting)
        return;
    startQuitting(QStringLiteral("结束并保存本节课"));
}

void QuitController::cancelQuit()
{
    if (m_asking)
        diag(QStringLiteral("退出已取消，课程继续"));
    setAsking(false);
}

void QuitController::endAndQuit(const QString &reason)
{
    setAsking(false);
    if (!m_quitting)
        startQuitting(reason);
}

void QuitController::sessionCommitRequested()
{
    if (courseActive() || courseEnding())
        endAndQuit(QStringLiteral("会话结束"));
}

void QuitController::finishNowAndQuit(const QString &reason)
{
    setAsking(false);
    if (m_quit)
        return;
    diag(QStringLiteral("退出：%1，立即结束课程").arg(reason));
    finishCourseNow();
    quitNow();
}

void QuitController::startQuitting(const QString &reason)
{
    m_quitting = true;
    Q_EMIT isQuittingChanged();
    diag(QStringLiteral("退出：") + reason);
    m_waitingForCourse = true;
    if (courseActive())
        Q_EMIT endCourseRequested(); // may finish (and emit courseEnded) at once
    if (m_quit)
        return;
    if (courseEnding()) {
        diag(QStringLiteral("退出：等待本节课保存完成"));
        return;
    }
    quitNow();
}

void QuitController::finishCourseNow()
{
    if (m_engine)
        m_engine->endCourseNow();
}

void QuitController::onCourseEnded()
{
    if (m_waitingForCourse && m_quitting)
        quitNow();
}

void QuitController::quitNow()
{
    if (m_quit)
        return;
    m_waitingForCourse = false;
    m_quit = true;
    if (!m_quitting) {
        m_quitting = true;
        Q_EMIT isQuittingChanged();
    }
    Q_EMIT quitRequested();
}

} // namespace vox

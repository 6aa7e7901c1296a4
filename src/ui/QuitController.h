#pragma once
// Leaving the application without losing the running course. Every way out
// comes here: the main window closing, a Quit event (the session manager's
// "die", a quit from elsewhere), session logout and the termination signals.
//
// - The main window closing while a course runs asks first
//   (isAskingToEndCourse); "结束并保存" ends the course, and the application
//   quits once the engine reports the course's file finished (courseEnded).
//   While it waits the window stays up and shows the saving.
// - Logout, SIGTERM and SIGINT end and save without asking.
// - A further request while the course is being saved finishes it at once
//   (what has not landed keeps the placeholder) and quits.
// - Without a course the application quits at once, whatever other window
//   (the floating subtitles) is still open.
//
// quitRequested is emitted once, when the application is to end now; the
// owner stops the engine and ends the event loop.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>

class QWindow;

namespace vox {

class SpeechEngine;

class QuitController : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("App.quitController")
    // The question "结束并保存本节课？" is shown.
    Q_PROPERTY(bool isAskingToEndCourse READ isAskingToEndCourse NOTIFY isAskingToEndCourseChanged)
    // The application has decided to quit (it may still be saving the course).
    Q_PROPERTY(bool isQuitting READ isQuitting NOTIFY isQuittingChanged)

public:
    explicit QuitController(SpeechEngine *engine, QObject *parent = nullptr);
    ~QuitController() override;

    bool isAskingToEndCourse() const { return m_asking; }
    bool isQuitting() const { return m_quitting; }
    // quitRequested has been emitted.
    bool hasQuit() const { return m_quit; }

    // Watches the main window's close and the application's Quit event.
    void watchMainWindow(QWindow *window);

    // The main window is asked to close; true when it may.
    bool mainWindowClosing();
    // "结束并保存".
    Q_INVOKABLE void endCourseAndQuit();
    // "取消": the question goes, the course runs on.
    Q_INVOKABLE void cancelQuit();
    // Logout or a termination signal: end and save without asking, then
    // quit. Nothing more when the application is already quitting.
    Q_INVOKABLE void endAndQuit(const QString &reason);
    // The session manager asks for the data (logout): a running course is
    // ended and saved, then the application quits. Without a course nothing
    // happens here (a checkpoint is no reason to leave; the session's end
    // arrives as a Quit event).
    void sessionCommitRequested();
    // No more waiting: the course is finished at once (what has not landed
    // keeps the placeholder) and the application quits.
    Q_INVOKABLE void finishNowAndQuit(const QString &reason);

Q_SIGNALS:
    void isAskingToEndCourseChanged();
    void isQuittingChanged();
    // Ends the course the polite way (recognition stopped, last sentences
    // waited for); the owner connects its own course ending here.
    void endCourseRequested();
    // The application is to end now.
    void quitRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private Q_SLOTS:
    void onCourseEnded();

private:
    bool courseActive() const;
    bool courseEnding() const;
    void setAsking(bool on);
    void startQuitting(const QString &reason);
    void finishCourseNow();
    void quitNow();

    QPointer<SpeechEngine> m_engine;
    QPointer<QWindow> m_window;
    bool m_asking = false;
    bool m_quitting = false;
    bool m_waitingForCourse = false;
    bool m_quit = false;
};

} // namespace vox

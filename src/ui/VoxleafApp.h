#pragma once
// Application entry: resets the diagnostics log, finishes the courses a
// process that is gone left in progress, takes the main window's models (the
// application's real ones are built next to main()) and loads the main window
// (permission gate, main view) from the "Voxleaf" QML module; the
// recognizer's model loads after the window's first frame. The main window
// closing ends the application (after the running course is saved, see
// QuitController), whatever other window is open; termination saves the
// floating window's frame and stops the engine.
#include "AppController.h"

#include <QObject>
#include <memory>

class QQmlApplicationEngine;
class QQuickWindow;

namespace vox {

struct Platform;
class SpeechRecognizer;

class VoxleafApp : public QObject {
    Q_OBJECT
public:
    // Loads the main window at once, over the models the caller built.
    VoxleafApp(Platform &platform, AppModels models, QObject *parent = nullptr);
    ~VoxleafApp() override;

    bool isLoaded() const;
    AppController *controller() const { return m_controller.get(); }
    QQmlApplicationEngine *qmlEngine() const { return m_qml.get(); }
    QQuickWindow *mainWindow() const;

    // What the application does when the platform announces its end.
    void terminate();
    // Another launch asked for the window: shown, raised and activated.
    void raiseMainWindow();
    // SIGTERM / SIGINT: the course is ended and saved without asking, then
    // the application quits; a repeated signal while saving finishes at once.
    void terminationSignal(int signalNumber);

Q_SIGNALS:
    // The application is to end now (terminate() has run): the owner ends
    // the event loop.
    void quitRequested();

private:
    void preloadAfterFirstFrame(std::shared_ptr<SpeechRecognizer> recognizer);

    std::unique_ptr<AppController> m_controller;
    std::unique_ptr<QQmlApplicationEngine> m_qml;
};

} // namespace vox

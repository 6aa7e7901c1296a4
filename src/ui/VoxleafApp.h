#pragma once
// Application entry: resets the diagnostics log, builds the main window's
// models and loads the main window (permission gate, main view) from the
// "Voxleaf" QML module. Termination saves the floating window's frame and
// stops the engine.
#include "AppController.h"

#include <QObject>
#include <memory>

class QQmlApplicationEngine;
class QQuickWindow;

namespace vox {

struct Platform;

// Registers the C++ view types under "VoxleafNative 1.0" (once per process).
void registerQmlTypes();

class VoxleafApp : public QObject {
    Q_OBJECT
public:
    // Loads the main window at once. `models` defaults to the real ones.
    explicit VoxleafApp(Platform &platform, QObject *parent = nullptr);
    VoxleafApp(Platform &platform, AppModels models, QObject *parent = nullptr);
    ~VoxleafApp() override;

    bool isLoaded() const;
    AppController *controller() const { return m_controller.get(); }
    QQmlApplicationEngine *qmlEngine() const { return m_qml.get(); }
    QQuickWindow *mainWindow() const;

    // What the application does when the platform announces its end.
    void terminate();

private:
    std::unique_ptr<AppController> m_controller;
    std::unique_ptr<QQmlApplicationEngine> m_qml;
};

} // namespace vox

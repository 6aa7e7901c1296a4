#pragma once
// The main window loaded offscreen with the fake platform and stand-in
// models, plus helpers to find, click and grab items.
#include "FakeModels.h"
#include "platform/Platform.h"
#include "platform/fake/FakeDesktopServices.h"
#include "support/TestEnv.h"
#include "ui/VoxleafApp.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <memory>

namespace vox::test {

class UiHarness {
public:
    // Builds the models and loads the window (after the caller stored any
    // settings it wants the first start to see).
    explicit UiHarness(bool granted = true, QSize size = QSize(560, 440));
    ~UiHarness();

    QQuickWindow *window() const { return m_app->mainWindow(); }
    AppController *app() const { return m_app->controller(); }
    VoxleafApp *voxleaf() const { return m_app.get(); }

    // Item of that objectName anywhere under the window (first found).
    QQuickItem *item(const QString &objectName) const;
    QList<QQuickItem *> items(const QString &objectName) const;
    // Visible from the root: the item and all its ancestors are visible.
    bool shown(const QString &objectName) const;
    QString text(const QString &objectName) const;
    void click(QQuickItem *item);
    void click(const QString &objectName) { click(item(objectName)); }
    void settle(int ms = 30);
    QImage grab();
    bool savePng(const QString &name);

    void setDevices(std::initializer_list<std::pair<QString, QString>> devices, const QString &selected);

    FakeEngine *engine;
    FakeDeviceManager *devices;
    FakePermissionManager *permissions;
    std::shared_ptr<fake::FakeDesktopServices> desktop;
    QTemporaryDir dirs;

private:
    Platform m_platform;
    std::unique_ptr<VoxleafApp> m_app;
};

// A TranslationEntry whose timestamp is `secondsIntoDay` after local midnight of a fixed day.
TranslationEntry makeEntry(int n, const QString &source = {}, const QString &target = {});

} // namespace vox::test

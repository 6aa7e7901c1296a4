#pragma once
// Views loaded offscreen for the tests: UiHarness is the main window over a
// fake platform and the stand-in models; WindowHarness loads one secondary
// view (settings, history, course review; the floating subtitle window goes
// through its controller) with a small `app` object in the root context: the
// theme, a stand-in engine and a real glossary over the temporary store.
#include "FakeModels.h"
#include "glossary/GlossaryManager.h"
#include "platform/Platform.h"
#include "platform/fake/FakeDesktopServices.h"
#include "platform/fake/FakePlatform.h"
#include "support/TestEnv.h"
#include "ui/UITheme.h"
#include "ui/VoxleafApp.h"

#include <QQmlEngine>
#include <QQmlPropertyMap>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <memory>

namespace vox::test {

inline const char *const kThemes[] = {"cyberpunk", "swiss", "oled", "glass"};

// Lets the event loop run for `ms` milliseconds.
void settle(int ms = 30);
// Scrolls the item into view in every enclosing Flickable, clicks its centre and settles.
void click(QQuickItem *item);
// Saves the window to <build>/ui-screenshots/<name>.png once the fades are over.
bool savePng(QQuickWindow *window, const QString &name);
// A TranslationEntry `n` seconds after 09:00 local time on a fixed day.
TranslationEntry makeEntry(int n, const QString &source = {}, const QString &target = {});

// Finding items by objectName and typing into them.
class Harness {
public:
    virtual ~Harness() = default;

    // Every item of that name under `root` (by default the whole window).
    QList<QQuickItem *> findAll(const QString &name, QQuickItem *root = nullptr) const;
    // The first visible one of them, else the first.
    QQuickItem *find(const QString &name, QQuickItem *root = nullptr) const;
    // The item and all its ancestors are visible.
    bool shown(const QString &name) const;
    QString text(const QString &name) const;
    void click(QQuickItem *item) { test::click(item); }
    void click(const QString &name) { test::click(find(name)); }
    // Focuses the field and types `text` (any characters) into it.
    void typeInto(const QString &name, const QString &text);
    // Selects everything in the field and deletes it.
    void clearField(const QString &name);
    void settle(int ms = 30) const { test::settle(ms); }

protected:
    virtual QList<QObject *> roots() const = 0;
};

class UiHarness : public Harness {
public:
    // Builds the models and loads the window (after the caller stored any
    // settings it wants the first start to see).
    explicit UiHarness(bool granted = true, QSize size = QSize(560, 440));
    // The same over another engine object (a real SpeechEngine, say);
    // `engine` below is then null.
    explicit UiHarness(std::unique_ptr<QObject> engineObject, QSize size = QSize(560, 440));

    QQuickWindow *window() const { return m_app->mainWindow(); }
    AppController *app() const { return m_app->controller(); }
    VoxleafApp *voxleaf() const { return m_app.get(); }
    void setDevices(std::initializer_list<std::pair<QString, QString>> devices, const QString &selected);

    FakeEngine *engine = nullptr;
    FakeDeviceManager *devices;
    FakePermissionManager *permissions;
    std::shared_ptr<fake::FakeDesktopServices> desktop;
    QTemporaryDir dirs; // Desktop, data and Pictures

protected:
    QList<QObject *> roots() const override;

private:
    void build(bool granted, QSize size, std::unique_ptr<QObject> engineObject);

    Platform m_platform;
    std::unique_ptr<VoxleafApp> m_app;
};

class WindowHarness : public Harness {
public:
    WindowHarness();
    ~WindowHarness() override;

    // Loads a view file of the module into a new window of the given size
    // (closing the one loaded before); null with `lastError` on failure.
    QQuickItem *load(const QString &file, QSize size, const QVariantMap &initial = {});
    void close();

    ScopedSettings store;
    fake::FakePlatform fakePlatform;
    FakeEngine engine;
    std::unique_ptr<GlossaryManager> glossary;
    std::unique_ptr<ThemeModel> theme;
    QQmlPropertyMap app; // engine, glossary, theme
    QQmlEngine qml;
    QQuickWindow *window = nullptr;
    QQuickItem *view = nullptr;
    QString lastError;

protected:
    QList<QObject *> roots() const override;
};

} // namespace vox::test

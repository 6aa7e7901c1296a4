#pragma once
// Views loaded offscreen over the real models on the fake platform: UiHarness
// is the main window; WindowHarness loads one secondary view in an engine
// whose App is a controller over the same models.
#include "engine/AudioDeviceManager.h"
#include "engine/PermissionManager.h"
#include "engine/RecognizerModel.h"
#include "engine/SpeechEngine.h"
#include "glossary/GlossaryManager.h"
#include "platform/Platform.h"
#include "platform/Time.h"
#include "platform/fake/FakeDesktopServices.h"
#include "platform/fake/FakePlatform.h"
#include "platform/fake/InstantTranslationSession.h"
#include "support/TestEnv.h"
#include "ui/UITheme.h"
#include "ui/VoxleafApp.h"

#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <memory>

namespace vox::test {

inline const char *const kThemes[] = {"cyberpunk", "swiss", "oled", "glass"};

void settle(int ms = 30);
// Scrolls the item into view in every enclosing Flickable, clicks its centre and settles.
void click(QQuickItem *item);
// Saves the window to <build>/ui-screenshots/<name>.png once the fades are over.
bool savePng(QQuickWindow *window, const QString &name);
// Gives the running course these live key points: a local chat-completions
// server answers the engine's summary request (the key is stored meanwhile).
bool summarize(SpeechEngine *engine, Settings &settings, const QStringList &points);
// A TranslationEntry `n` seconds after 09:00 local time on a fixed day.
TranslationEntry makeEntry(int n, const QString &source = {}, const QString &target = {});
// That moment (09:00:00 + n s on the fixed day).
Date entryDate(int n);

// Finding items by objectName and typing into them.
class Harness {
public:
    virtual ~Harness() = default;

    // Every item of that name under `root` (by default the whole window).
    QList<QQuickItem *> findAll(const QString &name, QQuickItem *root = nullptr) const;
    // The first visible one of them, else the first.
    QQuickItem *find(const QString &name, QQuickItem *root = nullptr) const;
    bool shown(const QString &name) const;
    QString text(const QString &name) const;
    void click(QQuickItem *item) { test::click(item); }
    void click(const QString &name) { test::click(find(name)); }
    // Focuses the field and types `text` (any characters) into it.
    void typeInto(const QString &name, const QString &text);
    void clearField(const QString &name);
    void settle(int ms = 30) const { test::settle(ms); }
    // The texts of `field` in every visible item named `row`, top to bottom.
    QStringList rowTexts(const QString &row, const QString &field) const;
    // The review sheet's window, when one is shown.
    static QQuickWindow *visibleSheet();
    // Lands each entry in the engine as a recognized sentence of its source
    // (translated to its target, at its audio time; at its timestamp when the
    // test runs on virtual time) and lets the event loop deliver it.
    void land(const std::vector<TranslationEntry> &entries);

    std::shared_ptr<fake::InstantTranslationSession> translation = std::make_shared<fake::InstantTranslationSession>();
    SpeechEngine *engine = nullptr; // translating through `translation`
    GlossaryManager *glossary = nullptr;

protected:
    virtual QList<QObject *> roots() const = 0;
};

class UiHarness : public Harness {
public:
    // Builds the real models over its own fake platform (installed as the
    // process-wide one) and loads the window, after the caller stored any
    // settings it wants the first start to see. Without `granted` neither
    // permission is determined yet. The engine translates through
    // `translation`.
    explicit UiHarness(bool granted = true, QSize size = QSize(560, 440));
    // The same over the caller's fake platform and engine.
    UiHarness(fake::FakePlatform &fakes, std::unique_ptr<SpeechEngine> engine, QSize size = QSize(560, 440));

    QQuickWindow *window() const { return m_app->mainWindow(); }
    AppController *app() const { return m_app->controller(); }
    VoxleafApp *voxleaf() const { return m_app.get(); }
    // Replaces the platform's microphones (each one a hardware input too),
    // refreshes the list and selects `selected`.
    void setDevices(std::initializer_list<std::pair<QString, QString>> devices, const QString &selected);

    std::unique_ptr<fake::FakePlatform> ownFakes; // when none was handed in
    fake::FakePlatform *fakes;
    AudioDeviceManager *devices;
    PermissionManager *permissions;
    QTemporaryDir dirs; // Desktop, data and Pictures of the window's desktop services
    std::shared_ptr<fake::FakeDesktopServices> desktop;

protected:
    QList<QObject *> roots() const override;

private:
    void build(QSize size, std::unique_ptr<SpeechEngine> engine);

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
    std::unique_ptr<AppController> controller; // the views' App
    std::unique_ptr<ThemeModel> theme;
    QQmlEngine qml;
    QQuickWindow *window = nullptr;
    QQuickItem *view = nullptr;
    QString lastError;

protected:
    QList<QObject *> roots() const override;
};

} // namespace vox::test

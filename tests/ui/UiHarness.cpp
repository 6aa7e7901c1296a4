#include "UiHarness.h"

#include "platform/fake/FakeSentenceDecoder.h"
#include "engine/LiveSummary.h"
#include "platform/Settings.h"
#include "support/HttpTestServer.h"
#include "translation/ChatCompletions.h"
#include "translation/TranslationPipeline.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QTest>
#include <algorithm>

namespace vox::test {

namespace {

// Items reached through the item tree and through the object tree (popups
// and their contents are object children only).
void collect(QObject *root, const QString &name, QList<QQuickItem *> &out)
{
    QObjectList children = root->children();
    if (auto *it = qobject_cast<QQuickItem *>(root))
        for (QQuickItem *c : it->childItems())
            if (!children.contains(c))
                children.append(c);
    for (QObject *c : children) {
        if (auto *it = qobject_cast<QQuickItem *>(c); it && c->objectName() == name && !out.contains(it))
            out.append(it);
        collect(c, name, out);
    }
}

void scrollIntoView(QQuickItem *item)
{
    for (QQuickItem *p = item->parentItem(); p; p = p->parentItem()) {
        auto *content = p->inherits("QQuickFlickable") ? p->property("contentItem").value<QQuickItem *>() : nullptr;
        if (!content)
            continue;
        const QPointF pos = item->mapToItem(content, QPointF(0, 0));
        const double top = p->property("contentY").toDouble();
        if (pos.y() >= top && pos.y() + item->height() <= top + p->height())
            continue; // already in view
        const double maxY = std::max(0.0, p->property("contentHeight").toDouble() - p->height());
        p->setProperty("contentY", std::clamp(pos.y() - 20, 0.0, maxY));
    }
}

void focusField(QQuickItem *field)
{
    field->window()->requestActivate();
    field->forceActiveFocus();
}

// The window's models over the fake platform; the engine translates through
// `translation` unless it already has a session.
AppModels fakeModels(fake::FakePlatform &fakes, std::unique_ptr<SpeechEngine> engine,
                     std::shared_ptr<TranslationSession> translation)
{
    AppModels models;
    if (!engine->translationSession())
        engine->setTranslationSession(std::move(translation));
    models.engine = std::move(engine);
    models.deviceManager = std::make_unique<AudioDeviceManager>(fakes.platform());
    models.permissions = std::make_unique<PermissionManager>(fakes.platform());
    models.glossary = std::make_unique<GlossaryManager>();
    // Whisper models load through the scriptable fake loader.
    Platform withDecoders = fakes.platform();
    withDecoders.sentenceDecoders = std::make_shared<fake::FakeSentenceDecoderLoader>();
    models.recognizer = std::make_unique<RecognizerModel>(*models.engine, withDecoders);
    return models;
}

} // namespace

void settle(int ms)
{
    QCoreApplication::processEvents();
    QTest::qWait(ms);
}

void click(QQuickItem *item)
{
    if (!item)
        return;
    scrollIntoView(item);
    settle();
    const QPointF c = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(item->window(), Qt::LeftButton, Qt::NoModifier, c.toPoint());
    settle();
}

bool summarize(SpeechEngine *engine, Settings &settings, const QStringList &points)
{
    HttpTestServer server;
    ChatCompletions::setBaseUrlForTesting(server.url());
    settings.setValue(Keys::DeepSeekApiKey, "sk-test");
    const QJsonObject answer{{"points", QJsonArray::fromStringList(points)}};
    server.enqueue("POST", "/chat/completions",
                   HttpTestReply::chatContent(QString::fromUtf8(QJsonDocument(answer).toJson(QJsonDocument::Compact))));
    engine->liveSummary().generateSummary();
    const bool answered = waitFor([&] { return engine->summaryPoints() == points; });
    ChatCompletions::setBaseUrlForTesting(std::nullopt);
    settings.remove(Keys::DeepSeekApiKey);
    settle();
    return answered;
}

bool savePng(QQuickWindow *window, const QString &name)
{
    const QString dir = qEnvironmentVariable("VOX_BUILD_DIR", QDir::tempPath()) + QStringLiteral("/ui-screenshots");
    QDir().mkpath(dir);
    settle(400); // let the 0.3 s fades finish
    return window->grabWindow().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

Date entryDate(int n)
{
    return Date::fromQDateTime(QDateTime(QDate(2026, 3, 2), QTime(9, 0, 0)).addSecs(n));
}

TranslationEntry makeEntry(int n, const QString &source, const QString &target)
{
    return TranslationEntry(entryDate(n), source.isEmpty() ? QStringLiteral("Sentence number %1.").arg(n) : source,
                            target.isEmpty() ? QStringLiteral("第 %1 句。").arg(n) : target, n);
}

void Harness::land(const std::vector<TranslationEntry> &entries)
{
    auto *time = dynamic_cast<VirtualTime *>(&timeSource());
    for (const TranslationEntry &e : entries) {
        translation->targets.insert(e.source, e.target);
        if (time)
            time->setNow(e.timestamp);
        engine->pipeline().submitChunks({{e.source, e.audioTime}}, QStringLiteral("测试"));
        if (time)
            time->advance(0);
        else
            QCoreApplication::processEvents();
    }
    settle();
}

QList<QQuickItem *> Harness::findAll(const QString &name, QQuickItem *root) const
{
    QList<QQuickItem *> out;
    for (QObject *r : root ? QList<QObject *>{root} : roots())
        collect(r, name, out);
    return out;
}

QQuickItem *Harness::find(const QString &name, QQuickItem *root) const
{
    const auto all = findAll(name, root);
    for (QQuickItem *i : all)
        if (i->isVisible())
            return i;
    return all.isEmpty() ? nullptr : all.first();
}

bool Harness::shown(const QString &name) const
{
    QQuickItem *i = find(name);
    return i && i->isVisible(); // the effective visibility, ancestors included
}

QString Harness::text(const QString &name) const
{
    QQuickItem *i = find(name);
    return i ? i->property("text").toString() : QString();
}

QStringList Harness::rowTexts(const QString &row, const QString &field) const
{
    // Top to bottom on screen (a list builds its rows in no such order).
    QList<QQuickItem *> rows;
    for (QQuickItem *r : findAll(row))
        if (r->isVisible())
            rows << r;
    std::stable_sort(rows.begin(), rows.end(), [](QQuickItem *a, QQuickItem *b) {
        return a->mapToScene(QPointF()).y() < b->mapToScene(QPointF()).y();
    });
    QStringList out;
    for (QQuickItem *r : rows)
        out << find(field, r)->property("text").toString();
    return out;
}

QQuickWindow *Harness::visibleSheet()
{
    for (QWindow *w : QGuiApplication::topLevelWindows())
        if (w->objectName() == QLatin1String("sheetWindow") && w->isVisible())
            return qobject_cast<QQuickWindow *>(w);
    return nullptr;
}

void Harness::typeInto(const QString &name, const QString &text)
{
    QQuickItem *field = find(name);
    focusField(field);
    for (QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QCoreApplication::sendEvent(field->window(), &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QCoreApplication::sendEvent(field->window(), &release);
    }
    settle();
}

void Harness::clearField(const QString &name)
{
    QQuickItem *field = find(name);
    focusField(field);
    QTest::keyClick(field->window(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field->window(), Qt::Key_Backspace);
    settle();
}

UiHarness::UiHarness(bool granted, QSize size) : ownFakes(std::make_unique<fake::FakePlatform>()), fakes(ownFakes.get())
{
    fakes->install();
    if (!granted) {
        fakes->permissions->microphone = AuthorizationState::NotDetermined;
        fakes->permissions->speech = AuthorizationState::NotDetermined;
    }
    auto e = std::make_unique<SpeechEngine>(fakes->platform());
    // The fake capture delivers only what a test pushes.
    e->setCaptureSilenceLimit(1e9);
    build(size, std::move(e));
}

UiHarness::UiHarness(fake::FakePlatform &f, std::unique_ptr<SpeechEngine> e, QSize size) : fakes(&f)
{
    build(size, std::move(e));
}

void UiHarness::build(QSize size, std::unique_ptr<SpeechEngine> e)
{
    for (const char *sub : {"Desktop", "data", "Pictures"})
        QDir(dirs.path()).mkpath(QString::fromLatin1(sub));
    desktop = std::make_shared<fake::FakeDesktopServices>(dirs.filePath("Desktop"), dirs.filePath("data"),
                                                         dirs.filePath("Pictures"));
    m_platform = fakes->platform();
    m_platform.desktop = desktop;

    engine = e.get();
    AppModels models = fakeModels(*fakes, std::move(e), translation);
    devices = models.deviceManager.get();
    permissions = models.permissions.get();
    glossary = models.glossary.get();
    m_app = std::make_unique<VoxleafApp>(m_platform, std::move(models));
    if (QQuickWindow *w = window()) {
        w->resize(size);
        w->show();
        (void)QTest::qWaitForWindowExposed(w);
    }
    settle();
}

QList<QObject *> UiHarness::roots() const
{
    if (!window())
        return {};
    return QList<QObject *>{window()->contentItem()} + m_app->qmlEngine()->rootObjects();
}

void UiHarness::setDevices(std::initializer_list<std::pair<QString, QString>> list, const QString &selected)
{
    fakes->captureDevices->devices.clear();
    auto &hardware = fakes->hardware->devices;
    for (const auto &[id, name] : list) {
        fakes->captureDevices->devices.push_back(CaptureDevice{id, name, true, false});
        const bool known = std::any_of(hardware.begin(), hardware.end(), [&](const auto &d) { return d.uid == id; });
        if (!known)
            hardware.push_back(fake::FakeHardwareAudio::Device{AudioObjectID(60 + hardware.size()), id, name, 1});
    }
    devices->refresh();
    devices->setSelectedDeviceID(selected);
    settle();
}

WindowHarness::WindowHarness()
{
    fakePlatform.install();
    controller = std::make_unique<AppController>(
        fakeModels(fakePlatform, std::make_unique<SpeechEngine>(fakePlatform.platform()), translation),
        fakePlatform.desktop.get());
    engine = controller->engine();
    glossary = controller->glossary();
    theme = std::make_unique<ThemeModel>();
    controller->exposeTo(&qml);
}

WindowHarness::~WindowHarness()
{
    close();
}

QQuickItem *WindowHarness::load(const QString &file, QSize size, const QVariantMap &initial)
{
    close();
    window = new QQuickWindow;
    window->resize(size);
    window->setColor(theme->panelBackground());
    QQmlComponent c(&qml, QUrl(QStringLiteral("qrc:/qt/qml/Voxleaf/qml/") + file));
    QObject *o = c.createWithInitialProperties(initial);
    if (!o) {
        lastError = c.errorString();
        return nullptr;
    }
    view = qobject_cast<QQuickItem *>(o);
    view->setParentItem(window->contentItem());
    view->setSize(QSizeF(size));
    window->show();
    (void)QTest::qWaitForWindowExposed(window);
    settle();
    return view;
}

void WindowHarness::close()
{
    delete view;
    delete window;
    view = nullptr;
    window = nullptr;
}

QList<QObject *> WindowHarness::roots() const
{
    return window ? QList<QObject *>{window->contentItem()} : QList<QObject *>{};
}

} // namespace vox::test

#include "UiHarness.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QQmlApplicationEngine>
#include <QTest>

namespace vox::test {

namespace {
void collect(QObject *root, const QString &name, QList<QQuickItem *> &out)
{
    for (QObject *c : root->children()) {
        if (auto *it = qobject_cast<QQuickItem *>(c); it && c->objectName() == name && !out.contains(it))
            out.append(it);
        collect(c, name, out);
    }
    if (auto *it = qobject_cast<QQuickItem *>(root)) {
        for (QQuickItem *c : it->childItems()) {
            if (c->objectName() == name && !out.contains(c))
                out.append(c);
            collect(c, name, out);
        }
    }
}
} // namespace

UiHarness::UiHarness(bool granted, QSize size)
{
    QDir(dirs.path()).mkpath(QStringLiteral("Desktop"));
    QDir(dirs.path()).mkpath(QStringLiteral("data"));
    QDir(dirs.path()).mkpath(QStringLiteral("Pictures"));
    desktop = std::make_shared<fake::FakeDesktopServices>(dirs.filePath(QStringLiteral("Desktop")),
                                                         dirs.filePath(QStringLiteral("data")),
                                                         dirs.filePath(QStringLiteral("Pictures")));
    m_platform.desktop = desktop;

    AppModels models;
    auto e = std::make_unique<FakeEngine>();
    auto d = std::make_unique<FakeDeviceManager>();
    auto p = std::make_unique<FakePermissionManager>();
    if (!granted)
        p->set(0, 0);
    engine = e.get();
    devices = d.get();
    permissions = p.get();
    models.engine = std::move(e);
    models.deviceManager = std::move(d);
    models.permissions = std::move(p);
    m_app = std::make_unique<VoxleafApp>(m_platform, std::move(models));
    if (QQuickWindow *w = window()) {
        w->resize(size);
        w->show();
        QTest::qWaitForWindowExposed(w);
    }
    settle();
}

UiHarness::~UiHarness()
{
    m_app.reset();
}

QList<QQuickItem *> UiHarness::items(const QString &objectName) const
{
    QList<QQuickItem *> out;
    if (!window())
        return out;
    collect(window()->contentItem(), objectName, out);
    for (QObject *root : m_app->qmlEngine()->rootObjects())
        collect(root, objectName, out);
    return out;
}

QQuickItem *UiHarness::item(const QString &objectName) const
{
    const auto all = items(objectName);
    for (QQuickItem *i : all)
        if (i->isVisible())
            return i;
    return all.isEmpty() ? nullptr : all.first();
}

bool UiHarness::shown(const QString &objectName) const
{
    QQuickItem *i = item(objectName);
    if (!i)
        return false;
    for (QQuickItem *p = i; p; p = p->parentItem())
        if (!p->isVisible())
            return false;
    return true;
}

QString UiHarness::text(const QString &objectName) const
{
    QQuickItem *i = item(objectName);
    return i ? i->property("text").toString() : QString();
}

void UiHarness::click(QQuickItem *i)
{
    if (!i)
        return;
    const QPointF c = i->mapToScene(QPointF(i->width() / 2, i->height() / 2));
    QTest::mouseClick(i->window(), Qt::LeftButton, Qt::NoModifier, c.toPoint());
    settle();
}

void UiHarness::settle(int ms)
{
    QElapsedTimer t;
    t.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    } while (t.elapsed() < ms);
}

QImage UiHarness::grab()
{
    settle(400); // let the 0.3 s fades finish
    return window()->grabWindow();
}

bool UiHarness::savePng(const QString &name)
{
    const QString dir = qEnvironmentVariable("VOX_BUILD_DIR", QDir::tempPath()) + QStringLiteral("/ui-screenshots");
    QDir().mkpath(dir);
    return grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

void UiHarness::setDevices(std::initializer_list<std::pair<QString, QString>> list, const QString &selected)
{
    QVariantList d;
    for (const auto &[id, name] : list)
        d.append(QVariantMap{{QStringLiteral("id"), id}, {QStringLiteral("name"), name}});
    devices->setDevices(d);
    devices->setSelectedDeviceID(selected);
    settle();
}

TranslationEntry makeEntry(int n, const QString &source, const QString &target)
{
    const QDateTime base(QDate(2026, 3, 2), QTime(9, 0, 0));
    return TranslationEntry(Date::fromQDateTime(base.addSecs(n)),
                            source.isEmpty() ? QStringLiteral("Sentence number %1.").arg(n) : source,
                            target.isEmpty() ? QStringLiteral("第 %1 句。").arg(n) : target, n);
}

} // namespace vox::test

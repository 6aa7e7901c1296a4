#pragma once
// Loads one of the secondary windows (settings, history, course review sheet
// views; the floating subtitle window through its controller) offscreen with
// a small `app` object in the root context: the theme, a stand-in engine and
// a real glossary over the temporary settings store.
#include "FakeModels.h"
#include "glossary/GlossaryManager.h"
#include "platform/fake/FakePlatform.h"
#include "support/TestEnv.h"
#include "ui/UITheme.h"
#include "ui/VoxleafApp.h"
#include "ui/WindowQmlTypes.h"

#include <QDir>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QKeyEvent>
#include <QTest>
#include <algorithm>
#include <memory>

namespace vox::test {

class WindowApp : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject *engine MEMBER engine CONSTANT)
    Q_PROPERTY(QObject *glossary MEMBER glossary CONSTANT)
    Q_PROPERTY(vox::ThemeModel *theme MEMBER theme CONSTANT)
public:
    QObject *engine = nullptr;
    QObject *glossary = nullptr;
    ThemeModel *theme = nullptr;
};

class WindowHarness {
public:
    WindowHarness()
    {
        fakePlatform.install();
        registerQmlTypes();
        registerWindowQmlTypes();
        glossary = std::make_unique<GlossaryManager>();
        theme = std::make_unique<ThemeModel>();
        app.engine = &engine;
        app.glossary = glossary.get();
        app.theme = theme.get();
        qml.rootContext()->setContextProperty(QStringLiteral("app"), &app);
    }
    ~WindowHarness()
    {
        delete view;
        delete window;
    }

    // Loads a view file of the module into a window of the given size.
    QQuickItem *load(const QString &file, QSize size, const QVariantMap &initial = {})
    {
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

    QQuickItem *find(const QString &name, QQuickItem *root = nullptr) const
    {
        if (!root)
            root = window ? window->contentItem() : nullptr;
        if (!root)
            return nullptr;
        for (QQuickItem *c : root->childItems()) {
            if (c->objectName() == name)
                return c;
            if (QQuickItem *f = find(name, c))
                return f;
        }
        return nullptr;
    }
    // The item and all its ancestors are visible.
    bool shown(const QString &name) const
    {
        QQuickItem *i = find(name);
        return i && i->isVisible();
    }
    QString text(const QString &name) const
    {
        QQuickItem *i = find(name);
        return i ? i->property("text").toString() : QString();
    }
    // Scrolls every enclosing Flickable so that the item is in view.
    static void scrollIntoView(QQuickItem *item)
    {
        for (QQuickItem *p = item->parentItem(); p; p = p->parentItem()) {
            if (!p->inherits("QQuickFlickable"))
                continue;
            auto *content = p->property("contentItem").value<QQuickItem *>();
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
    void click(const QString &name) { click(find(name)); }
    // Focuses the text field and types `text` (any characters) into it.
    void typeInto(QQuickItem *field, const QString &text)
    {
        focusField(field);
        for (QChar ch : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QCoreApplication::sendEvent(field->window(), &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QCoreApplication::sendEvent(field->window(), &release);
        }
        settle();
    }
    void typeInto(const QString &name, const QString &text) { typeInto(find(name), text); }
    // Selects everything in the field and deletes it.
    void clearField(const QString &name)
    {
        QQuickItem *field = find(name);
        focusField(field);
        QTest::keyClick(field->window(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field->window(), Qt::Key_Backspace);
        settle();
    }
    static void focusField(QQuickItem *field)
    {
        if (!field)
            return;
        field->window()->requestActivate();
        field->forceActiveFocus();
    }
    void settle(int ms = 20)
    {
        QCoreApplication::processEvents();
        QTest::qWait(ms);
    }
    bool savePng(QQuickWindow *w, const QString &name)
    {
        const QString dir = qEnvironmentVariable("VOX_BUILD_DIR", QDir::tempPath()) + QStringLiteral("/screenshots");
        QDir().mkpath(dir);
        settle(50);
        return w->grabWindow().save(dir + QLatin1Char('/') + name);
    }

    ScopedSettings store;
    fake::FakePlatform fakePlatform;
    FakeEngine engine;
    std::unique_ptr<GlossaryManager> glossary;
    std::unique_ptr<ThemeModel> theme;
    WindowApp app;
    QQmlEngine qml;
    QQuickWindow *window = nullptr;
    QQuickItem *view = nullptr;
    QString lastError;
};

} // namespace vox::test

// Every symbol name the views use stands for an icon that draws, in the
// colour asked for; an unknown name draws a placeholder instead of nothing.
#include "ui/SymbolIcon.h"
#include "ui/UITheme.h"

#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <gtest/gtest.h>

using namespace vox;

namespace {

// The names given to `name:` and `symbol:` in the application's QML module
// compiled into the program, including both arms of a conditional.
QSet<QString> namesInQml(int *files)
{
    static const QRegularExpression assignment(QStringLiteral(R"re(\b(?:name|symbol)\s*:([^\n,;}]*(?:\n\s*[?:][^\n,;}]*)*))re"));
    static const QRegularExpression literal(QStringLiteral(R"re("([a-z][a-z0-9]*(?:\.[a-z0-9]+)*)")re"));
    QSet<QString> names;
    *files = 0;
    QDirIterator it(QStringLiteral(":/qt/qml/Voxleaf"), {QStringLiteral("*.qml")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        if (!f.open(QIODevice::ReadOnly))
            continue;
        ++*files;
        const QString text = QString::fromUtf8(f.readAll());
        for (auto m = assignment.globalMatch(text); m.hasNext();) {
            const QString expression = m.next().captured(1);
            for (auto l = literal.globalMatch(expression); l.hasNext();)
                names << l.next().captured(1);
        }
    }
    return names;
}

// How many pixels of the image `match` holds for.
int count(const QImage &image, const std::function<bool(const QColor &)> &match)
{
    const QImage img = image.convertToFormat(QImage::Format_ARGB32);
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += match(img.pixelColor(x, y));
    return n;
}

struct Coverage {
    int opaque = 0;      // pixels at least minAlpha covered
    int wrongColour = 0; // covered pixels of another colour than asked
};

Coverage coverage(const QImage &image, const QColor &colour, int minAlpha = 128)
{
    auto covered = [&](const QColor &px) { return px.alpha() >= minAlpha; };
    return {count(image, covered), count(image, [&](const QColor &px) {
                return covered(px) && (std::abs(px.red() - colour.red()) > 8 || std::abs(px.green() - colour.green()) > 8 ||
                                       std::abs(px.blue() - colour.blue()) > 8);
            })};
}

void expectDraws(const QString &name, const QColor &colour)
{
    bool found = false;
    const QImage img = renderSymbol(name, QSize(16, 16), 1.0, colour, &found);
    EXPECT_TRUE(found) << name.toStdString() << " has no icon (theme icon \"" << themeIconName(name).toStdString()
                       << "\")";
    EXPECT_EQ(img.size(), QSize(16, 16)) << name.toStdString();
    const Coverage c = coverage(img, colour);
    EXPECT_GE(c.opaque, 12) << name.toStdString() << " draws almost nothing";
    EXPECT_EQ(c.wrongColour, 0) << name.toStdString() << " is not drawn in the colour asked for";
}

} // namespace

TEST(SymbolIcon, EveryNameTheViewsAndModelsUseIsKnown)
{
    int files = 0;
    QSet<QString> names = namesInQml(&files);
    ASSERT_GT(files, 5) << "the views' QML was not found in the resources";
    ASSERT_TRUE(names.contains(QStringLiteral("mic.fill"))) << "the QML scan no longer finds the symbol names";
    names << QStringLiteral("play.fill") << QStringLiteral("pause.fill"); // course playback
    for (UITheme t : allThemes())
        names << menuSymbol(t);
    for (const QString &name : std::as_const(names))
        EXPECT_TRUE(isKnownSymbol(name)) << "the views use \"" << name.toStdString() << "\", which names no icon";
}

// Each known name draws (in the colour asked for) from a file of the fallback
// theme; an unknown one draws the placeholder.
TEST(SymbolIcon, EveryKnownNameDrawsFromTheFallbackThemeAndAnUnknownOneThePlaceholder)
{
    useIconTheme();
    QSet<QString> themeFiles;
    for (const QString &root : QIcon::themeSearchPaths()) {
        QDirIterator it(root + QLatin1Char('/') + QLatin1String(kIconFallbackTheme), QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            themeFiles << QFileInfo(it.next()).completeBaseName();
    }
    ASSERT_FALSE(themeFiles.isEmpty()) << "icon theme " << kIconFallbackTheme << " is not installed";
    for (const QString &name : knownSymbols()) {
        const QString icon = themeIconName(name);
        // Qt would quietly fall back to a shorter name ("media-playback" for a
        // misspelt "media-playback-strat"), so the exact file must exist.
        EXPECT_TRUE(icon.isEmpty() || themeFiles.contains(icon)) << name.toStdString() << ": " << icon.toStdString();
        expectDraws(name, QColor(20, 90, 230));
    }

    bool found = true;
    const QImage img = renderSymbol(QStringLiteral("no.such.symbol"), QSize(20, 20), 2.0, Qt::green, &found);
    EXPECT_FALSE(found);
    EXPECT_EQ(img.size(), QSize(40, 40));
    // The placeholder (the theme's "image missing" frame) is drawn faintly.
    EXPECT_GT(coverage(img, Qt::green, 1).opaque, 20) << "an unknown name shows nothing";
}

TEST(SymbolIcon, ItemDrawsItsSymbolInAWindowAndFollowsItsColour)
{
    const QColor red(200, 0, 0), blue(0, 0, 200);
    QQuickWindow window;
    window.setColor(Qt::white);
    window.resize(80, 40);
    SymbolIcon *icons[2];
    for (int i = 0; i < 2; ++i) {
        icons[i] = new SymbolIcon(window.contentItem());
        icons[i]->setPosition(QPointF(40 * i, 0));
        icons[i]->setSize(QSizeF(24, 24));
        icons[i]->setName(i ? QStringLiteral("no.such.symbol") : QStringLiteral("mic.fill"));
        icons[i]->setColor(i ? blue : red);
    }
    window.show();
    // Pixels of about `colour` (or, with `unlike`, of anything else) in the
    // 24 × 24 square at x.
    QImage shot;
    auto pixels = [&](int x, const QColor &colour, bool unlike = false) {
        const qreal dpr = shot.devicePixelRatio();
        return count(shot.copy(QRect(QPoint(int(x * dpr), 0), QSize(int(24 * dpr), int(24 * dpr)))), [&](const QColor &c) {
            const int distance = std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                                 std::abs(c.blue() - colour.blue());
            return unlike ? distance > 30 : distance < 90;
        });
    };
    auto grabUntil = [&](auto done) {
        (void)QTest::qWaitFor([&] { return !(shot = window.grabWindow()).isNull() && done(); }, 1000);
    };
    grabUntil([&] { return pixels(0, red) > 0; });
    EXPECT_GT(pixels(0, red), 20) << "the microphone is not drawn in its colour";
    EXPECT_GT(pixels(40, Qt::white, true), 20) << "an unknown name leaves a blank";

    icons[0]->setColor(blue);
    grabUntil([&] { return pixels(0, red) == 0; });
    EXPECT_EQ(pixels(0, red), 0) << "a new colour is not applied";
    EXPECT_GT(pixels(0, blue), 20);
}

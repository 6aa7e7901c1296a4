// The transcript area's layout while a lecture runs.
#include "UiHarness.h"

#include "platform/Settings.h"

#include <QQuickWindow>
#include <gtest/gtest.h>

using namespace vox;
using namespace vox::test;

namespace {

TranslationEntry lecture(int n)
{
    return makeEntry(n,
                     QStringLiteral("Sentence %1: the second law says that the entropy of an isolated system never decreases over time.")
                         .arg(n),
                     QStringLiteral("第 %1 句：第二定律指出，孤立系统的熵不会随时间减少。").arg(n));
}

std::vector<TranslationEntry> lectures(int from, int to)
{
    std::vector<TranslationEntry> out;
    for (int i = from; i <= to; ++i)
        out.push_back(lecture(i));
    return out;
}

// The item's rectangle in window coordinates.
QRectF inWindow(QQuickItem *item)
{
    return item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
}

// The item lies wholly inside the visible part of `viewport` and the window.
bool wholeInView(QQuickItem *item, QQuickItem *viewport)
{
    const QRectF r = inWindow(item);
    const QRectF v = inWindow(viewport).intersected(QRectF(0, 0, item->window()->width(), item->window()->height()));
    return item->isVisible() && r.height() > 0 && v.contains(r.adjusted(0.5, 0.5, -0.5, -0.5));
}

// The delegate showing the translation `target`, when one is built.
QQuickItem *rowOf(Harness &h, const QString &target)
{
    for (QQuickItem *row : h.findAll("translationRow"))
        if (row->findChild<QQuickItem *>("rowTarget")->property("text").toString() == target)
            return row;
    return nullptr;
}

} // namespace

class TranscriptLayout : public ::testing::Test {
protected:
    // A course recording, with `count` sentences landed and the next one
    // being heard.
    void lectureRunning(UiHarness &h, int count)
    {
        h.setDevices({{"mic-1", "USB 麦克风"}}, "mic-1");
        time->setNow(entryDate(0)); // the sentences' clock
        h.click("courseStartButton");
        time->advance(0.5);
        for (int i = 0; i < 4; ++i) { // sound, so the start's checks find audio
            h.fakes->audioEngines->current->pushConstant(0.05f);
            time->advance(1);
        }
        h.land(lectures(1, count));
        hear(h, "and so we come to the question of how heat flows between two bodies at different temperatures");
    }
    void hear(UiHarness &h, const QString &partial)
    {
        h.fakes->recognizer->lastTask()->deliverPartial(partial);
        time->advance(0);
        h.settle(300);
    }
    QQuickItem *list(UiHarness &h) { return h.find("translationRepeater"); }

    ScopedSettings settings;
    ScopedVirtualTime time;
};

TEST_F(TranscriptLayout, MinimumSizeShowsNewestTranslationAndNothingMovesAsSentencesLand)
{
    UiHarness h; // 560 × 440, the window's minimum
    lectureRunning(h, 6);
    ASSERT_TRUE(summarize(h.engine, *settings, {"熵的定义", "第二定律"}));
    // A long sentence being heard keeps its last words in view, in its band.
    hear(h, QStringLiteral("and so ").repeated(30) + "the last words");
    QQuickItem *english = h.find("englishFlick");
    EXPECT_GT(english->property("contentHeight").toDouble(), english->height());
    EXPECT_DOUBLE_EQ(english->property("contentY").toDouble(),
                     english->property("contentHeight").toDouble() - english->height());

    EXPECT_TRUE(wholeInView(rowOf(h, lecture(6).target)->findChild<QQuickItem *>("rowTarget"), list(h)));
    // The key points are a closed strip showing the newest point.
    EXPECT_EQ(h.text("newestKeyPoint"), "第二定律");
    EXPECT_TRUE(wholeInView(h.find("newestKeyPoint"), h.window()->contentItem()));

    // Sentences landing (the English cleared) and new partials leave the
    // list where it was, the newest sentence at its top.
    const double listTop = inWindow(list(h)).top();
    hear(h, "Next");
    h.land({lecture(7)});
    EXPECT_DOUBLE_EQ(inWindow(list(h)).top(), listTop);
    hear(h, "Then");
    EXPECT_DOUBLE_EQ(inWindow(list(h)).top(), listTop);
    EXPECT_EQ(h.rowTexts("translationRow", "rowTarget").first(), lecture(7).target);
    EXPECT_TRUE(wholeInView(rowOf(h, lecture(7).target)->findChild<QQuickItem *>("rowTarget"), list(h)));

    // Opening the strip lists every point and still leaves the newest
    // translation in sight.
    h.click("keyPointsToggle");
    EXPECT_FALSE(h.shown("newestKeyPoint"));
    EXPECT_EQ(h.findAll("keyPointText").size(), 2);
    EXPECT_TRUE(wholeInView(h.find("keyPointText"), h.find("keyPointsList")));
    EXPECT_TRUE(inWindow(rowOf(h, lecture(7).target)->findChild<QQuickItem *>("rowTarget")).intersects(inWindow(list(h))));
}

TEST_F(TranscriptLayout, FollowsTheNewestSentenceOnlyWhileScrolledToIt)
{
    UiHarness h(true, QSize(760, 640));
    lectureRunning(h, 10);
    QQuickItem *view = list(h);
    EXPECT_TRUE(wholeInView(rowOf(h, lecture(10).target), view));
    EXPECT_FALSE(h.shown("backToNewestButton"));

    // At the newest end a landing sentence comes into view at the top.
    h.land({lecture(11)});
    EXPECT_TRUE(wholeInView(rowOf(h, lecture(11).target), view));
    EXPECT_FALSE(h.shown("backToNewestButton"));

    // Scrolled back, the row being read stays put as sentences land.
    view->setProperty("contentY", view->property("originY").toDouble() + 250);
    h.settle();
    QQuickItem *reading = nullptr;
    for (int n = 10; n >= 2 && !reading; --n)
        if (QQuickItem *row = rowOf(h, lecture(n).target); row && wholeInView(row, view))
            reading = row;
    ASSERT_NE(reading, nullptr);
    const QString readingText = reading->findChild<QQuickItem *>("rowTarget")->property("text").toString();
    const double readingY = inWindow(reading).top();
    EXPECT_TRUE(h.shown("backToNewestButton"));
    h.land({lecture(12), lecture(13)});
    QQuickItem *same = rowOf(h, readingText);
    ASSERT_NE(same, nullptr);
    EXPECT_NEAR(inWindow(same).top(), readingY, 0.5);
    EXPECT_FALSE(wholeInView(rowOf(h, lecture(13).target), view));
    EXPECT_TRUE(savePng(h.window(), "main-cyberpunk-scrolled-back"));

    // "回到最新" shows the newest again, and following resumes.
    h.click("backToNewestButton");
    EXPECT_TRUE(wholeInView(rowOf(h, lecture(13).target), view));
    EXPECT_FALSE(h.shown("backToNewestButton"));
    h.land({lecture(14)});
    EXPECT_TRUE(wholeInView(rowOf(h, lecture(14).target), view));
}

TEST_F(TranscriptLayout, KeyPointsInViewAtTheDefaultSizeAndBesideWhenWide)
{
    UiHarness h(true, QSize(760, 640));
    lectureRunning(h, 8);
    ASSERT_TRUE(summarize(h.engine, *settings, {"熵是孤立系统无序程度的度量", "热量自发地从高温物体流向低温物体", "第二定律"}));
    QQuickItem *points = h.find("keyPointsList");
    ASSERT_TRUE(h.shown("keyPointsList"));
    EXPECT_EQ(h.text("keyPointsCount"), "3 条");
    for (QQuickItem *point : h.findAll("keyPointText"))
        EXPECT_TRUE(wholeInView(point, points)) << point->property("text").toString().toStdString();
    EXPECT_TRUE(wholeInView(rowOf(h, lecture(8).target)->findChild<QQuickItem *>("rowTarget"), list(h)));
    // Below the translations.
    EXPECT_GT(inWindow(h.find("keyPointsSection")).top(), inWindow(list(h)).bottom() - 1);

    // Wide: a panel beside them, as tall as the transcript.
    h.window()->resize(1000, 700);
    h.settle();
    const QRectF panel = inWindow(h.find("keyPointsSection"));
    EXPECT_GE(panel.left(), inWindow(list(h)).right());
    EXPECT_GT(panel.height(), 300);
    for (QQuickItem *point : h.findAll("keyPointText"))
        EXPECT_TRUE(wholeInView(point, h.find("keyPointsList")));

    // The user's choice to close the strip holds when the window narrows.
    h.window()->resize(760, 640);
    h.settle();
    h.click("keyPointsToggle");
    EXPECT_TRUE(h.shown("newestKeyPoint"));
    h.window()->resize(700, 700);
    h.settle();
    EXPECT_TRUE(h.shown("newestKeyPoint"));
}

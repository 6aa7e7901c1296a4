// The history sheet over the course archive, and the review sheet it opens.
#include "UiHarness.h"
#include "course/CourseArchive.h"
#include "platform/Settings.h"
#include "support/HttpTestServer.h"
#include "translation/ChatCompletions.h"
#include "ui/CoursePlaybackModel.h"
#include "ui/HistoryModel.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace vox;
using namespace vox::test;

namespace {

CourseSession course(double startUnix, double length, std::vector<std::pair<QString, QString>> pairs)
{
    const Date start = Date::fromUnix(startUnix);
    std::vector<TranslationEntry> entries;
    double t = 1;
    for (auto &[s, z] : pairs)
        entries.emplace_back(start.addSeconds(t), s, z, t), t += 3;
    return CourseSession(start, start.addSeconds(length), std::move(entries), std::nullopt);
}

struct HistoryFixture : ::testing::Test {
    WindowHarness h;
    HistoryModel *model = nullptr;

    void open()
    {
        ASSERT_NE(h.load("HistoryCoursesView.qml", QSize(700, 480)), nullptr) << h.lastError.toStdString();
        model = h.view->property("model").value<HistoryModel *>();
        ASSERT_NE(model, nullptr);
    }
    void saveThree()
    {
        CourseArchive::save(course(1'777'600'000, 3600.9, {{"The Gradient points uphill, and we follow the opposite direction", "梯度指向上坡"}}));
        CourseArchive::save(course(1'777'700'000, 600, {}));
        CourseArchive::save(
            course(1'777'800'000, 5400, {{"Matrices multiply", "矩阵相乘"}, {"An eigenvalue", "特征值"}}));
    }
    // A course with five sentences holding "matri", the newest of all.
    void saveManyHits()
    {
        CourseArchive::save(course(1'777'900'000, 1200,
                                   {{"Matrix rank", "矩阵的秩"},
                                    {"A <b>bold</b> MATRIX & more", "粗体矩阵"},
                                    {"Nothing", "无"},
                                    {"Matrices again", "又是矩阵"},
                                    {"Matrix four", "四"},
                                    {"Matrix five", "五"}}));
    }
    QString cell(int r, int role) const { return model->rows()->index(r).data(role).toString(); }
    QStringList texts(const QString &name, QQuickItem *root) const
    {
        QStringList out;
        for (QQuickItem *i : h.findAll(name, root))
            if (i->isVisible())
                out << i->property("text").toString();
        return out;
    }
};

} // namespace

TEST_F(HistoryFixture, NoArchiveShowsTheDesktopHintTheArchiveIsReadWhenShownRowsAreNewestFirstAndSearch)
{
    open();
    EXPECT_TRUE(h.shown("emptyState"));
    EXPECT_EQ(h.text("emptyText"), "还没有归档课程。\n课程结束后记录会自动保存到「桌面/课程记录/记录/」。");
    EXPECT_FALSE(h.shown("courseList"));
    saveThree();
    EXPECT_EQ(model->courseCount(), 0); // not while shown
    open();
    EXPECT_EQ(model->courseCount(), 3);

    // Rows newest first, with caption and preview.
    ASSERT_EQ(model->rows()->rowCount(), 3);
    EXPECT_TRUE(h.shown("courseList"));
    EXPECT_EQ(cell(0, CourseListModel::CaptionRole), "2 条翻译 · 时长 01:30:00");
    EXPECT_EQ(cell(0, CourseListModel::PreviewRole), "Matrices multiply");
    EXPECT_EQ(cell(0, CourseListModel::StartTextRole),
              Date::fromUnix(1'777'800'000).toQDateTime().toLocalTime().toString("yyyy-MM-dd HH:mm:ss"));
    // The course without entries: 0 and its length, no preview line.
    QQuickItem *row = h.find("courseRow1");
    ASSERT_NE(row, nullptr);
    EXPECT_FALSE(h.find("rowPreview", row)->isVisible());
    EXPECT_EQ(h.find("rowCaption", row)->property("text").toString(), "0 条翻译 · 时长 00:10:00");
    // Truncated, not rounded.
    EXPECT_EQ(cell(2, CourseListModel::CaptionRole), "1 条翻译 · 时长 01:00:00");

    // A search that finds nothing says so.
    model->setKeyword("  傅里叶 ");
    h.settle();
    EXPECT_EQ(model->rows()->rowCount(), 0);
    EXPECT_EQ(h.text("emptyText"), "没有匹配「  傅里叶 」的课程。");
}

TEST_F(HistoryFixture, ClickingARowOpensTheReviewSheetWithKeyPointsAndARetranslationIsKeptInTheCoursesFile)
{
    HttpTestServer server;
    ASSERT_TRUE(server.isListening());
    server.installDeepSeek([](const QString &s) { return QStringLiteral("新译：") + s; });
    ChatCompletions::setBaseUrlForTesting(server.url());
    struct Reset {
        ~Reset() { ChatCompletions::setBaseUrlForTesting(std::nullopt); }
    } reset;
    h.store->setValue(Keys::DeepSeekApiKey, "sk-test");
    CourseSession lecture = course(1'777'800'000, 5400, {{"Matrices multiply", "矩阵相乘"}, {"An eigenvalue", "特征值"}});
    lecture.summaryPoints = {QStringLiteral("矩阵乘法不满足交换律"), QStringLiteral("特征值刻画线性变换的伸缩")};
    const auto saved = CourseArchive::save(lecture);
    ASSERT_TRUE(saved);

    open();
    h.click("courseRow0");
    ASSERT_TRUE(model->hasReviewingCourse());
    h.settle(50);
    QQuickWindow *sheet = h.visibleSheet();
    ASSERT_NE(sheet, nullptr);
    QQuickItem *view = h.find("courseReviewView", sheet->contentItem());
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(h.find("headerCaption", sheet->contentItem())->property("text").toString().endsWith("共 2 条"));
    auto *playback = view->property("playback").value<CoursePlaybackModel *>();
    ASSERT_NE(playback, nullptr);
    EXPECT_EQ(playback->course().archivePath, saved.value());
    ASSERT_TRUE(h.find("keyPointsSection", sheet->contentItem())->isVisible());
    EXPECT_EQ(texts("keyPointText", sheet->contentItem()), lecture.summaryPoints);
    EXPECT_TRUE(savePng(sheet, "review-key-points"));

    h.click(h.find("retranslateButton", sheet->contentItem()));
    QObject *review = playback->review();
    ASSERT_TRUE(waitFor([&] { return !review->property("isRetranslating").toBool(); }));
    auto stored = CourseArchive::loadAll();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].entries[0].target, "新译：Matrices multiply");
    EXPECT_EQ(stored[0].summaryPoints, lecture.summaryPoints);
    EXPECT_EQ(stored[0].archivePath, saved.value());
    // The history list holds the new translations too.
    EXPECT_EQ(model->displayed()[0].entries[0].target, "新译：Matrices multiply");
    EXPECT_FALSE(h.find("courseSaveFailed", sheet->contentItem())->isVisible());

    // A write that fails is shown in the sheet.
    ASSERT_TRUE(QFile::remove(saved.value()));
    ASSERT_TRUE(QDir().mkdir(saved.value()));
    h.click(h.find("retranslateButton", sheet->contentItem()));
    ASSERT_TRUE(waitFor([&] { return !review->property("isRetranslating").toBool(); }));
    h.settle();
    EXPECT_TRUE(h.find("courseSaveFailed", sheet->contentItem())->isVisible());
    EXPECT_TRUE(playback->saveError().startsWith("重新翻译的结果未能保存到课程记录：")) << playback->saveError().toStdString();

    // Closing the review sheet clears the selection.
    QMetaObject::invokeMethod(view, "dismiss");
    h.settle(50);
    EXPECT_FALSE(model->hasReviewingCourse());
}

TEST_F(HistoryFixture, ASearchShowsTheSentencesEachCourseWasFoundByMarkedInTheThemesColour)
{
    saveThree();
    saveManyHits();
    open();
    h.typeInto("searchField", "matri");
    ASSERT_EQ(model->rows()->rowCount(), 2);
    QQuickItem *row = h.find("courseRow0");
    const QStringList hits = model->rows()->index(0).data(CourseListModel::MatchesRole).toStringList();
    ASSERT_EQ(hits.size(), 3);
    EXPECT_EQ(texts("rowMatch", row), hits);
    EXPECT_TRUE(hits[0].contains(QStringLiteral("<font color=\"%1\">Matri").arg(h.theme->primary().name())));
    EXPECT_EQ(texts("rowMoreMatches", row), QStringList{"另有 2 句"});
    EXPECT_FALSE(h.find("rowPreview", row)->isVisible());
    EXPECT_TRUE(texts("rowMoreMatches", h.find("courseRow1")).isEmpty());
    EXPECT_TRUE(savePng(h.window, "history-hits"));

    // Without a keyword the rows show their first sentence again.
    h.clearField("searchField");
    ASSERT_EQ(model->rows()->rowCount(), 4);
    row = h.find("courseRow0");
    EXPECT_TRUE(texts("rowMatch", row).isEmpty());
    EXPECT_EQ(texts("rowPreview", row), QStringList{"Matrix rank"});
}

TEST_F(HistoryFixture, ScreenshotsInEveryTheme)
{
    saveThree();
    for (const char *theme : kThemes) {
        h.store->setValue(Keys::UiTheme, theme);
        open();
        EXPECT_TRUE(savePng(h.window, QStringLiteral("history-%1").arg(theme)));
        model->setKeyword("傅里叶");
        EXPECT_TRUE(savePng(h.window, QStringLiteral("history-%1-nomatch").arg(theme)));
        model->setKeyword("矩阵");
        EXPECT_TRUE(savePng(h.window, QStringLiteral("history-%1-hits").arg(theme)));
    }
}

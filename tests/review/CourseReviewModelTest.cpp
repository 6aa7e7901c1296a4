// The review window's model: review flow, re-translation, subtitle export.
#include "review/CourseReviewModel.h"
#include "ReviewFixture.h"
#include "review/CourseRetranslation.h"
#include "review/DeepSeekReviewService.h"

#include <QCoreApplication>
#include <QJsonArray>

using namespace vox;
using namespace vox::test;
using RState = CourseReviewModel::ReviewState;
using TState = CourseReviewModel::RetranslateState;

namespace {

const QString kReviewJson = QStringLiteral(
    R"({"title":"测试课","summary":"总结","improvedEntries":[],"keyPoints":["一"],"vocabulary":[],"topics":[]})");

} // namespace

class CourseReviewModelTest : public ReviewFixture { };

TEST_F(CourseReviewModelTest, HeaderEntriesAndWhatABlankKeyOrEmptyCourseAllows)
{
    setKey(QStringLiteral("sk"));
    CourseReviewModel m(makeCourse(3));
    EXPECT_EQ(m.headerCaption(), QStringLiteral("14:03:09 ～ 15:05:14 · 时长 01:02:05 · 共 3 条"));
    ASSERT_EQ(m.entries()->rowCount(), 3);
    EXPECT_EQ(m.entries()->index(0).data(TranscriptModel::SourceRole).toString(), QStringLiteral("sentence 1"));
    EXPECT_EQ(m.recordingFileName(), QStringLiteral("rec.caf"));
    EXPECT_FALSE(m.recordingExists());
    EXPECT_TRUE(m.canReview());
    EXPECT_TRUE(m.canRetranslate());

    // A blank key is stored as none.
    m.setApiKey(QStringLiteral("   "));
    EXPECT_EQ(settings->string(QStringLiteral("deepseek_api_key")), QString());
    EXPECT_FALSE(m.canReview());
    EXPECT_FALSE(m.canRetranslate());

    // Neither a blank key nor an empty course starts anything.
    CourseReviewModel empty(makeCourse(0));
    int signals_ = 0;
    for (CourseReviewModel *model : {&m, &empty}) {
        QObject::connect(model, &CourseReviewModel::reviewStateChanged, [&] { ++signals_; });
        QObject::connect(model, &CourseReviewModel::retranslateStateChanged, [&] { ++signals_; });
    }
    m.startReview();
    m.retranslate();
    setKey(QStringLiteral("sk"));
    empty.reloadApiKey();
    EXPECT_FALSE(empty.canReview());
    EXPECT_FALSE(empty.canRetranslate());
    empty.retranslate();
    EXPECT_EQ(signals_, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(CourseReviewModelTest, ReviewSavesTheDocumentOnce)
{
    setKey(QStringLiteral("  sk-1 \n"));
    server.enqueue("POST", "/chat/completions", HttpTestReply::chatContent(kReviewJson));
    CourseReviewModel m(makeCourse(3));
    m.startReview();
    EXPECT_EQ(m.reviewState(), RState::Working);
    EXPECT_EQ(m.reviewMessage(), QStringLiteral("正在审阅本节课 3 条翻译，请稍候…"));
    EXPECT_FALSE(m.canReview());
    m.startReview(); // refused while running

    ASSERT_TRUE(waitFor([&] { return !m.isReviewing(); }));
    EXPECT_EQ(server.requestCount("/chat/completions"), 1);
    // The envelope itself is the shared one the translation client tests.
    const HttpTestRequest &sent = server.requests()[0];
    EXPECT_EQ(sent.header("authorization"), "Bearer sk-1");
    EXPECT_DOUBLE_EQ(sent.json()["temperature"].toDouble(), 0.3);
    EXPECT_FALSE(sent.json().contains("max_tokens"));
    EXPECT_EQ(sent.message(0), DeepSeekReviewService::reviewPrompt());
    EXPECT_EQ(sent.message(1), DeepSeekReviewService::buildPrompt(makeCourse(3).entries));
    ASSERT_EQ(m.reviewState(), RState::Done) << m.reviewMessage().toStdString();
    EXPECT_EQ(m.reviewMessage(), QStringLiteral("审阅完成，文档已保存"));
    EXPECT_EQ(m.documentFileName(), QStringLiteral("2025-05-02 14-03-09 课堂记录.html"));
    EXPECT_TRUE(QString::fromUtf8(readFile(m.documentUrl().toLocalFile())).contains(QStringLiteral("<h1>测试课</h1>")));

    EXPECT_EQ(m.exportMessage(), QStringLiteral("审阅文档已保存：2025-05-02 14-03-09 课堂记录.html"));
    EXPECT_EQ(m.exportedPath(), m.documentUrl().toLocalFile());
    EXPECT_TRUE(desktop->opened.isEmpty());

    m.revealDocument();
    m.openDocument();
    EXPECT_EQ(desktop->revealed, QStringList{m.documentUrl().toLocalFile()});
    EXPECT_EQ(desktop->opened, QStringList{m.documentUrl().toLocalFile()});
}

TEST_F(CourseReviewModelTest, ReviewFailureMessages)
{
    setKey(QStringLiteral("sk"));
    server.enqueue("POST", "/chat/completions", HttpTestReply::text(429, "Rate limit reached"));
    CourseReviewModel m(makeCourse(2));
    m.startReview();
    ASSERT_TRUE(waitFor([&] { return !m.isReviewing(); }));
    EXPECT_EQ(m.reviewState(), RState::Failed);
    EXPECT_EQ(m.reviewMessage(), QStringLiteral("生成失败：DeepSeek API 错误（429）：Rate limit reached"));
    EXPECT_FALSE(QDir(courseFolder()).exists()); // a failed review leaves no file

    // Document saving fails without a Desktop.
    desktop->setDesktop({});
    server.enqueue("POST", "/chat/completions", HttpTestReply::chatContent(kReviewJson));
    m.startReview();
    ASSERT_TRUE(waitFor([&] { return !m.isReviewing(); }));
    EXPECT_EQ(m.reviewMessage(), QStringLiteral("生成失败：无法访问桌面目录"));
}

TEST_F(CourseReviewModelTest, RetranslationOfFortyFiveEntriesInThreeRequests)
{
    setKey(QStringLiteral("sk"));
    // Sentence 7 comes back empty and keeps its old translation.
    server.installDeepSeek(
        [](const QString &s) { return s == QLatin1String("sentence 7") ? QString() : QStringLiteral("新：") + s; });
    const CourseSession original = makeCourse(45);
    CourseReviewModel m(original, {GlossaryPair{QStringLiteral("cell"), QStringLiteral("细胞")}});
    int courseChanged = 0;
    QObject::connect(&m, &CourseReviewModel::courseChanged, [&] { ++courseChanged; });
    m.retranslate();
    EXPECT_EQ(m.retranslateState(), TState::Working);
    EXPECT_FALSE(m.canRetranslate());
    m.retranslate(); // ignored while running
    ASSERT_TRUE(waitFor([&] { return !m.isRetranslating(); }));

    // Groups of 20 as the translation client sends them, with the course's
    // own context in place of the live subject and sliding context.
    ASSERT_EQ(server.requestCount("/chat/completions"), 3);
    const QString system = server.requests()[0].message(0);
    EXPECT_TRUE(system.contains(QStringLiteral("\n\n") + CourseRetranslation::courseContext()));
    EXPECT_TRUE(system.contains(QStringLiteral("cell → 细胞")));
    EXPECT_FALSE(system.contains(QStringLiteral("当前课堂科目")));
    EXPECT_FALSE(system.contains(QStringLiteral("滑窗上下文")));

    ASSERT_EQ(m.retranslateState(), TState::Done) << m.retranslateMessage().toStdString();
    EXPECT_EQ(m.retranslatedCount(), 45);
    EXPECT_EQ(m.retranslateMessage(), QStringLiteral("重新翻译完成，已更新 45 条译文（可再次生成审阅文档）"));
    EXPECT_EQ(courseChanged, 1);
    // A new course of new entries, the same but for the translations.
    CourseSession expected = original;
    for (auto &e : expected.entries)
        if (e.source != QLatin1String("sentence 7"))
            e.target = QStringLiteral("新：") + e.source;
    const CourseSession &now = m.course();
    EXPECT_EQ(now.encode(), expected.encode());
    EXPECT_NE(now.id, original.id);
    ASSERT_EQ(now.entries.size(), 45u);
    for (size_t i = 0; i < 45; ++i)
        EXPECT_NE(now.entries[i].id, original.entries[i].id);
}

TEST_F(CourseReviewModelTest, RetranslationFailureKeepsTheCourse)
{
    setKey(QStringLiteral("sk"));
    server.enqueue("POST", "/chat/completions", HttpTestReply::chatTranslations(QStringList(20, QStringLiteral("好"))));
    server.enqueue("POST", "/chat/completions", HttpTestReply::text(500, "server exploded"));
    const CourseSession original = makeCourse(25);
    CourseReviewModel m(original);
    m.retranslate();
    ASSERT_TRUE(waitFor([&] { return !m.isRetranslating(); }));
    EXPECT_EQ(m.retranslateState(), TState::Failed);
    EXPECT_EQ(m.retranslateMessage(), QStringLiteral("重新翻译失败：DeepSeek 翻译 API 错误（500）：server exploded"));
    // The first group's translations are discarded and nothing more is asked.
    EXPECT_EQ(server.requestCount(), 2);
    EXPECT_EQ(m.course(), original);
    EXPECT_TRUE(m.canRetranslate());
}

TEST_F(CourseReviewModelTest, ReviewDocumentShowsARetranslationThatFinishedMeanwhile)
{
    setKey(QStringLiteral("sk"));
    server.enqueue("POST", "/chat/completions", HttpTestReply::hold()); // the review waits
    server.installDeepSeek([](const QString &s) { return QStringLiteral("重译 ") + s; });
    CourseReviewModel m(makeCourse(3));
    m.startReview();
    ASSERT_TRUE(server.waitForRequests(1));
    m.retranslate();
    ASSERT_TRUE(waitFor([&] { return !m.isRetranslating(); }));
    ASSERT_EQ(m.retranslateState(), TState::Done);
    ASSERT_TRUE(server.release(HttpTestReply::chatContent(kReviewJson)));
    ASSERT_TRUE(waitFor([&] { return !m.isReviewing(); }));
    ASSERT_EQ(m.reviewState(), RState::Done) << m.reviewMessage().toStdString();
    // The review was asked about the old translations ...
    EXPECT_TRUE(server.requests()[0].message(1).contains(QStringLiteral("[1] sentence 1 || 句子 1")));
    // ... the document shows the course as it is now.
    const QString html = QString::fromUtf8(readFile(m.documentUrl().toLocalFile()));
    EXPECT_TRUE(html.contains(QStringLiteral("<div class=\"dst\">重译 sentence 1</div>")));
}

TEST_F(CourseReviewModelTest, SubtitleExportNamesTheFileAndReportsFailures)
{
    CourseReviewModel m(makeCourse(3));
    int changes = 0;
    QObject::connect(&m, &CourseReviewModel::exportChanged, [&] { ++changes; });
    m.exportSubtitle(QStringLiteral("vtt"));
    const QString vtt = courseFolder() + QStringLiteral("/字幕/2025-05-02 14-03-09 课堂字幕.vtt");
    EXPECT_TRUE(QFileInfo::exists(vtt));
    EXPECT_EQ(m.exportMessage(), QStringLiteral("字幕已导出：2025-05-02 14-03-09 课堂字幕.vtt"));
    EXPECT_EQ(m.exportedPath(), vtt);
    EXPECT_FALSE(m.exportFailed());
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(desktop->revealed.isEmpty()); // the message is the feedback
    m.dismissExportMessage();
    EXPECT_TRUE(m.exportMessage().isEmpty());
    m.revealExported(); // nothing left to show
    EXPECT_TRUE(desktop->revealed.isEmpty());

    // A file where the subtitle folder should be.
    QDir(courseFolder() + QStringLiteral("/字幕")).removeRecursively();
    QFile blocker(courseFolder() + QStringLiteral("/字幕"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m.exportSubtitle(QStringLiteral("srt"));
    EXPECT_TRUE(m.exportFailed());
    EXPECT_TRUE(m.exportMessage().startsWith(QStringLiteral("导出字幕失败："))) << m.exportMessage().toStdString();
    EXPECT_TRUE(m.exportedPath().isEmpty());

    // No Desktop folder is a failure too; an empty course exports nothing.
    desktop->setDesktop({});
    m.dismissExportMessage();
    m.exportSubtitle(QStringLiteral("srt"));
    EXPECT_EQ(m.exportMessage(), QStringLiteral("导出字幕失败：无法访问桌面目录"));
    CourseReviewModel empty(makeCourse(0));
    empty.exportSubtitle(QStringLiteral("srt"));
    EXPECT_TRUE(empty.exportMessage().isEmpty());
}

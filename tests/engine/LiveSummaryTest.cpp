// The live summary on virtual time against the local DeepSeek imitation.
#include "engine/LiveSummary.h"
#include "EngineFixture.h"
#include "support/ChatServer.h"


using namespace vox;
using namespace vox::test;

namespace {

const QString kPath = QStringLiteral("/chat/completions");

class Host : public LiveSummaryHost {
public:
    const TranscriptEntries &summaryEntries() const override { return entries; }
    bool summaryCourseActive() const override { return active; }
    std::optional<Date> summaryCourseStartDate() const override { return start; }
    void summaryProblem(const QString &message, bool) override { errors.append(message); }
    void summaryAnswered() override { ++answered; }

    TranscriptEntries entries;
    bool active = false;
    std::optional<Date> start;
    QStringList errors;
    int answered = 0;
};

class LiveSummaryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings->setValue(QStringLiteral("deepseek_api_key"), QStringLiteral("sk-live"));
        summary = std::make_unique<LiveSummary>(host);
    }
    void TearDown() override { summary.reset(); }

    // startCourse and endCourse as the engine does them.
    void startCourse()
    {
        host.active = true;
        host.start = time->now();
        summary->resetForNewCourse();
        summary->startAutoSummaryIfNeeded();
    }
    void endCourse()
    {
        host.active = false;
        host.start.reset();
        summary->cancelAutoSummary();
    }
    // A course whose first second brought `n` entries.
    void startCourseWith(int n)
    {
        startCourse();
        time->advance(1);
        land(n);
    }
    // Entries landing now.
    void land(int n, const QString &prefix = QStringLiteral("s"))
    {
        for (int i = 0; i < n; ++i)
            host.entries.emplace_back(time->now(), QStringLiteral("%1 %2").arg(prefix).arg(host.entries.size() + 1),
                QStringLiteral("译 %1").arg(host.entries.size() + 1), 1.0);
    }
    QString userMessage(size_t i) const { return server.requests().at(i).message(1); }
    bool waitIdle()
    {
        return waitFor([&] { return !summary->isSummarizing(); });
    }
    void reply(const QString &pointsJson) { server.enqueue("POST", kPath, HttpTestReply::chatContent(pointsJson)); }
    void hold() { server.enqueue("POST", kPath, HttpTestReply::hold()); }

    ScopedVirtualTime time;
    ScopedSettings settings;
    ChatServer server;
    Host host;
    std::unique_ptr<LiveSummary> summary;
};

} // namespace

TEST_F(LiveSummaryTest, FirstRunAfterTenMinutesThenEveryTenMinutes)
{
    startCourseWith(3);
    reply(R"({"points":["第一点","第二点"]})");
    time->advance(598);
    EXPECT_EQ(server.requestCount(), 0);
    time->advance(1); // 600 s after the start
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(server.requestCount(kPath), 1);
    EXPECT_TRUE(userMessage(0).startsWith(QStringLiteral("课堂翻译记录（共 3 条")));
    EXPECT_EQ(summary->summaryPoints(), (QStringList{QStringLiteral("第一点"), QStringLiteral("第二点")}));

    // Only what landed after the first run goes into the second.
    time->advance(10);
    land(2);
    reply(R"({"points":["第三点"]})");
    time->advance(589);
    EXPECT_EQ(server.requestCount(), 1);
    time->advance(1);
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(server.requestCount(kPath), 2);
    EXPECT_EQ(userMessage(1),
        QStringLiteral("课堂翻译记录（共 2 条，以下为全部或最新 2 条）：\n[1] s 4 || 译 4\n[2] s 5 || 译 5"));
    EXPECT_EQ(summary->summaryPoints().size(), 3);

    // Ten quiet minutes send nothing; the loop goes on.
    time->advance(600);
    EXPECT_EQ(server.requestCount(), 2);
    EXPECT_TRUE(summary->isAutoSummaryRunning());

    // A tick that finds no course ends the loop.
    host.active = false;
    time->advance(600);
    EXPECT_FALSE(summary->isAutoSummaryRunning());
}

TEST_F(LiveSummaryTest, NoStoredKeyMeansNoLoop)
{
    settings->setValue(QStringLiteral("deepseek_api_key"), QString());
    startCourseWith(3);
    EXPECT_FALSE(summary->isAutoSummaryRunning());
    time->advance(1800);
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_TRUE(host.errors.isEmpty());

    // Storing a key during the course does not start it.
    settings->setValue(QStringLiteral("deepseek_api_key"), QStringLiteral("sk"));
    time->advance(1800);
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(LiveSummaryTest, ButtonRunsAreSentOnceDelayTheLoopAndOutliveTheCourse)
{
    startCourseWith(2);
    hold();
    int changes = 0;
    QObject::connect(summary.get(), &LiveSummary::isSummarizingChanged, [&] { ++changes; });
    time->advance(598);
    summary->generateSummary(); // the button, pressed twice just before the tick
    summary->generateSummary();
    ASSERT_TRUE(server.waitForRequests(1));
    summary->generateSummary();
    time->advance(1); // the tick finds a run in flight and skips
    EXPECT_EQ(server.requestCount(), 1);
    ASSERT_TRUE(server.release(HttpTestReply::chatContent(R"({"points":["a"]})")));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(summary->summaryPoints(), QStringList{QStringLiteral("a")});
    EXPECT_EQ(changes, 2);

    // The loop's next run comes ten minutes after the skipped tick.
    land(1);
    reply(R"({"points":["b"]})");
    time->advance(599);
    EXPECT_EQ(server.requestCount(), 1);
    time->advance(1);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(server.requestCount(), 2);

    // A button run in flight when the course ends still delivers.
    time->advance(1);
    land(1);
    hold();
    summary->generateSummary();
    ASSERT_TRUE(server.waitForRequests(3));
    endCourse();
    EXPECT_TRUE(summary->isSummarizing());
    ASSERT_TRUE(server.release(HttpTestReply::chatContent(R"({"points":["kept"]})")));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(
        summary->summaryPoints(), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("kept")}));
    EXPECT_TRUE(host.errors.isEmpty());

    // The next course starts from an empty list.
    startCourse();
    EXPECT_TRUE(summary->summaryPoints().isEmpty());
    EXPECT_FALSE(summary->summaryAnchorDate().has_value());
}

TEST_F(LiveSummaryTest, OnlyEntriesAfterTheAnchorAreSentAndAFailureDoesNotMoveItBack)
{
    land(2, QStringLiteral("before"));
    startCourse();
    // Nothing new: no request, but the anchor moves to now.
    summary->generateSummary();
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_EQ(summary->summaryAnchorDate(), time->now());
    land(1, QStringLiteral("at-anchor")); // same instant: not later than the anchor
    time->advance(0.5);
    land(1, QStringLiteral("inside"));
    server.enqueue("POST", kPath, HttpTestReply::text(401, "Authentication Fails"));
    summary->generateSummary();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(userMessage(0), QStringLiteral("课堂翻译记录（共 1 条，以下为全部或最新 1 条）：\n[1] inside 4 || 译 4"));
    EXPECT_EQ(
        host.errors, QStringList{QStringLiteral("实时摘要失败：DeepSeek 摘要 API 错误（401）：Authentication Fails")});

    // The failed entries are not sent again.
    time->advance(1);
    summary->generateSummary();
    EXPECT_EQ(server.requestCount(), 1);
    time->advance(1);
    land(1);
    reply(R"({"points":["y"]})");
    summary->generateSummary();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(userMessage(1), QStringLiteral("课堂翻译记录（共 1 条，以下为全部或最新 1 条）：\n[1] s 5 || 译 5"));
}

TEST_F(LiveSummaryTest, EndCourseCancelsTheLoopsRequestThroughTheFailurePath)
{
    startCourseWith(2);
    hold();
    time->advance(599);
    ASSERT_TRUE(server.waitForRequests(1));
    ASSERT_TRUE(summary->isSummarizing());

    endCourse();
    EXPECT_FALSE(summary->isSummarizing());
    EXPECT_EQ(host.errors, QStringList{QStringLiteral("实时摘要失败：已取消")});

    // The late answer changes nothing, and no further run comes.
    ASSERT_TRUE(server.release(HttpTestReply::chatContent(R"({"points":["late"]})")));
    waitFor([] { return false; }, 200);
    EXPECT_TRUE(summary->summaryPoints().isEmpty());
    time->advance(1800);
    EXPECT_EQ(server.requestCount(), 1);

    // Destroyed while the next course's loop waits for its answer: ends quietly.
    startCourseWith(1);
    hold();
    time->advance(599);
    ASSERT_TRUE(server.waitForRequests(2));
    summary.reset();
    ASSERT_TRUE(server.release(HttpTestReply::chatContent(R"({"points":["a"]})")));
    waitFor([] { return false; }, 200);
    time->advance(1800);
    EXPECT_EQ(host.errors.size(), 1);
}

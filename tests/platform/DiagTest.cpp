#include "platform/Diag.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace vox;

namespace {

QStringList logLines()
{
    QFile f(diagPath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.isEmpty() || text.endsWith(u'\n'));
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

const QRegularExpression kLine(QStringLiteral(R"(^\[(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}) \+0000\] (.*)$)"));

// The tests reset the log: only ever the test run's own file.
class Diag : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("VOXLEAF_DIAG_LOG"))
            GTEST_SKIP() << "VOXLEAF_DIAG_LOG is not set";
    }
};

} // namespace

TEST_F(Diag, LineFormatAndReset)
{
    ASSERT_FALSE(diagPath().isEmpty());
    resetDiagLog();
    EXPECT_FALSE(QFile::exists(diagPath()));
    resetDiagLog(); // a missing file is no error

    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    diag(QStringLiteral("课程开始"));
    diagForwarder(QStringLiteral("converter ready: 48000 Hz → 16000 Hz"));
    const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);

    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 2);
    const auto first = kLine.match(lines[0]);
    ASSERT_TRUE(first.hasMatch()) << lines[0].toStdString();
    EXPECT_EQ(first.captured(2), QStringLiteral("课程开始"));
    const auto second = kLine.match(lines[1]);
    ASSERT_TRUE(second.hasMatch()) << lines[1].toStdString();
    EXPECT_EQ(second.captured(2), QStringLiteral("[forwarder] converter ready: 48000 Hz → 16000 Hz"));

    // The stamp is UTC wall time.
    QDateTime stamp = QDateTime::fromString(first.captured(1), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    stamp.setTimeZone(QTimeZone::utc());
    EXPECT_GE(stamp, before.addMSecs(-before.time().msec()));
    EXPECT_LE(stamp, after);

    resetDiagLog();
    EXPECT_TRUE(logLines().isEmpty());
    diag(QStringLiteral("again"));
    EXPECT_EQ(logLines().size(), 1);
}

TEST_F(Diag, ConcurrentWritersNeverTearLines)
{
    resetDiagLog();
    constexpr int kThreads = 6;
    constexpr int kLines = 200;
    // Long lines (well past a pipe buffer) make torn writes visible.
    const QString filler(5000, u'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &filler] {
            for (int i = 0; i < kLines; ++i) {
                const QString msg = QStringLiteral("t%1 n%2 %3 end").arg(t).arg(i).arg(filler);
                if (t % 2)
                    diagForwarder(msg);
                else
                    diag(msg);
            }
        });
    }
    for (auto &th : threads)
        th.join();

    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), kThreads * kLines);
    std::vector<int> next(kThreads, 0);
    const QRegularExpression body(QStringLiteral(R"(^(\[forwarder\] )?t(\d+) n(\d+) x{5000} end$)"));
    for (const QString &line : lines) {
        const auto m = kLine.match(line);
        ASSERT_TRUE(m.hasMatch()) << line.left(80).toStdString();
        const auto b = body.match(m.captured(2));
        ASSERT_TRUE(b.hasMatch()) << line.left(80).toStdString();
        const int t = b.captured(2).toInt();
        ASSERT_LT(t, kThreads);
        EXPECT_EQ(b.hasCaptured(1), t % 2 == 1);
        // Each writer's lines appear in the order it wrote them.
        EXPECT_EQ(b.captured(3).toInt(), next[size_t(t)]++);
    }
    resetDiagLog();
}

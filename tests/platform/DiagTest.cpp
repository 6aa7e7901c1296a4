#include "platform/Diag.h"
#include "support/TestEnv.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
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

// lstat's view of a path: its type and permission bits, 0 when missing.
unsigned pathMode(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

// A file others may read, as a careless tool would leave it.
bool writeShared(const QString &path, const QByteArray &bytes)
{
    return test::writeFile(path, bytes)
        && QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
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
    resetDiagLog();
    EXPECT_FALSE(QFile::exists(diagPath()));

    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    diag(QStringLiteral("课程开始"));
    diagForwarder(QStringLiteral("converter ready: 48000 Hz → 16000 Hz"));
    const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);

    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 2);
    const auto first = kLine.match(lines[0]), second = kLine.match(lines[1]);
    ASSERT_TRUE(first.hasMatch() && second.hasMatch()) << lines.join(u'\n').toStdString();
    EXPECT_EQ(first.captured(2), QStringLiteral("课程开始"));
    EXPECT_EQ(second.captured(2), QStringLiteral("[forwarder] converter ready: 48000 Hz → 16000 Hz"));

    // The stamp is UTC wall time.
    QDateTime stamp = QDateTime::fromString(first.captured(1), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    stamp.setTimeZone(QTimeZone::utc());
    EXPECT_GE(stamp, before.addMSecs(-before.time().msec()));
    EXPECT_LE(stamp, after);
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
        EXPECT_EQ(b.captured(3).toInt(), next[size_t(t)]++); // each writer's lines in its order
    }
}

// The log holds every sentence: readable by its user only, and never written
// through whatever another user could put at its path.
TEST_F(Diag, PrivateToItsUserAndNeverWrittenThroughALinkOrAnotherFile)
{
    const QString path = diagPath();
    QTemporaryDir elsewhere;

    // A file left readable by others is tightened before anything goes in;
    // it is ours, so what it held stays.
    resetDiagLog();
    ASSERT_TRUE(writeShared(path, "earlier\n"));
    diag(QStringLiteral("second"));
    EXPECT_EQ(pathMode(path), unsigned(S_IFREG | 0600));
    EXPECT_TRUE(test::readFile(path).startsWith("earlier\n"));
    EXPECT_TRUE(logLines().last().endsWith(QStringLiteral("] second")));

    // A link planted at the path, to an existing file or to none: the target
    // is untouched (or never created), a fresh private log says what it found.
    const QString victim = elsewhere.filePath(QStringLiteral("victim"));
    ASSERT_TRUE(writeShared(victim, "victim\n"));
    const QString missing = elsewhere.filePath(QStringLiteral("missing"));
    for (const QString &target : {victim, missing}) {
        SCOPED_TRACE(target.toStdString());
        resetDiagLog();
        ASSERT_TRUE(QFile::link(target, path));
        diag(QStringLiteral("秘密的句子"));
        EXPECT_EQ(pathMode(path), unsigned(S_IFREG | 0600));
        const QStringList lines = logLines();
        ASSERT_EQ(lines.size(), 2) << lines.join(u'\n').toStdString();
        EXPECT_TRUE(lines[0].endsWith(QStringLiteral("诊断日志位置原是符号链接，已移除并新建日志")))
            << lines[0].toStdString();
        EXPECT_TRUE(lines[1].endsWith(QStringLiteral("] 秘密的句子")));
    }
    EXPECT_EQ(test::readFile(victim), "victim\n");
    EXPECT_EQ(pathMode(victim), unsigned(S_IFREG | 0644));
    EXPECT_FALSE(QFile::exists(missing));

    // Reset removes a link, never its target.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::link(victim, path));
    resetDiagLog();
    EXPECT_EQ(pathMode(path), 0u);
    EXPECT_EQ(test::readFile(victim), "victim\n");

    // A second name of another file, and a FIFO (which must not make the
    // writer wait for a reader), are replaced the same way.
    ASSERT_EQ(::link(QFile::encodeName(victim).constData(), QFile::encodeName(path).constData()), 0);
    diag(QStringLiteral("third"));
    EXPECT_EQ(test::readFile(victim), "victim\n");
    EXPECT_EQ(pathMode(path), unsigned(S_IFREG | 0600));
    EXPECT_TRUE(logLines().first().contains(QStringLiteral("硬链接")));
    resetDiagLog();
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    diag(QStringLiteral("fourth"));
    EXPECT_EQ(pathMode(path), unsigned(S_IFREG | 0600));
    EXPECT_EQ(logLines().size(), 2);

    // Another user's file (only root can make one here).
    if (::geteuid() == 0) {
        resetDiagLog();
        ASSERT_TRUE(writeShared(path, "theirs\n"));
        ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
        diag(QStringLiteral("fifth"));
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
        EXPECT_EQ(st.st_uid, ::geteuid());
        EXPECT_FALSE(test::readFile(path).contains("theirs"));
        EXPECT_TRUE(logLines().first().contains(QStringLiteral("其他用户的文件")));
    }
    resetDiagLog();
}

TEST(DiagPath, DefaultIsInTheUsersStateFolder)
{
    const QByteArray state = qgetenv("XDG_STATE_HOME"), home = qgetenv("HOME");
    const bool hadState = qEnvironmentVariableIsSet("XDG_STATE_HOME");
    qputenv("HOME", "/home/学生");
    qputenv("XDG_STATE_HOME", "/srv/state/");
    EXPECT_EQ(defaultDiagPath(), QStringLiteral("/srv/state/voxleaf/diag.log"));
    qputenv("XDG_STATE_HOME", "relative/state"); // not absolute: ignored
    EXPECT_EQ(defaultDiagPath(), QStringLiteral("/home/学生/.local/state/voxleaf/diag.log"));
    qputenv("HOME", home);
    if (hadState)
        qputenv("XDG_STATE_HOME", state);
    else
        qunsetenv("XDG_STATE_HOME");
}

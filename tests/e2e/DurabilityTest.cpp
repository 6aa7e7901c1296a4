// What the headless tool leaves on disk when a run ends badly: signals while
// translations hang, SIGKILL in the middle of a course, a microphone that is
// unloaded and loaded again, two courses started together.
#include "E2EFixture.h"

#include <QProcess>
#include <csignal>
#include <sys/mount.h>
#include <unistd.h>

using namespace vox;
using namespace vox::test;

namespace {

class Durability : public EndToEnd {
protected:
    bool waitForLog(const QString &text, int count, int timeoutMs)
    {
        return waitFor([&] { return diagLog().count(text) >= count; }, timeoutMs);
    }
    // The sentences handed to translation so far, from the diagnostics log.
    int submittedSentences() const
    {
        int n = 0;
        for (const QString &line : diagLog().split(QLatin1Char('\n')))
            if (const qsizetype at = line.indexOf(QStringLiteral("判句[")); at >= 0)
                n += int(line.mid(at).split(QStringLiteral(" | ")).size());
        return n;
    }
    static QString pactl(const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral("pactl"), args);
        p.waitForFinished(10000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
};

// Ctrl+C while every batch waits on a translator that never answers: the
// run still prints and archives every sentence it recognized, with the
// placeholder, and says so in its exit status; a second Ctrl+C right after
// the first skips the wait but never the writing.
TEST_F(Durability, SignalsWhileTranslationsHangKeepEverySentence)
{
    m_deepseek.route("POST", QStringLiteral("/chat/completions"),
                     [](const HttpTestRequest &) { return HttpTestReply::never(); });
    for (const bool twice : {false, true}) {
        SCOPED_TRACE(twice ? "two signals" : "one signal");
        QDir(courseFolder({})).removeRecursively();
        QFile::remove(m_home.filePath(QStringLiteral("diag.log")));
        auto p = startCli({"transcribe", s_librivox.path, "--json", "--engine", "deepseek", "--course"});
        ASSERT_TRUE(waitFor([&] { return submittedSentences() >= 3; }, 120000)) << diagLog().toStdString();
        ::kill(pid_t(p->processId()), SIGINT);
        if (twice) {
            QThread::msleep(50);
            ::kill(pid_t(p->processId()), SIGINT);
        }
        ASSERT_TRUE(ended(*p));
        const QString err = QString::fromUtf8(p->readAllStandardError());
        EXPECT_EQ(p->exitCode(), 75) << err.toStdString();
        const auto printed = parseEntries(QString::fromUtf8(p->readAllStandardOutput()));
        EXPECT_GE(int(printed.size()), submittedSentences()) << err.toStdString();
        for (const auto &e : printed)
            EXPECT_EQ(e.target, QStringLiteral("（译文缺失，请参考英文原文）"));
        const auto files = courseFiles();
        ASSERT_EQ(files.size(), 1u) << err.toStdString();
        EXPECT_FALSE(files[0].inProgress);
        ASSERT_EQ(files[0].entries.size(), printed.size());
        for (size_t i = 0; i < printed.size(); ++i)
            EXPECT_EQ(files[0].entries[i].source, printed[i].source);
    }
}

TEST_F(Durability, TwoCoursesStartedTogetherKeepTwoArchives)
{
    auto a = startCli({"transcribe", s_librivox.path, "--json", "--no-translate", "--course"});
    auto b = startCli({"transcribe", s_librivox.path, "--json", "--no-translate", "--course"});
    ASSERT_TRUE(ended(*a, 300000) && ended(*b, 300000));
    EXPECT_EQ(a->exitCode(), 0);
    EXPECT_EQ(b->exitCode(), 0);
    const QString errA = QString::fromUtf8(a->readAllStandardError());
    const QString errB = QString::fromUtf8(b->readAllStandardError());
    const auto files = courseFiles();
    ASSERT_EQ(files.size(), 2u) << errA.toStdString() << errB.toStdString();
    EXPECT_EQ(files[0].entries.size(), files[1].entries.size());
    EXPECT_FALSE(files[0].entries.empty());
}

// SIGKILL in the middle of a course on a test microphone: what landed is on
// disk, the next `history` finishes the course, the recording reads back;
// the next run first puts back the default input the killed run had
// switched, before it remembers one of its own.
TEST_F(Durability, SigkillMidCourseIsRecoveredAndTheDefaultInputRestored)
{
    VOX_REQUIRE_TEST_MICS(testMicsMissing());
    const QString original = pactl({"get-default-source"});
    ASSERT_EQ(original, QStringLiteral("vox_mic48"));
    // Whatever happens here, the microphones are left as they were found.
    struct PutBack {
        QString source;
        ~PutBack() { pactl({"set-default-source", source}); }
    } putBack{original};

    auto p = startCli({"listen", "--device", "vox_mic16", "--no-translate", "--json", "--course"});
    QString out;
    ASSERT_TRUE(waitFor([&] {
        out += QString::fromUtf8(p->readAllStandardOutput());
        return parseEntries(out).size() >= 3;
    }, 90000)) << diagLog().toStdString();
    // Give the last printed sentence the time the course file may lag (what
    // is printed meanwhile may still be on its way to the file).
    const auto printed = parseEntries(out);
    waitFor([] { return false; }, 2500);
    EXPECT_EQ(pactl({"get-default-source"}), QStringLiteral("vox_mic16"));
    ::kill(pid_t(p->processId()), SIGKILL);
    ASSERT_TRUE(ended(*p));

    auto files = courseFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files[0].inProgress);
    ASSERT_GE(files[0].entries.size(), printed.size());
    for (size_t i = 0; i < printed.size(); ++i)
        EXPECT_EQ(files[0].entries[i].source, printed[i].source);

    auto history = startCli({"history"});
    ASSERT_TRUE(ended(*history));
    const QString listed = QString::fromUtf8(history->readAllStandardOutput());
    EXPECT_TRUE(QString::fromUtf8(history->readAllStandardError()).contains(QStringLiteral("已恢复上次未正常结束的课程")));
    files = courseFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_FALSE(files[0].inProgress);
    EXPECT_TRUE(listed.contains(files[0].archivePath)) << listed.toStdString();
    ASSERT_TRUE(files[0].recordingURL.has_value());
    EXPECT_GT(soundSeconds(files[0].recordingPath()), 3.0);

    // The next run restores vox_mic48 first, so that is what it gives back.
    const int started = int(diagLog().count(QStringLiteral("识别请求已开启")));
    auto next = startCli({"listen", "--device", "vox_mic16", "--no-translate"});
    ASSERT_TRUE(waitForLog(QStringLiteral("识别请求已开启"), started + 1, 30000)) << diagLog().toStdString();
    next->terminate();
    ASSERT_TRUE(ended(*next));
    EXPECT_EQ(pactl({"get-default-source"}), original);
}

// The test microphone's module unloaded mid-course and loaded back: the run
// says so, keeps the course and captures again by itself, into one recording.
TEST_F(Durability, AMicrophoneUnloadedAndLoadedBackResumesTheCourse)
{
    VOX_REQUIRE_TEST_MICS(testMicsMissing());
    QString module, arguments;
    for (const QString &line : pactl({"list", "short", "modules"}).split(QLatin1Char('\n'))) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() >= 3 && f[1] == QLatin1String("module-remap-source") && f[2].contains("source_name=vox_mic16")) {
            module = f[0];
            arguments = f[2];
        }
    }
    ASSERT_FALSE(module.isEmpty());
    auto p = startCli({"listen", "--device", "vox_mic16", "--no-translate", "--course"});
    ASSERT_TRUE(waitForLog(QStringLiteral("识别请求已开启"), 1, 30000)) << diagLog().toStdString();
    waitFor([] { return false; }, 3000);

    pactl({"unload-module", module});
    struct Reload {
        QString args;
        bool done = false;
        void operator()()
        {
            if (!done)
                pactl({"load-module", "module-remap-source", args}); // parsed by PulseAudio itself
            done = true;
        }
        ~Reload() { (*this)(); }
    } reload{arguments};
    const bool noticed = waitForLog(QStringLiteral("麦克风采集中断"), 1, 15000);
    reload();
    EXPECT_TRUE(noticed) << diagLog().toStdString();
    EXPECT_TRUE(waitForLog(QStringLiteral("麦克风已恢复"), 1, 20000)) << diagLog().toStdString();
    EXPECT_TRUE(waitForLog(QStringLiteral("识别请求已开启"), 2, 20000));
    waitFor([] { return false; }, 3000);
    p->terminate();
    ASSERT_TRUE(ended(*p));
    const QString err = QString::fromUtf8(p->readAllStandardError());
    EXPECT_EQ(p->exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("麦克风连接中断"))) << err.toStdString();
    const auto files = courseFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_FALSE(files[0].inProgress);
    EXPECT_EQ(QDir(courseFolder(QStringLiteral("课堂录音"))).entryList(QDir::Files).size(), 1);
}

// A Desktop with no room left: the English is still printed, the run says
// the course could not be archived and ends non-zero, and the course file
// already there keeps its bytes.
TEST_F(Durability, AFullDesktopIsReportedAndEarlierFilesStayIntact)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs a private tmpfs mount (root)";
    const QByteArray desktop = QFile::encodeName(m_home.filePath(QStringLiteral("Desktop")));
    if (mount("tmpfs", desktop.constData(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "tmpfs mount not permitted here";
    struct Unmount {
        QByteArray p;
        ~Unmount() { umount2(p.constData(), MNT_DETACH); }
    } unmount{desktop};
    ASSERT_TRUE(QDir().mkpath(courseFolder(QStringLiteral("记录"))));
    const QString earlier = courseFolder(QStringLiteral("记录/2020-01-01 08-00-00.json"));
    const QByteArray earlierBytes =
        CourseSession(Date::fromUnix(1'577'865'600), Date::fromUnix(1'577'869'200), {}, std::nullopt).encode();
    ASSERT_TRUE(writeFile(earlier, earlierBytes));
    QFile filler(m_home.filePath(QStringLiteral("Desktop/filler")));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size()) {
    }
    filler.close();

    auto p = startCli({"transcribe", s_librivox.path, "--json", "--no-translate", "--course"});
    ASSERT_TRUE(ended(*p, 300000));
    const QString err = QString::fromUtf8(p->readAllStandardError());
    EXPECT_EQ(p->exitCode(), 73) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("课程未能存档"))) << err.toStdString();
    EXPECT_FALSE(parseEntries(QString::fromUtf8(p->readAllStandardOutput())).empty());
    EXPECT_EQ(readFile(earlier), earlierBytes);
}

} // namespace

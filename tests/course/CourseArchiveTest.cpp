// The course archive on a temporary Desktop.
#include "course/CourseArchive.h"
#include "platform/Process.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vox;
using namespace vox::test;

namespace {

CourseSession makeCourse(Date start, std::vector<std::pair<QString, QString>> texts, double length = 3600)
{
    std::vector<TranslationEntry> entries;
    double t = 1;
    for (auto &[src, tgt] : texts)
        entries.emplace_back(start.addSeconds(t++), src, tgt, t);
    return CourseSession(start, start.addSeconds(length), std::move(entries), std::nullopt);
}

class CourseArchiveTest : public ::testing::Test {
protected:
    QString archivePath() const { return m_desktop.courseFolder() + QStringLiteral("/记录"); }
    void makeArchiveFolder() { ASSERT_TRUE(QDir().mkpath(archivePath())); }

    ScopedDesktop m_desktop;
};

} // namespace

TEST_F(CourseArchiveTest, MissingFolderOrDesktopGivesNothingAndCreatesNothing)
{
    EXPECT_TRUE(CourseArchive::loadAll().empty());
    EXPECT_FALSE(QFileInfo::exists(m_desktop.courseFolder()));

    m_desktop->setDesktop({});
    EXPECT_FALSE(CourseArchive::folder().has_value());
    CourseArchive::save(makeCourse(localDate(2025, 3, 3, 9, 5, 7), {{"a", "甲"}}));
    EXPECT_TRUE(CourseArchive::loadAll().empty());
    EXPECT_FALSE(QFileInfo::exists(m_desktop.courseFolder()));
}

TEST_F(CourseArchiveTest, EveryCourseGetsItsOwnFileAndARewriteStaysInIt)
{
    const Date start = localDate(2025, 3, 3, 9, 5, 7);
    CourseSession course = makeCourse(start, {{"Hello", "你好"}, {"World", "世界"}});
    const auto first = CourseArchive::save(course);
    ASSERT_TRUE(first.ok());
    const QString path = archivePath() + QStringLiteral("/2025-03-03 09-05-07.json");
    EXPECT_EQ(first.value(), path);
    EXPECT_EQ(readFile(path), course.encode());

    // A second course started in the same second never replaces the first.
    const CourseSession later = makeCourse(start.addSeconds(0.4), {{"later", "晚"}});
    const auto second = CourseArchive::save(later);
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(QFileInfo(second.value()).fileName(), QStringLiteral("2025-03-03 09-05-07 (2).json"));
    EXPECT_EQ(readFile(path), course.encode());

    // A course that knows its file is written back into it.
    course.archivePath = path;
    course.entries[0].target = QStringLiteral("您好");
    ASSERT_TRUE(CourseArchive::save(course).ok());
    // No temporary file is left beside them.
    EXPECT_EQ(QDir(archivePath()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    const auto all = CourseArchive::loadAll();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].archivePath, second.value());
    EXPECT_EQ(all[1].archivePath, path);
    EXPECT_EQ(all[1].entries[0].target, QStringLiteral("您好"));
}

TEST_F(CourseArchiveTest, ACourseLeftInProgressByAGoneProcessIsRecoveredWithItsWaitingEnglish)
{
    const Date start = localDate(2025, 3, 3, 9, 5, 7);
    auto inProgress = [&](qint64 pid, const QString &started) {
        CourseSession c = makeCourse(start, {{"landed", "已译"}}, 0);
        c.inProgress = true;
        c.owner = CourseOwner{pid, started};
        c.pendingEntries.emplace_back(start.addSeconds(50), QStringLiteral("waiting"), QStringLiteral("（缺）"), 40);
        c.summaryPoints = {QStringLiteral("要点")};
        return c;
    };
    // One whose process is gone (a pid that cannot exist), one of this very
    // process (still running: left alone), and a finished one.
    const auto gone = CourseArchive::save(inProgress(1 << 30, QStringLiteral("1")));
    const auto running = CourseArchive::save(
        inProgress(Process::currentPid(), Process::startTime(Process::currentPid())));
    ASSERT_TRUE(CourseArchive::save(makeCourse(start, {{"done", "完"}})).ok());
    ASSERT_TRUE(gone.ok() && running.ok());

    // In-progress courses are not listed as finished ones.
    EXPECT_EQ(CourseArchive::loadAll().size(), 1u);

    const auto recovered = CourseArchive::recoverInterrupted();
    ASSERT_EQ(recovered.size(), 1u);
    EXPECT_EQ(recovered[0].archivePath, gone.value());
    const auto reread = CourseSession::decode(readFile(gone.value()));
    ASSERT_TRUE(reread.has_value());
    ASSERT_EQ(reread->entries.size(), 2u);
    EXPECT_EQ(reread->entries[1].source, QStringLiteral("waiting"));
    EXPECT_EQ(reread->endDate, start.addSeconds(50)); // its last sentence
    EXPECT_EQ(reread->summaryPoints, QStringList{QStringLiteral("要点")});
    EXPECT_FALSE(readFile(gone.value()).contains("inProgress"));

    EXPECT_EQ(CourseArchive::loadAll().size(), 2u);
    EXPECT_TRUE(CourseArchive::recoverInterrupted().empty());
}

TEST_F(CourseArchiveTest, LoadsNewestFirstAndSkipsBrokenForeignNonJsonAndSpecialFiles)
{
    makeArchiveFolder();
    // Devices, fifos and folders are skipped without blocking.
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), archivePath() + QStringLiteral("/zero.json")));
    ASSERT_EQ(mkfifo(QFile::encodeName(archivePath() + QStringLiteral("/pipe.json")).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkpath(archivePath() + QStringLiteral("/folder.json")));
    const Date early = localDate(2025, 1, 1, 8, 0, 0);
    const Date mid = localDate(2025, 1, 15, 8, 0, 0);
    const Date late = localDate(2025, 2, 1, 8, 0, 0);
    const QByteArray good = makeCourse(late, {{"one", "一"}}).encode();
    const std::pair<const char *, QByteArray> files[] = {
        {"broken.json", good.left(20)},
        {"notes.txt", good},
        {"upper.JSON", good},
        // Equal starts stay adjacent in listing order; a hidden file is an
        // ordinary archive file too.
        {"a.json", makeCourse(mid, {{"first", ""}}).encode()},
        {"c.json", makeCourse(mid, {{"second", ""}}).encode()},
        {".hidden.json", makeCourse(early, {}).encode()},
        {"d.json", good},
    };
    for (const auto &[name, bytes] : files)
        ASSERT_TRUE(writeFile(archivePath() + QLatin1Char('/') + QString::fromUtf8(name), bytes));

    const auto all = CourseArchive::loadAll();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].entries[0].source, QStringLiteral("one"));
    EXPECT_EQ(all[1].entries[0].source, QStringLiteral("first"));
    EXPECT_EQ(all[2].entries[0].source, QStringLiteral("second"));
    EXPECT_EQ(all[3].startDate, early);
}

TEST_F(CourseArchiveTest, SearchInBothLanguages)
{
    const Date d = localDate(2025, 1, 1, 8, 0, 0);
    const std::vector<CourseSession> courses = {
        makeCourse(d, {{"the mitochondria is here", "线粒体在这里"}}),
        makeCourse(d, {}),
        makeCourse(d, {{"nothing", "DNA 复制"}, {"Photosynthesis", "光合作用"}}),
    };
    // Blank finds all; English in any case, the Chinese side exactly (a Latin
    // word there in another case does not match); the input's order is kept.
    const std::pair<const char *, std::vector<int>> cases[] = {
        {"  \n ", {0, 1, 2}}, {" MITOCHONDRIA ", {0}}, {"photo", {2}}, {"光合", {2}}, {"dna", {}}, {"DNA", {2}}, {"o", {0, 2}}};
    for (const auto &[keyword, expected] : cases) {
        std::vector<QUuid> found, want;
        for (const auto &c : CourseArchive::search(courses, QString::fromUtf8(keyword)))
            found.push_back(c.id);
        for (int i : expected)
            want.push_back(courses[size_t(i)].id);
        EXPECT_EQ(found, want) << keyword;
    }
}

TEST_F(CourseArchiveTest, AWriteThatFailsIsReportedAndKeepsTheOldFile)
{
    const Date start = localDate(2025, 3, 3, 9, 5, 7);
    CourseSession course = makeCourse(start, {{"old", "旧"}});
    const auto saved = CourseArchive::save(course);
    ASSERT_TRUE(saved.ok());
    course.archivePath = saved.value();
    const QByteArray before = readFile(course.archivePath);

    // Root ignores permission bits: act as an ordinary user for the file system.
    const QString home = QFileInfo(m_desktop.path()).path(); // the temporary folder, made passable too
    for (QString p = archivePath(); p.startsWith(home); p = QFileInfo(p).path())
        QFile::setPermissions(p, QFileDevice::Permissions(0x7555));
    QFile::setPermissions(archivePath(), QFileDevice::Permissions(0x5555));
    QFile::setPermissions(course.archivePath, QFileDevice::Permissions(0x6666)); // the file itself stays writable
    const bool root = geteuid() == 0;
    if (root)
        setfsuid(65534);
    course.entries[0].target = QStringLiteral("新");
    const auto readOnly = CourseArchive::save(course);
    const auto another = CourseArchive::save(makeCourse(start, {}));
    if (root)
        setfsuid(0);
    QFile::setPermissions(archivePath(), QFileDevice::Permissions(0x7777));

    EXPECT_FALSE(readOnly.ok());
    EXPECT_FALSE(another.ok());
    EXPECT_FALSE(readOnly.error().message.isEmpty());
    EXPECT_EQ(readFile(course.archivePath), before);
    EXPECT_EQ(QDir(archivePath()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// The course archive on a temporary Desktop.
#include "course/CourseArchive.h"
#include "platform/Platform.h"
#include "platform/fake/FakeDesktopServices.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace vox;

namespace {

Date localDate(int y, int mo, int d, int h, int mi, int s)
{
    return Date::fromQDateTime(QDateTime(QDate(y, mo, d), QTime(h, mi, s)));
}

CourseSession makeCourse(Date start, std::vector<std::pair<QString, QString>> texts, double length = 3600)
{
    std::vector<TranslationEntry> entries;
    double t = 1;
    for (auto &[src, tgt] : texts)
        entries.emplace_back(start.addSeconds(t++), src, tgt, t);
    return CourseSession(start, start.addSeconds(length), std::move(entries), std::nullopt);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class CourseArchiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_saved = platform();
        Platform p = m_saved;
        m_desktop = std::make_shared<fake::FakeDesktopServices>(desktopPath());
        p.desktop = m_desktop;
        setPlatform(p);
    }
    void TearDown() override { setPlatform(m_saved); }

    QString desktopPath() const { return m_dir.filePath(QStringLiteral("Desktop")); }
    QString archivePath() const { return desktopPath() + QStringLiteral("/课程记录/记录"); }
    QString archiveFile(Date start) const
    {
        return archivePath() + QLatin1Char('/') + CourseArchive::fileName(makeCourse(start, {}));
    }
    void makeArchiveFolder() { ASSERT_TRUE(QDir().mkpath(archivePath())); }

    QTemporaryDir m_dir;
    Platform m_saved;
    std::shared_ptr<fake::FakeDesktopServices> m_desktop;
};

} // namespace

TEST_F(CourseArchiveTest, MissingFolderOrDesktopGivesNothingAndCreatesNothing)
{
    ASSERT_TRUE(QDir().mkpath(desktopPath()));
    EXPECT_TRUE(CourseArchive::loadAll().empty());
    EXPECT_FALSE(QFileInfo::exists(desktopPath() + QStringLiteral("/课程记录")));

    m_desktop->setDesktop({});
    EXPECT_FALSE(CourseArchive::folder().has_value());
    CourseArchive::save(makeCourse(localDate(2025, 3, 3, 9, 5, 7), {{"a", "甲"}}));
    EXPECT_TRUE(CourseArchive::loadAll().empty());
    EXPECT_FALSE(QFileInfo::exists(desktopPath() + QStringLiteral("/课程记录")));
}

TEST_F(CourseArchiveTest, SaveNamesTheFileByStartAndALaterSaveInTheSameSecondReplacesIt)
{
    const Date start = localDate(2025, 3, 3, 9, 5, 7);
    const CourseSession course = makeCourse(start, {{"Hello", "你好"}, {"World", "世界"}});
    CourseArchive::save(course);
    const QString path = archivePath() + QStringLiteral("/2025-03-03 09-05-07.json");
    EXPECT_EQ(readFile(path), course.encode());

    const CourseSession later = makeCourse(start.addSeconds(0.4), {{"later", "晚"}});
    CourseArchive::save(later);
    EXPECT_EQ(readFile(path), later.encode());
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(archivePath()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    const auto all = CourseArchive::loadAll();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_NE(all[0].id, later.id);
    EXPECT_EQ(all[0].startDate, later.startDate);
    ASSERT_EQ(all[0].entries.size(), 1u);
    EXPECT_EQ(all[0].entries[0].target, QStringLiteral("晚"));
}

TEST_F(CourseArchiveTest, LoadsNewestFirstAndSkipsBrokenForeignAndNonJsonFiles)
{
    makeArchiveFolder();
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
    ASSERT_TRUE(QDir().mkpath(archivePath() + QStringLiteral("/folder.json")));

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
    auto ids = [](const std::vector<CourseSession> &cs) {
        std::vector<QUuid> v;
        for (auto &c : cs)
            v.push_back(c.id);
        return v;
    };
    EXPECT_EQ(ids(CourseArchive::search(courses, QStringLiteral("  \n "))), ids(courses));
    EXPECT_EQ(ids(CourseArchive::search(courses, QStringLiteral(" MITOCHONDRIA "))), std::vector<QUuid>{courses[0].id});
    EXPECT_EQ(ids(CourseArchive::search(courses, QStringLiteral("photo"))), std::vector<QUuid>{courses[2].id});
    EXPECT_EQ(ids(CourseArchive::search(courses, QStringLiteral("光合"))), std::vector<QUuid>{courses[2].id});
    // The Chinese side is compared exactly: a Latin word there in another case does not match.
    EXPECT_TRUE(CourseArchive::search(courses, QStringLiteral("dna")).empty());
    EXPECT_EQ(ids(CourseArchive::search(courses, QStringLiteral("DNA"))), std::vector<QUuid>{courses[2].id});
    // Order of the input is kept.
    EXPECT_EQ(
        ids(CourseArchive::search(courses, QStringLiteral("o"))), (std::vector<QUuid>{courses[0].id, courses[2].id}));
}

TEST_F(CourseArchiveTest, SaveIntoReadOnlyFolderFailsSilentlyAndKeepsTheOldFile)
{
    const Date start = localDate(2025, 3, 3, 9, 5, 7);
    CourseArchive::save(makeCourse(start, {{"old", "旧"}}));
    const QString path = archiveFile(start);
    const QByteArray before = readFile(path);
    ASSERT_FALSE(before.isEmpty());

    // Open the way for an unprivileged user, but make the archive folder read-only.
    for (QString p = archivePath(); p.startsWith(m_dir.path()); p = QFileInfo(p).path())
        QFile::setPermissions(p, QFileDevice::Permissions(0x7555));
    QFile::setPermissions(archivePath(), QFileDevice::Permissions(0x5555));
    QFile::setPermissions(path, QFileDevice::Permissions(0x6666)); // the file itself stays writable

    // Root ignores permission bits: act as an ordinary user for the file system.
    const bool root = geteuid() == 0;
    if (root)
        setfsuid(65534);
    CourseArchive::save(makeCourse(start, {{"new", "新"}}));
    if (root)
        setfsuid(0);
    QFile::setPermissions(archivePath(), QFileDevice::Permissions(0x7777));

    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(QDir(archivePath()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(CourseArchiveTest, FullDiskNeverLeavesATruncatedArchive)
{
    // A small file system of its own stands in for a full disk.
    if (geteuid() != 0)
        GTEST_SKIP() << "needs a private tmpfs mount (root)";
    ASSERT_TRUE(QDir().mkpath(desktopPath()));
    const QByteArray mountPoint = QFile::encodeName(desktopPath());
    if (mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "tmpfs mount not permitted here";
    struct Unmount {
        QByteArray p;
        ~Unmount() { umount2(p.constData(), MNT_DETACH); }
    } unmount{mountPoint};

    const Date start = localDate(2025, 3, 3, 9, 5, 7);
    CourseArchive::save(makeCourse(start, {{"small course", "小课"}}));
    const QString path = archiveFile(start);
    const QByteArray before = readFile(path);
    ASSERT_FALSE(before.isEmpty());

    std::vector<std::pair<QString, QString>> many;
    for (int i = 0; i < 2000; ++i)
        many.emplace_back(
            QStringLiteral("a sentence long enough to fill the disk %1").arg(i), QStringLiteral("填满磁盘的句子"));
    CourseArchive::save(makeCourse(start, many));

    EXPECT_EQ(readFile(path), before);
    const auto all = CourseArchive::loadAll();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].entries[0].source, QStringLiteral("small course"));
    EXPECT_EQ(QDir(archivePath()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// Whole-file writes that keep the old file on any failure, and reads that
// take only regular files.
#include "platform/Files.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vox;
using vox::test::readFile;

namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const char *name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    int entries() const { return int(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size()); }
    QTemporaryDir m_dir;
};

TEST_F(FilesTest, AFullDiskOrAReadOnlyFolderKeepsTheOldFileAndReportsIt)
{
    // A small file system of its own stands in for a full disk: small writes
    // fail only when the data is flushed, which must not pass for success.
    if (geteuid() != 0)
        GTEST_SKIP() << "needs a private tmpfs mount (root)";
    const QByteArray mountPoint = QFile::encodeName(m_dir.path());
    if (mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "tmpfs mount not permitted here";
    struct Unmount {
        QByteArray p;
        ~Unmount() { umount2(p.constData(), MNT_DETACH); }
    } unmount{mountPoint};

    const QString target = path("course.json");
    ASSERT_TRUE(Files::writeAtomically(target, "old bytes").ok());
    // Fill the disk so that even a few bytes do not fit any more.
    QFile filler(path("filler"));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size()) {
    }
    filler.close();

    for (const QByteArray &bytes : {QByteArray(23, 'a'), QByteArray(200000, 'b')}) {
        const auto written = Files::writeAtomically(target, bytes);
        ASSERT_FALSE(written.ok()) << bytes.size();
        EXPECT_FALSE(written.error().message.isEmpty());
        EXPECT_EQ(readFile(target), QByteArray("old bytes"));
    }
    EXPECT_EQ(entries(), 2); // no temporary file left behind
    QFile::remove(path("filler"));

    // A folder the user may not write to.
    QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x5555));
    const bool root = geteuid() == 0;
    if (root)
        setfsuid(65534);
    const auto denied = Files::writeAtomically(target, "new");
    const auto claimed = Files::createExclusively(path("other.json"));
    if (root)
        setfsuid(0);
    QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7777));
    EXPECT_FALSE(denied.ok());
    EXPECT_FALSE(claimed.ok());
    EXPECT_EQ(readFile(target), QByteArray("old bytes"));
}

TEST_F(FilesTest, AWriteKeepsTheFileModeAndAClaimIsExclusive)
{
    const QString target = path("settings.conf");
    ASSERT_TRUE(Files::writeAtomically(target, "a", 0600).ok());
    EXPECT_EQ(QFile::permissions(target) & 0x0FFF, QFileDevice::ReadUser | QFileDevice::WriteUser);
    ASSERT_TRUE(Files::writeAtomically(target, "b", 0644).ok()); // an existing file keeps its mode
    EXPECT_EQ(QFile::permissions(target) & 0x0FFF, QFileDevice::ReadUser | QFileDevice::WriteUser);
    EXPECT_EQ(readFile(target), QByteArray("b"));

    EXPECT_TRUE(Files::createExclusively(path("claim")).ok());
    const auto again = Files::createExclusively(path("claim"));
    ASSERT_FALSE(again.ok());
    EXPECT_EQ(again.error().code, EEXIST);
}

TEST_F(FilesTest, OnlyRegularFilesWithinTheLimitAreRead)
{
    ASSERT_TRUE(Files::writeAtomically(path("small"), "12345").ok());
    EXPECT_EQ(Files::readRegularFile(path("small")).value(), QByteArray("12345"));
    EXPECT_FALSE(Files::readRegularFile(path("small"), 4).ok());

    ASSERT_EQ(mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path("zero-link")));
    for (const QString &p : {QStringLiteral("/dev/zero"), path("fifo"), path("zero-link"), m_dir.path(), path("missing")}) {
        const auto read = Files::readRegularFile(p); // returns at once, whatever p is
        EXPECT_FALSE(read.ok()) << p.toStdString();
        EXPECT_FALSE(Files::isRegularFile(p)) << p.toStdString();
    }
    ASSERT_TRUE(QFile::link(path("small"), path("small-link")));
    EXPECT_EQ(Files::readRegularFile(path("small-link")).value(), QByteArray("12345"));
}

} // namespace

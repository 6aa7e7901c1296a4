// One instance per user: a second launch reaches the first and is told to
// end; a socket file left by a killed instance does not stand in the way.
#include "ui/SingleInstance.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace vox;

TEST(SingleInstance, ASecondLaunchAsksTheFirstToShowItself)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("voxleaf-test.socket"));
    SingleInstance first(name);
    ASSERT_EQ(first.claim(), SingleInstance::Role::First);
    EXPECT_TRUE(first.isListening()) << first.error().toStdString();
    QSignalSpy activated(&first, &SingleInstance::activationRequested);

    SingleInstance second(name);
    EXPECT_EQ(second.claim(), SingleInstance::Role::Second);
    EXPECT_TRUE(activated.wait(2000));
    EXPECT_EQ(activated.count(), 1);
}

TEST(SingleInstance, ASocketLeftByAKilledInstanceIsReplaced)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("voxleaf-test.socket"));
    // Bound and never unlinked, as a killed process leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray path = name.toLocal8Bit();
    ASSERT_LT(size_t(path.size()), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, path.constData(), size_t(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(name));

    SingleInstance next(name);
    EXPECT_EQ(next.claim(), SingleInstance::Role::First);
    EXPECT_TRUE(next.isListening()) << next.error().toStdString();
    EXPECT_TRUE(next.error().isEmpty());
}

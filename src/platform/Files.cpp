#include "Files.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vox::Files {

namespace {

Error fileError(int code, const QString &text, const QString &path)
{
    return Error{QString::fromLatin1(kErrorDomain), code, text.arg(QFileInfo(path).fileName(), QString::fromLocal8Bit(std::strerror(code)))};
}

Error writeError(int code, const QString &path)
{
    return fileError(code, QStringLiteral("未能存储文件“%1”。（%2）"), path);
}

Error readError(int code, const QString &path)
{
    return fileError(code, QStringLiteral("未能读取文件“%1”。（%2）"), path);
}

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

Result<bool> writeAtomically(const QString &path, const QByteArray &bytes, int newFileMode)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    QByteArray tmpl = QFile::encodeName(QDir(folder).filePath(QStringLiteral(".%1.XXXXXX").arg(info.fileName())));
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0)
        return writeError(errno, path);
    auto fail = [&](int code) -> Result<bool> {
        ::close(fd);
        ::unlink(tmpl.constData());
        return writeError(code, path);
    };
    struct stat existing {};
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    const mode_t mode = ::stat(target.constData(), &existing) == 0 ? (existing.st_mode & 07777) : mode_t(newFileMode);
    if (::fchmod(fd, mode) != 0)
        return fail(errno);
    if (!writeAll(fd, bytes))
        return fail(errno);
    // The data must be on the disk before the name points at it, or a
    // crash right after the rename could leave an empty file behind.
    if (::fsync(fd) != 0)
        return fail(errno);
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(tmpl.constData());
        return writeError(code, path);
    }
    if (::rename(tmpl.constData(), target.constData()) != 0) {
        const int code = errno;
        ::unlink(tmpl.constData());
        return writeError(code, path);
    }
    syncFolder(folder);
    return true;
}

Result<bool> createExclusively(const QString &path, int mode)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return writeError(errno, path);
    ::close(fd);
    return true;
}

Result<QString> claimFreeName(const QString &folder, const QString &stem, const QString &suffix)
{
    for (int n = 1; n < 10000; ++n) {
        const QString name = n == 1 ? stem + suffix : QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(suffix);
        const QString path = QDir(folder).filePath(name);
        auto made = createExclusively(path);
        if (made)
            return path;
        if (made.error().code != EEXIST)
            return made.error();
    }
    return writeError(EEXIST, QDir(folder).filePath(stem + suffix));
}

Result<QByteArray> readRegularFile(const QString &path, qint64 limit)
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return readError(errno, path);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int code = errno;
        ::close(fd);
        return readError(code, path);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return Error{QString::fromLatin1(kErrorDomain), EINVAL,
                     QStringLiteral("“%1”不是普通文件，未读取。").arg(QFileInfo(path).fileName())};
    }
    if (st.st_size > limit) {
        ::close(fd);
        return Error{QString::fromLatin1(kErrorDomain), EFBIG,
                     QStringLiteral("文件“%1”过大（%2 MB），未读取。")
                         .arg(QFileInfo(path).fileName())
                         .arg(st.st_size / (1024 * 1024))};
    }
    QByteArray data;
    data.reserve(qsizetype(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            const int code = errno;
            ::close(fd);
            return readError(code, path);
        }
        if (n == 0)
            break;
        if (data.size() + n > limit) { // grew while being read
            ::close(fd);
            return Error{QString::fromLatin1(kErrorDomain), EFBIG,
                         QStringLiteral("文件“%1”过大，未读取。").arg(QFileInfo(path).fileName())};
        }
        data.append(buffer, n);
    }
    ::close(fd);
    return data;
}

bool isRegularFile(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace vox::Files

#include "Diag.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTimeZone>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vox {

QString defaultDiagPath()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state)) { // unset, empty or relative: ignored
        QString home = qEnvironmentVariable("HOME");
        if (!QDir::isAbsolutePath(home)) {
            if (const passwd *pw = ::getpwuid(::geteuid()); pw && pw->pw_dir)
                home = QFile::decodeName(pw->pw_dir);
        }
        if (!QDir::isAbsolutePath(home))
            return {};
        state = QDir(home).filePath(QStringLiteral(".local/state"));
    }
    return QDir::cleanPath(QDir(state).filePath(QStringLiteral("voxleaf/diag.log")));
}

QString diagPath()
{
    static const QString path = [] {
        const QByteArray env = qgetenv("VOXLEAF_DIAG_LOG");
        return env.isEmpty() ? defaultDiagPath() : QString::fromLocal8Bit(env);
    }();
    return path;
}

namespace {
std::mutex g_mutex;
bool g_warned = false;

// Makes the missing folders of `dir`, each readable by its owner only.
void makeFolders(const QByteArray &dir)
{
    for (qsizetype i = 1; i <= dir.size(); ++i) {
        if (i == dir.size() || dir[i] == '/')
            ::mkdir(dir.left(i).constData(), 0700); // an existing folder is left as it is
    }
}

// Once per process, on standard error: the log cannot be written safely.
void warnOnce(const QByteArray &path, const QString &why)
{
    if (g_warned)
        return;
    g_warned = true;
    const QByteArray text = QStringLiteral("诊断日志 %1：%2，不写入。\n").arg(QFile::decodeName(path), why).toUtf8();
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
}

void writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        p += n;
        left -= n;
    }
}

// A descriptor to append to, or -1. `replaced` tells what stood at the path
// when a fresh file took its place. Called with g_mutex held.
int openLog(const QByteArray &path, QString &replaced)
{
    // O_NONBLOCK: opening a FIFO never waits for a reader.
    constexpr int kFlags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    int fd = ::open(path.constData(), kFlags | O_CREAT, 0600);
    if (fd < 0 && errno == ENOENT) {
        const qsizetype slash = path.lastIndexOf('/');
        if (slash > 0)
            makeFolders(path.left(slash));
        fd = ::open(path.constData(), kFlags | O_CREAT, 0600);
    }
    const char *what = nullptr; // what stands at the path instead of our log
    if (fd < 0) {
        if (errno == ELOOP)
            what = "符号链接";
        else if (errno == ENXIO) // a FIFO without a reader, a socket
            what = "非普通文件";
        else
            return -1;
    } else {
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            ::close(fd);
            return -1;
        }
        if (S_ISCHR(st.st_mode))
            return fd;
        if (!S_ISREG(st.st_mode))
            what = "非普通文件";
        else if (st.st_uid != ::geteuid())
            what = "其他用户的文件";
        else if (st.st_nlink != 1)
            what = "另有名称（硬链接）的文件";
        if (!what) {
            if ((st.st_mode & 07777) != 0600 && ::fchmod(fd, 0600) != 0) {
                ::close(fd);
                warnOnce(path, QStringLiteral("无法设为仅本人可读写"));
                return -1;
            }
            return fd;
        }
        ::close(fd);
    }
    // Only the name is removed: a link's target and the other names of a
    // file are never touched.
    if (::unlink(path.constData()) != 0) {
        warnOnce(path, QStringLiteral("该位置是%1，无法移除").arg(QString::fromUtf8(what)));
        return -1;
    }
    fd = ::open(path.constData(), kFlags | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
        warnOnce(path, QStringLiteral("该位置原是%1，已移除，但无法新建").arg(QString::fromUtf8(what)));
        return -1;
    }
    replaced = QString::fromUtf8(what);
    return fd;
}

QByteArray stampedLine(const QString &text)
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return (QLatin1Char('[') + stamp + QStringLiteral(" +0000] ") + text + QLatin1Char('\n')).toUtf8();
}

void appendLine(const QString &prefix, const QString &message)
{
    const QByteArray line = stampedLine(prefix + message);
    const QByteArray path = QFile::encodeName(diagPath());
    if (path.isEmpty())
        return;
    std::lock_guard<std::mutex> lock(g_mutex);
    QString replaced;
    const int fd = openLog(path, replaced);
    if (fd < 0)
        return;
    if (!replaced.isEmpty())
        writeAll(fd, stampedLine(QStringLiteral("诊断日志位置原是%1，已移除并新建日志").arg(replaced)));
    writeAll(fd, line);
    ::close(fd);
}
} // namespace

void diag(const QString &message)
{
    appendLine(QString(), message);
}

void diagForwarder(const QString &message)
{
    appendLine(QStringLiteral("[forwarder] "), message);
}

void resetDiagLog()
{
    const QByteArray path = QFile::encodeName(diagPath());
    if (path.isEmpty())
        return;
    std::lock_guard<std::mutex> lock(g_mutex);
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return;
    if (S_ISLNK(st.st_mode) || (S_ISREG(st.st_mode) && st.st_uid == ::geteuid()))
        ::unlink(path.constData());
}

} // namespace vox

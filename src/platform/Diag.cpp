#include "Diag.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>

#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace vox {

QString diagPath()
{
    static const QString path = [] {
        const QByteArray env = qgetenv("VOXLEAF_DIAG_LOG");
        return env.isEmpty() ? QStringLiteral("/tmp/voxleaf_diag.log") : QString::fromLocal8Bit(env);
    }();
    return path;
}

namespace {
std::mutex g_mutex;

void appendLine(const QString &prefix, const QString &message)
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QByteArray line = (QLatin1Char('[') + stamp + QStringLiteral(" +0000] ") + prefix + message + QLatin1Char('\n')).toUtf8();
    const QByteArray path = QFile::encodeName(diagPath());
    std::lock_guard<std::mutex> lock(g_mutex);
    const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    const char *p = line.constData();
    qsizetype left = line.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n <= 0)
            break;
        p += n;
        left -= n;
    }
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
    std::lock_guard<std::mutex> lock(g_mutex);
    QFile::remove(diagPath());
}

} // namespace vox

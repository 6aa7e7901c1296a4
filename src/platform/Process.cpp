#include "Process.h"

#include <QFile>

#include <ctime>
#include <unistd.h>

namespace vox::Process {

qint64 currentPid()
{
    return qint64(::getpid());
}

QString startTime(qint64 pid)
{
    if (pid <= 0)
        return {};
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = f.readAll();
    // "pid (comm) state ppid …": the name may hold spaces and parentheses,
    // so the fields are counted from the last ')'. The start time is field 22.
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return {};
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    // fields[0] is field 3 (state): field 22 is fields[19].
    if (fields.size() < 20)
        return {};
    return QString::fromLatin1(fields.at(19));
}

double secondsSinceStart()
{
    // The kernel counts a process's start in ticks of the boot-time clock.
    bool ok = false;
    const qint64 ticks = startTime(currentPid()).toLongLong(&ok);
    const long perSecond = ::sysconf(_SC_CLK_TCK);
    timespec now{};
    if (!ok || perSecond <= 0 || ::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return -1;
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9 - double(ticks) / double(perSecond);
}

bool isRunning(qint64 pid, const QString &started)
{
    const QString now = startTime(pid);
    return !now.isEmpty() && (started.isEmpty() || now == started);
}

} // namespace vox::Process

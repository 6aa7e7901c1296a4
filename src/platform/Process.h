#pragma once
// Naming a process in a way that survives pid reuse: its pid together with
// the moment the kernel started it.
#include <QString>

namespace vox::Process {

qint64 currentPid();
// The start time of process `pid` as the kernel counts it (clock ticks since
// boot, as text), or empty when there is no such process.
QString startTime(qint64 pid);
// Seconds since the kernel started this process (10 ms steps), for the
// start-up timings in the diagnostics log; negative when unknown.
double secondsSinceStart();
// True while the process that had `started` as its start time still runs.
bool isRunning(qint64 pid, const QString &started);

} // namespace vox::Process

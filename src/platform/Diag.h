#pragma once
// The diagnostics log: plain text, one line per event,
// "[yyyy-MM-dd HH:mm:ss +0000] message". Safe from any thread; each line is
// written with a single append, so concurrent writers never tear a line.
//
// The log holds every sentence and translation, so it is its user's alone:
// created with mode 0600 (an existing file readable by others is tightened
// before a line goes in), in a folder made with mode 0700. It is never
// written through a symbolic link, into another user's file, into a file with
// a second name (hard link), nor into a FIFO or socket. A link or such a file
// at the log's path is replaced by a fresh log that says so; when it cannot
// be removed the line is dropped and standard error says why, once. A
// character device (/dev/null) is written as it is.
#include <QString>

namespace vox {

// $VOXLEAF_DIAG_LOG when set, otherwise defaultDiagPath(); fixed at the
// first call.
QString diagPath();
// "$XDG_STATE_HOME/voxleaf/diag.log", by default
// "~/.local/state/voxleaf/diag.log"; read from the environment at each call.
// Empty when there is no home folder.
QString defaultDiagPath();
void diag(const QString &message);
// Audio-path lines: "[date] [forwarder] message".
void diagForwarder(const QString &message);
// Deletes the log file (or a link in its place); a missing file is no error.
// Anything else at the path (a device, a folder) is left alone.
void resetDiagLog();

} // namespace vox

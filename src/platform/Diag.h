#pragma once
// The diagnostics log: plain text, one line per event,
// "[yyyy-MM-dd HH:mm:ss +0000] message". Safe from any thread; each line is
// written with a single append, so concurrent writers never tear a line.
#include <QString>

namespace vox {

// "/tmp/voxleaf_diag.log", or $VOXLEAF_DIAG_LOG when set.
QString diagPath();
void diag(const QString &message);
// Audio-path lines: "[date] [forwarder] message".
void diagForwarder(const QString &message);
// Deletes the log file; a missing file is no error.
void resetDiagLog();

} // namespace vox

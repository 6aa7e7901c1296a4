#pragma once
// Whole-file reads and writes that never lose what is already on disk.
#include "platform/Error.h"

#include <QByteArray>
#include <QString>

namespace vox::Files {

inline constexpr auto kErrorDomain = "File";
// What a single document (an archive, a subtitle file, a settings file) may
// reasonably weigh; anything larger is refused rather than read into memory.
inline constexpr qint64 kReadLimit = 256LL * 1024 * 1024;

// Replaces `path` with `bytes`, or leaves it exactly as it was. The bytes go
// to a temporary file in the same folder, are written unbuffered and synced,
// and only then renamed over the target: a full disk, a read-only folder or a
// crash at any point keeps the previous file. An existing file keeps its
// permissions; a new one gets `newFileMode`.
Result<bool> writeAtomically(const QString &path, const QByteArray &bytes, int newFileMode = 0644);

// Creates `path` empty, failing when anything of that name already exists
// (used to claim a file name that another process may want too).
Result<bool> createExclusively(const QString &path, int mode = 0644);

// Claims the first free name of "<stem><suffix>", "<stem> (2)<suffix>", …
// in `folder` by creating it empty, and returns its path: two writers never
// end up with the same file, and nothing earlier is ever overwritten.
Result<QString> claimFreeName(const QString &folder, const QString &stem, const QString &suffix);

// Reads a whole regular file of at most `limit` bytes. Devices, FIFOs,
// sockets and folders are refused without blocking on them (a symlink is
// followed to what it names, which must itself be a regular file).
Result<QByteArray> readRegularFile(const QString &path, qint64 limit = kReadLimit);

// True when `path` names a regular file (after following symlinks).
bool isRegularFile(const QString &path);

} // namespace vox::Files

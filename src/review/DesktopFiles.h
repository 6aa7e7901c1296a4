#pragma once
// Writing the review document and subtitle files into the Desktop folder
// "课程记录" (and its sub-folders).
#include "platform/Error.h"

#include <QString>
#include <optional>

namespace vox::DesktopFiles {

inline constexpr auto kErrorDomain = "File";

// Creates `folder` with any missing parents (an existing one is fine).
Result<bool> makeFolder(const QString &folder);
// Writes `text` as UTF-8 through a temporary file in the same folder that
// replaces `path` only once complete.
Result<bool> writeAtomically(const QString &path, const QString &text);

} // namespace vox::DesktopFiles

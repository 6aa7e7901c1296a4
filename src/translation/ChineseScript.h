#pragma once
// Traditional → Simplified Chinese with ICU's "Hant-Hans" transform.
#include <QString>

namespace vox {

// The text with Traditional characters replaced by Simplified ones; the text
// unchanged when the transform is unavailable or yields nothing.
QString toSimplifiedChinese(const QString &text);

} // namespace vox

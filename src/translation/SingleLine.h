#pragma once
// Sentences and translations shown as one line of plain text: in subtitle
// cues, where a line break would end the cue and "-->" would start a new one,
// and in the translation cache, which hands its text back as a translation.
#include <QString>

namespace vox {

// The text with every run of whitespace that holds a line break or another
// control character folded into one space (none at either end), and every
// arrow of two or more dashes ("-->", "--->") shortened to "->". Text without
// either comes back unchanged.
QString singleLine(const QString &text);

} // namespace vox

#pragma once
// The font size of the floating subtitle window's translations: the largest
// at which the shown entries, wrapped, fit the window's body, from the
// font-size setting up to a cap; the English line keeps its ratio to the
// Chinese one.
#include <QSizeF>
#include <QString>
#include <climits>
#include <vector>

namespace vox::subtitle {

// How the view lays out an entry: its text inset by the padding on a
// backdrop, the English line above the Chinese one, the entries one below
// the other.
inline constexpr int kEntryPaddingX = 10;
inline constexpr int kEntryPaddingY = 8;
inline constexpr int kEntryLineGap = 3;
inline constexpr int kEntryGap = 8;

struct ShownEntry {
    QString source;
    QString target;
};

struct FittedText {
    int chineseSize = 0;
    int englishSize = 0;
    // Lines each text may take; below INT_MAX only when even the setting's
    // size needs more room than the body has.
    int lineLimit = INT_MAX;
};

// The English line's size for the setting's Chinese size.
double englishFontSize(double subtitleFontSize);
// The largest size allowed for a setting of `baseSize` pixels.
int fitCap(double baseSize);
// The English size that goes with a Chinese `size` for that setting.
int englishSizeFor(int size, double baseSize);
// The entries' height in a body `width` wide, each text at most `lineLimit` lines.
double entriesHeight(const std::vector<ShownEntry> &entries, double width, int chineseSize, int englishSize,
                     int lineLimit = INT_MAX);
// The sizes for the entries in a body of `area`.
FittedText fitText(const std::vector<ShownEntry> &entries, const QSizeF &area, double baseSize);

} // namespace vox::subtitle

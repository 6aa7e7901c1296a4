#include "SubtitleTextFit.h"

#include <QFont>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace vox::subtitle {

namespace {

struct Laid {
    double height = 0;
    int lines = 0;
};

// The text wrapped as the view's Text items wrap it (at word boundaries, else
// anywhere), its height rounded up as theirs is.
Laid layOut(const QString &text, const QFont &font, double width, int lineLimit)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    Laid laid;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (laid.lines < lineLimit)
            laid.height += line.height();
        ++laid.lines;
    }
    layout.endLayout();
    laid.height = std::ceil(laid.height);
    return laid;
}

QFont fontOf(int pixelSize, bool chinese)
{
    QFont f;
    f.setPixelSize(pixelSize);
    if (chinese)
        f.setWeight(QFont::Medium);
    return f;
}

} // namespace

double englishFontSize(double subtitleFontSize)
{
    return std::max(subtitleFontSize - 2, 10.0);
}

int fitCap(double baseSize)
{
    return int(std::max(std::round(baseSize), std::min(std::floor(baseSize * 2.5), 48.0)));
}

int englishSizeFor(int size, double baseSize)
{
    return int(std::round(size * englishFontSize(baseSize) / baseSize));
}

double entriesHeight(const std::vector<ShownEntry> &entries, double width, int chineseSize, int englishSize,
                     int lineLimit)
{
    const double textWidth = std::max(1.0, width - 2 * kEntryPaddingX);
    const QFont english = fontOf(englishSize, false);
    const QFont chinese = fontOf(chineseSize, true);
    double height = 0;
    for (const ShownEntry &e : entries) {
        height += 2 * kEntryPaddingY + kEntryLineGap + layOut(e.source, english, textWidth, lineLimit).height
                  + layOut(e.target, chinese, textWidth, lineLimit).height;
    }
    if (!entries.empty())
        height += kEntryGap * double(entries.size() - 1);
    return height;
}

FittedText fitText(const std::vector<ShownEntry> &entries, const QSizeF &area, double baseSize)
{
    const int base = int(std::round(baseSize));
    FittedText fit{base, int(std::round(englishFontSize(baseSize))), INT_MAX};
    // Nothing to fit, or a body not laid out yet: the setting's sizes.
    if (entries.empty() || area.width() <= 0 || area.height() <= 0)
        return fit;
    for (int size = fitCap(baseSize); size > base; --size) {
        const int english = englishSizeFor(size, baseSize);
        if (entriesHeight(entries, area.width(), size, english) <= area.height())
            return {size, english, INT_MAX};
    }
    if (entriesHeight(entries, area.width(), fit.chineseSize, fit.englishSize) <= area.height())
        return fit;
    // Too long even at the setting's size: each text gives up lines, the
    // same number for all, until the entries fit (one line at the least).
    fit.lineLimit = 1;
    for (int limit = 8; limit > 1; --limit) {
        if (entriesHeight(entries, area.width(), fit.chineseSize, fit.englishSize, limit) <= area.height()) {
            fit.lineLimit = limit;
            break;
        }
    }
    return fit;
}

} // namespace vox::subtitle

#include "SingleLine.h"

namespace vox {

namespace {

const QString kArrow = QStringLiteral("-->");

// Line feeds, carriage returns, NEL, the Unicode line and paragraph
// separators, and every other control character except the tab.
bool isBreak(QChar c)
{
    if (c == QLatin1Char('\t'))
        return false;
    const QChar::Category cat = c.category();
    return cat == QChar::Other_Control || cat == QChar::Separator_Line || cat == QChar::Separator_Paragraph;
}

bool isBlank(QChar c)
{
    return isBreak(c) || c.isSpace();
}

bool isSingleLine(const QString &text)
{
    for (QChar c : text)
        if (isBreak(c))
            return false;
    return !text.contains(kArrow);
}

} // namespace

QString singleLine(const QString &text)
{
    if (isSingleLine(text))
        return text;
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        if (!isBlank(text[i])) {
            // "-->", "--->", ... become "->".
            if (text[i] == QLatin1Char('>')) {
                qsizetype dashes = 0;
                while (dashes < out.size() && out[out.size() - 1 - dashes] == QLatin1Char('-'))
                    ++dashes;
                if (dashes >= 2)
                    out.chop(dashes - 1);
            }
            out.append(text[i++]);
            continue;
        }
        // A run of whitespace: kept as it is unless it holds a break.
        const qsizetype begin = i;
        bool hasBreak = false;
        while (i < n && isBlank(text[i]))
            hasBreak = isBreak(text[i++]) || hasBreak;
        if (!hasBreak)
            out.append(QStringView(text).sliced(begin, i - begin));
        else if (begin > 0 && i < n)
            out.append(QLatin1Char(' '));
    }
    return out;
}

} // namespace vox

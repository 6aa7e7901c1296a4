#include "RecognitionTextAssembler.h"

#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>
#include <limits>

namespace vox {

namespace {

// location + length without overflow: saturates at the qint64 limits.
qint64 rangeEnd(const TextRange &r)
{
    qint64 end = 0;
    if (__builtin_add_overflow(r.location, r.length, &end))
        return r.length > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return end;
}

// The text a word's range points at, or empty when the range does not fit.
QStringView wordText(const QString &text, const RecognitionWord &w)
{
    const qint64 loc = w.range.location, len = w.range.length;
    if (loc < 0 || len < 0 || rangeEnd(w.range) > text.size())
        return {};
    return QStringView(text).mid(loc, len);
}

bool endsWithTerminator(QStringView w)
{
    if (w.isEmpty())
        return false;
    // Every terminator is a single UTF-16 unit; it must also be a whole
    // character on its own (not the tail of a longer grapheme cluster).
    if (!RecognitionTextAssembler::isSentenceTerminator(w.right(1)))
        return false;
    if (w.size() == 1)
        return true;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, w.toString());
    finder.toEnd();
    return finder.toPreviousBoundary() == w.size() - 1;
}

} // namespace

bool RecognitionTextAssembler::isSentenceTerminator(QStringView c)
{
    if (c.size() != 1)
        return false;
    switch (c.front().unicode()) {
    case u'.':
    case u'!':
    case u'?':
    case u'\u2026':
    case u'\u3002':
    case u'\uFF01':
    case u'\uFF1F':
        return true;
    default:
        return false;
    }
}

QString RecognitionTextAssembler::text(qsizetype from, std::optional<qsizetype> through) const
{
    const auto n = qsizetype(m_words.size());
    if (from < 0 || from >= n)
        return {};
    const qint64 length = m_formattedText.size();
    qint64 s = m_words[size_t(from)].range.location;
    if (s < 0 || s >= length)
        return {};
    qint64 e = length;
    if (through && *through < n) {
        if (*through < 0)
            return {};
        e = std::min(rangeEnd(m_words[size_t(*through)].range), length);
    }
    if (e <= s)
        return {};
    // Never split a surrogate pair: a range that cuts one keeps the character whole.
    if (s > 0 && m_formattedText.at(s).isLowSurrogate() && m_formattedText.at(s - 1).isHighSurrogate())
        --s;
    if (e < length && m_formattedText.at(e - 1).isHighSurrogate() && m_formattedText.at(e).isLowSurrogate())
        ++e;
    return m_formattedText.mid(s, e - s).trimmed();
}

std::optional<double> RecognitionTextAssembler::startTime(qsizetype k) const
{
    const double t = m_words[size_t(k)].timestamp;
    if (!std::isfinite(t))
        return std::nullopt;
    if (t > 0 || k == 0)
        return t;
    return std::nullopt;
}

void RecognitionTextAssembler::append(std::vector<RecognitionChunk> &chunks, qsizetype from, qsizetype through) const
{
    QString x = text(from, through);
    if (x.isEmpty())
        return;
    chunks.push_back(RecognitionChunk{std::move(x), startTime(from)});
}

std::vector<RecognitionChunk> RecognitionTextAssembler::take(bool includeIncomplete)
{
    std::vector<RecognitionChunk> chunks;
    qsizetype start = m_emittedWordCount;
    const auto n = qsizetype(m_words.size());
    if (start >= n)
        return chunks;
    for (qsizetype i = start; i < n; ++i) {
        const QStringView w = wordText(m_formattedText, m_words[size_t(i)]);
        if (w.isEmpty() || !endsWithTerminator(w))
            continue;
        append(chunks, start, i);
        start = i + 1;
    }
    if (includeIncomplete && start < n) {
        append(chunks, start, n - 1);
        start = n;
    }
    m_emittedWordCount = start;
    return chunks;
}

QString RecognitionTextAssembler::normalizedWord(qsizetype at, const QString &text,
                                                 const std::vector<RecognitionWord> &words)
{
    if (at < 0 || at >= qsizetype(words.size()))
        return {};
    const QString lower = wordText(text, words[size_t(at)]).toString().toLower();
    QString out;
    out.reserve(lower.size());
    for (qsizetype i = 0; i < lower.size(); ++i) {
        const QChar c = lower.at(i);
        if (c.isHighSurrogate() && i + 1 < lower.size() && lower.at(i + 1).isLowSurrogate()) {
            const char32_t cp = QChar::surrogateToUcs4(c, lower.at(i + 1));
            if (QChar::isLetterOrNumber(cp)) {
                out.append(c);
                out.append(lower.at(i + 1));
            }
            ++i;
        } else if (!c.isSurrogate() && c.isLetterOrNumber()) {
            out.append(c);
        }
    }
    return out;
}

bool RecognitionTextAssembler::isRevocation(const QString &newText, const std::vector<RecognitionWord> &newWords) const
{
    const qsizetype e = m_emittedWordCount;
    if (qsizetype(m_words.size()) <= e)
        return false;
    if (qsizetype(newWords.size()) <= e)
        return true;
    const QString a = normalizedWord(e, m_formattedText, m_words);
    const QString b = normalizedWord(e, newText, newWords);
    if (!a.isEmpty() && !b.isEmpty() && (b.startsWith(a) || a.startsWith(b)))
        return false;
    return a != b;
}

std::vector<RecognitionChunk> RecognitionTextAssembler::update(const QString &formattedText,
                                                               std::vector<RecognitionWord> words,
                                                               bool salvageRevoked)
{
    std::vector<RecognitionChunk> rescued;
    if (salvageRevoked && isRevocation(formattedText, words)) {
        const qsizetype pending = qsizetype(m_words.size()) - m_emittedWordCount;
        rescued = take(pending >= 4);
    }
    m_formattedText = formattedText;
    m_words = std::move(words);
    m_emittedWordCount = std::min(qsizetype(m_words.size()), m_emittedWordCount);
    return rescued;
}

} // namespace vox

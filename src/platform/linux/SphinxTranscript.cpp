#include "SphinxTranscript.h"

#include <pocketsphinx.h>

#include <algorithm>

namespace vox {

namespace {

constexpr int kFramesPerSecond = 100;

QString capitalised(QString w)
{
    if (!w.isEmpty())
        w[0] = w[0].toUpper();
    return w;
}

bool sameSegments(const std::vector<RecognitionSegment> &a, const std::vector<RecognitionSegment> &b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](const RecognitionSegment &x, const RecognitionSegment &y) {
               return x.location == y.location && x.length == y.length && x.timestamp == y.timestamp
                   && x.duration == y.duration;
           });
}

} // namespace

namespace sphinx {

bool isFiller(const QString &word)
{
    return word.isEmpty() || word.startsWith(u'<') || word.startsWith(u'[') || word.startsWith(QLatin1String("++"));
}

// Plain character checks rather than a static regular expression: the
// decoder thread may still run while static objects are destroyed at exit.
QString stripAlternate(const QString &word)
{
    const qsizetype n = word.size();
    if (n < 3 || word.at(n - 1) != u')')
        return word;
    qsizetype i = n - 2;
    while (i >= 0 && word.at(i).isDigit() && word.at(i).unicode() < 128)
        --i;
    if (i < 0 || i == n - 2 || word.at(i) != u'(')
        return word;
    return word.left(i);
}

std::vector<Word> hypothesisWords(ps_decoder_t *ps)
{
    std::vector<Word> words;
    for (ps_seg_t *seg = ps_seg_iter(ps); seg; seg = ps_seg_next(seg)) {
        const QString w = QString::fromUtf8(ps_seg_word(seg));
        if (isFiller(w))
            continue;
        int sf = 0, ef = 0;
        ps_seg_frames(seg, &sf, &ef);
        const QString text = stripAlternate(w);
        if (text.isEmpty())
            continue;
        words.push_back(Word{text, sf, ef});
    }
    return words;
}

} // namespace sphinx

using sphinx::Word;

SphinxTranscript::SphinxTranscript(bool punctuate) : m_punctuate(punctuate), m_capitalizeNext(punctuate) {}

std::vector<Word> SphinxTranscript::formatted(const std::vector<Word> &raw, bool capitalizeFirst, bool period) const
{
    std::vector<Word> out = raw;
    if (!m_punctuate)
        return out;
    for (size_t i = 0; i < out.size(); ++i) {
        QString &t = out[i].text;
        if (t == QLatin1String("i") || t.startsWith(QLatin1String("i'")))
            t[0] = u'I';
        if (i == 0 && capitalizeFirst)
            t = capitalised(t);
    }
    if (period && !out.empty())
        out.back().text += u'.';
    return out;
}

void SphinxTranscript::endUtterance(const std::vector<Word> &words, bool sentenceEnd)
{
    if (!words.empty()) {
        const bool period = sentenceEnd && m_punctuate;
        for (Word &w : formatted(words, m_capitalizeNext, period))
            m_fixed.push_back(std::move(w));
        m_capitalizeNext = period;
    }
    m_live.clear();
}

RecognitionResult SphinxTranscript::assemble(const std::vector<Word> &live, bool isFinal) const
{
    RecognitionResult r;
    r.isFinal = isFinal;
    QString &text = r.bestTranscription.formattedString;
    auto add = [&](const Word &w) {
        if (!text.isEmpty())
            text += u' ';
        RecognitionSegment seg;
        seg.location = text.size();
        seg.length = w.text.size();
        seg.timestamp = double(w.startFrame) / kFramesPerSecond;
        seg.duration = double(std::max(0, w.endFrame - w.startFrame + 1)) / kFramesPerSecond;
        text += w.text;
        r.bestTranscription.segments.push_back(seg);
    };
    for (const Word &w : m_fixed)
        add(w);
    for (const Word &w : formatted(live, m_capitalizeNext, false))
        add(w);
    return r;
}

bool SphinxTranscript::markDelivered(const RecognitionResult &r)
{
    const auto &t = r.bestTranscription;
    const bool same = m_deliveredAny && t.formattedString == m_lastText && sameSegments(t.segments, m_lastSegments);
    if (same)
        return false;
    m_deliveredAny = true;
    m_lastText = t.formattedString;
    m_lastSegments = t.segments;
    return true;
}

} // namespace vox

#pragma once
// Measures and signals shared by the recognizer tests, the end-to-end tests
// and the recognizer benchmark: word error rate against a reference, and
// faint deterministic pink noise for the pauses between recordings (digital
// silence is not what a microphone delivers, and the speech detector treats
// it differently).
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <vector>

namespace vox::test {

// Lower-case words of `text`: letters, digits and apostrophes only.
inline QStringList normalizedWords(const QString &text)
{
    QString t = text.toLower();
    t.replace(QRegularExpression(QStringLiteral("[^a-z0-9' ]")), QStringLiteral(" "));
    return t.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// Word-level edit distance (substitutions, insertions, deletions).
inline int editDistance(const QStringList &reference, const QStringList &hypothesis)
{
    std::vector<int> prev(size_t(hypothesis.size()) + 1), cur(prev.size());
    for (size_t j = 0; j < prev.size(); ++j)
        prev[j] = int(j);
    for (qsizetype i = 1; i <= reference.size(); ++i) {
        cur[0] = int(i);
        for (qsizetype j = 1; j <= hypothesis.size(); ++j)
            cur[size_t(j)] = std::min({prev[size_t(j)] + 1, cur[size_t(j - 1)] + 1,
                                       prev[size_t(j - 1)] + (reference[i - 1] == hypothesis[j - 1] ? 0 : 1)});
        std::swap(prev, cur);
    }
    return prev[size_t(hypothesis.size())];
}

inline double wordErrorRate(const QString &reference, const QString &hypothesis)
{
    const QStringList r = normalizedWords(reference);
    return r.isEmpty() ? 0 : double(editDistance(r, normalizedWords(hypothesis))) / double(r.size());
}

// Appends `seconds` of pink noise at `rate` with the given RMS level; `seed`
// carries the generator on, so the same seed gives the same noise.
inline void appendPinkNoise(std::vector<float> &out, double seconds, quint32 &seed, double rms = 0.0015,
                            double rate = 16000)
{
    std::vector<double> n(size_t(seconds * rate));
    double b0 = 0, b1 = 0, b2 = 0, sum = 0;
    for (double &x : n) {
        seed = seed * 1664525u + 1013904223u;
        const double w = (double(seed >> 8) / double(1 << 24) - 0.5) * 2;
        b0 = 0.99765 * b0 + w * 0.0990460;
        b1 = 0.96300 * b1 + w * 0.2965164;
        b2 = 0.57000 * b2 + w * 1.0526913;
        x = b0 + b1 + b2 + w * 0.1848;
        sum += x * x;
    }
    const double scale = n.empty() ? 0 : rms / std::sqrt(sum / double(n.size()));
    for (double x : n)
        out.push_back(float(x * scale));
}

} // namespace vox::test

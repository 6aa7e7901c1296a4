#include "TranslationCache.h"

#include "platform/Settings.h"

#include <algorithm>

namespace vox::TranslationCache {

std::uint64_t stableHash(const QString &text)
{
    std::uint64_t h = 14695981039346656037ULL;
    const QByteArray utf8 = text.toUtf8();
    for (unsigned char b : utf8) {
        h ^= b;
        h *= 1099511628211ULL;
    }
    return h;
}

QString base36(std::uint64_t v)
{
    if (v == 0)
        return QStringLiteral("0");
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    QString out;
    while (v > 0) {
        out.prepend(QLatin1Char(digits[v % 36]));
        v /= 36;
    }
    return out;
}

QString glossaryFingerprint(const std::vector<GlossaryPair> &terms)
{
    QStringList parts;
    parts.reserve(qsizetype(terms.size()));
    for (const auto &t : terms)
        parts.append(t.source.toLower() + QLatin1Char('=') + t.target);
    return base36(stableHash(parts.join(QLatin1Char(';'))));
}

QString key(const QString &fingerprint, const QString &sentence)
{
    return QLatin1String(Keys::TranslationCachePrefix) + fingerprint + QLatin1Char('|') + sentence;
}

std::optional<QStringList> cachedResults(const QStringList &sentences, const QString &fingerprint)
{
    Settings &s = settings();
    QStringList out;
    out.reserve(sentences.size());
    for (const QString &sentence : sentences) {
        const QString k = key(fingerprint, sentence);
        if (!s.contains(k))
            return std::nullopt;
        const QVariant v = s.value(k);
        out.append(v.toString());
    }
    return out;
}

void cacheResults(const QStringList &results, const QStringList &sentences, const QString &fingerprint)
{
    Settings &s = settings();
    for (qsizetype i = 0; i < sentences.size() && i < results.size(); ++i) {
        if (results[i].isEmpty())
            continue;
        s.setValue(key(fingerprint, sentences[i]), results[i]);
        trimIfNeeded();
    }
}

void trimIfNeeded()
{
    Settings &s = settings();
    QStringList keys = s.keys(QLatin1String(Keys::TranslationCachePrefix));
    if (keys.size() <= kTrimThreshold)
        return;
    std::sort(keys.begin(), keys.end());
    const qsizetype n = std::min<qsizetype>(kTrimAmount, keys.size());
    for (qsizetype i = 0; i < n; ++i)
        s.remove(keys[i]);
}

} // namespace vox::TranslationCache

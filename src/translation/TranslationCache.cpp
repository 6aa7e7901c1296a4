#include "TranslationCache.h"

#include "SingleLine.h"
#include "platform/Settings.h"

#include <QPointer>
#include <algorithm>

namespace vox::TranslationCache {

namespace {

// The number of cache keys in the current store, kept so that a write does
// not have to list every key of the store; recounted whenever the store
// changes (tests and tools install their own) and after every trim.
struct KeyCount {
    QPointer<Settings> store;
    qsizetype count = 0;
};
KeyCount g_count;

qsizetype &cacheKeyCount()
{
    Settings &s = settings();
    if (g_count.store.data() != &s) {
        g_count.store = &s;
        g_count.count = s.keys(QLatin1String(Keys::TranslationCachePrefix)).size();
    }
    return g_count.count;
}

} // namespace

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
        const QString stored = singleLine(s.value(k).toString());
        if (stored.isEmpty())
            return std::nullopt;
        out.append(stored);
    }
    return out;
}

void cacheResults(const QStringList &results, const QStringList &sentences, const QString &fingerprint)
{
    Settings &s = settings();
    for (qsizetype i = 0; i < sentences.size() && i < results.size(); ++i) {
        const QString result = singleLine(results[i]);
        if (result.isEmpty())
            continue;
        const QString k = key(fingerprint, sentences[i]);
        qsizetype &count = cacheKeyCount();
        if (!s.contains(k))
            ++count;
        s.setValue(k, result);
        if (count > kTrimThreshold)
            trimIfNeeded();
    }
}

void trimIfNeeded()
{
    Settings &s = settings();
    QStringList keys = s.keys(QLatin1String(Keys::TranslationCachePrefix));
    if (keys.size() > kTrimThreshold) {
        std::sort(keys.begin(), keys.end());
        const qsizetype n = std::min<qsizetype>(kTrimAmount, keys.size());
        // One write of the store for the whole trim, not one per key.
        s.remove(keys.mid(0, n));
        keys.remove(0, n);
    }
    g_count.store = &s;
    g_count.count = keys.size();
}

} // namespace vox::TranslationCache

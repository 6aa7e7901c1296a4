#pragma once
// Finished translations kept across launches in the defaults store, keyed by
// "translation_cache_v1_" + glossary fingerprint + "|" + the English sentence
// exactly as recognized. Only whole batches hit; empty translations are never
// stored; more than 2000 entries drop the 1000 smallest keys. A translation
// goes in and comes out as one line (singleLine): a line break or "-->" from
// a translator never reaches a later subtitle through the cache.
#include "DeepSeekTranslationService.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace vox::TranslationCache {

inline constexpr int kTrimThreshold = 2000;
inline constexpr int kTrimAmount = 1000;

// FNV-1a 64 over the UTF-8 bytes.
std::uint64_t stableHash(const QString &text);
// Lower-case base-36 digits of a 64-bit value.
QString base36(std::uint64_t v);
// For each term in order: lower-cased source + "=" + target, joined with
// ";", hashed, in base 36. No terms: the hash of the empty text.
QString glossaryFingerprint(const std::vector<GlossaryPair> &terms);
QString key(const QString &fingerprint, const QString &sentence);

// Every sentence's stored translation, or nothing at the first missing one.
// An empty list gives an empty list. A stored value that is not one line
// (written before translations were folded) comes back folded; one that
// folds to nothing counts as missing.
std::optional<QStringList> cachedResults(const QStringList &sentences, const QString &fingerprint);
// Stores results[i] folded onto one line for sentences[i] (non-empty results
// only), trimming after each write.
void cacheResults(const QStringList &results, const QStringList &sentences, const QString &fingerprint);
void trimIfNeeded();

} // namespace vox::TranslationCache

// The persistent translation cache: fingerprint, whole-batch hits, trimming.
#include "translation/TranslationCache.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vox;
namespace TC = vox::TranslationCache;

TEST(TranslationCacheTest, FingerprintIsFnv1aInBase36OverTheNormalizedGlossary)
{
    EXPECT_EQ(TC::stableHash(QString()), 14695981039346656037ULL);
    EXPECT_EQ(TC::glossaryFingerprint({}), QStringLiteral("33niihzj4ux45"));
    // Reference values of FNV-1a 64.
    EXPECT_EQ(TC::stableHash(QStringLiteral("a")), 0xaf63dc4c8601ec8cULL);
    EXPECT_EQ(TC::stableHash(QStringLiteral("foobar")), 0x85944171f73967e8ULL);
    // Over UTF-8 bytes, not UTF-16 units.
    EXPECT_EQ(TC::stableHash(QStringLiteral("熵")), TC::stableHash(QString::fromUtf8("\xE7\x86\xB5")));
    EXPECT_EQ(TC::base36(0), QStringLiteral("0"));
    EXPECT_EQ(TC::base36(35), QStringLiteral("z"));
    EXPECT_EQ(TC::base36(36), QStringLiteral("10"));
    EXPECT_EQ(TC::base36(~0ULL), QStringLiteral("3w5e11264sgsf"));

    // The fingerprint follows targets and order, but not the case of sources.
    const std::vector<GlossaryPair> base{{"Entropy", "熵"}, {"GPU", "图形处理器"}};
    const QString fp = TC::glossaryFingerprint(base);
    EXPECT_EQ(fp, TC::base36(TC::stableHash(QStringLiteral("entropy=熵;gpu=图形处理器"))));
    EXPECT_EQ(TC::glossaryFingerprint({{"ENTROPY", "熵"}, {"gpu", "图形处理器"}}), fp);
    EXPECT_NE(TC::glossaryFingerprint({{"Entropy", "熵值"}, {"GPU", "图形处理器"}}), fp);
    EXPECT_NE(TC::glossaryFingerprint({{"GPU", "图形处理器"}, {"Entropy", "熵"}}), fp);
}

TEST(TranslationCacheTest, OnlyWholeBatchesHitAndEmptyResultsAreNeverStored)
{
    test::ScopedSettings settings;
    const QString fp = QStringLiteral("fp");
    EXPECT_EQ(TC::cachedResults({}, fp), QStringList{});

    TC::cacheResults({"一", "", "三"}, {"One.", "Two.", "Three."}, fp);
    EXPECT_EQ(settings->string("translation_cache_v1_fp|One."), QStringLiteral("一"));
    EXPECT_FALSE(settings->contains("translation_cache_v1_fp|Two."));
    EXPECT_EQ(TC::cachedResults({"One.", "Three."}, fp), (QStringList{"一", "三"}));
    EXPECT_EQ(TC::cachedResults({"One.", "Two."}, fp), std::nullopt);
    EXPECT_EQ(TC::cachedResults({"One."}, QStringLiteral("other")), std::nullopt);
    // Sentences are keys exactly as recognized: spaces and "/" kept.
    TC::cacheResults({"四"}, {" a/b \\ c "}, fp);
    EXPECT_EQ(TC::cachedResults({" a/b \\ c "}, fp), QStringList{"四"});
    EXPECT_EQ(TC::cachedResults({"a/b \\ c"}, fp), std::nullopt);
}

TEST(TranslationCacheTest, The2001stWriteDropsTheThousandSmallestKeys)
{
    // 2000 entries written straight into a store file (2000 single writes
    // would take minutes under the sanitizers).
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray ini = "[General]\n" + Settings::encodeKey(Keys::CourseSubject).toLatin1() + "=physics\n";
        for (int i = 0; i < 2000; ++i) {
            const QString k = TC::key(QStringLiteral("fp"), QStringLiteral("s%1").arg(i, 4, 10, QLatin1Char('0')));
            ini += Settings::encodeKey(k).toLatin1() + "=v" + QByteArray::number(i) + "\n";
        }
        f.write(ini);
    }
    Settings store(path);
    setSettings(&store);
    EXPECT_EQ(store.keys(Keys::TranslationCachePrefix).size(), 2000);
    EXPECT_EQ(TC::cachedResults({"s0000", "s1999"}, QStringLiteral("fp")), (QStringList{"v0", "v1999"}));

    // Rewriting a stored sentence adds no key and trims nothing.
    TC::cacheResults({"新0"}, {"s0000"}, QStringLiteral("fp"));
    EXPECT_EQ(store.keys(Keys::TranslationCachePrefix).size(), 2000);

    TC::cacheResults({"新"}, {"a-first-in-order"}, QStringLiteral("fp"));
    EXPECT_EQ(store.keys(Keys::TranslationCachePrefix).size(), 1001);
    // "a-first-in-order" < "s0000" < ... : it and s0000..s0998 went first.
    EXPECT_FALSE(store.contains("translation_cache_v1_fp|a-first-in-order"));
    EXPECT_FALSE(store.contains("translation_cache_v1_fp|s0998"));
    EXPECT_TRUE(store.contains("translation_cache_v1_fp|s0999"));
    EXPECT_TRUE(store.contains("translation_cache_v1_fp|s1999"));
    EXPECT_EQ(store.string(Keys::CourseSubject), QStringLiteral("physics"));
    setSettings(nullptr);
}

// A translator's answer holding line breaks or "-->" would come back from the
// cache as a later translation and forge subtitle cues: it is stored, and
// handed back, on one line.
TEST(TranslationCacheTest, TranslationsAreStoredAndReturnedOnOneLine)
{
    test::ScopedSettings settings;
    const QString fp = QStringLiteral("fp");
    const QString forged = QStringLiteral("第一句。\n\n2\n00:00:00,000 --> 00:00:05,000\n伪造的字幕");
    TC::cacheResults({forged, QStringLiteral("NOTE\r\n\r\nSTYLE\u2028::cue { color: red }"),
                         QStringLiteral("a\t--  > b ---> c"), QStringLiteral(" \n\u0085 ")},
        {"One.", "Two.", "Three.", "Four."}, fp);
    EXPECT_EQ(settings->string("translation_cache_v1_fp|One."),
        QStringLiteral("第一句。 2 00:00:00,000 -> 00:00:05,000 伪造的字幕"));
    EXPECT_EQ(settings->string("translation_cache_v1_fp|Two."), QStringLiteral("NOTE STYLE ::cue { color: red }"));
    // Tabs, spaces and dashes that make no arrow stay as they were.
    EXPECT_EQ(settings->string("translation_cache_v1_fp|Three."), QStringLiteral("a\t--  > b -> c"));
    // Nothing but breaks: nothing stored.
    EXPECT_FALSE(settings->contains("translation_cache_v1_fp|Four."));

    // A value stored before folding comes back folded; one that folds to
    // nothing is a miss.
    settings->setValue(TC::key(fp, QStringLiteral("Old.")), QStringLiteral("旧的\r\n译文-->"));
    EXPECT_EQ(TC::cachedResults({"One.", "Old."}, fp),
        (QStringList{QStringLiteral("第一句。 2 00:00:00,000 -> 00:00:05,000 伪造的字幕"), QStringLiteral("旧的 译文->")}));
    settings->setValue(TC::key(fp, QStringLiteral("Blank.")), QStringLiteral("\r\n"));
    EXPECT_EQ(TC::cachedResults({"One.", "Blank."}, fp), std::nullopt);
}

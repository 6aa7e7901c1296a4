// The live translation pipeline in virtual time, with a local DeepSeek
// imitation and a local translation server.
#include "translation/TranslationPipeline.h"
#include "glossary/GlossaryManager.h"
#include "support/ChatServer.h"
#include "support/TestEnv.h"
#include "translation/LocalTranslationSession.h"
#include "translation/TranslationCache.h"

#include <QJsonArray>
#include <algorithm>
#include <gtest/gtest.h>

using namespace vox;
using vox::test::HttpTestReply;
using vox::test::HttpTestServer;

namespace {

const QString kPlaceholder = QStringLiteral("（译文缺失，请参考英文原文）");
const QString kGaveUp = QStringLiteral("翻译多次失败，已把英文原文记入课程记录（译文缺失），请检查网络或翻译设置。");
const QString kIncomplete = QStringLiteral("翻译结果不完整，英文原文已保留，请稍后重试。");

struct StubHost : PipelineHost {
    std::vector<QString> errors;
    double requestStart = 0;
    int pendingCleared = 0;
    std::vector<QString> clearReasons;

    std::vector<PipelineNotice> settled;
    void raiseNotice(PipelineNotice, const QString &m) override { errors.push_back(m); }
    void settleNotice(PipelineNotice cause) override { settled.push_back(cause); }
    double requestStartRecordingTime() const override { return requestStart; }
    void clearPendingSince() override { ++pendingCleared; }
    void refreshRecognizedText() override { }
    void logRecognizedTextBeforeClear(const QString &reason) override { clearReasons.push_back(reason); }
    QString lastError() const { return errors.empty() ? QString() : errors.back(); }
};

std::vector<RecognitionChunk> chunks(const QStringList &texts)
{
    std::vector<RecognitionChunk> out;
    for (const auto &t : texts)
        out.push_back(RecognitionChunk{t, std::nullopt});
    return out;
}

class PipelineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        local.installLibreTranslate({"zh"}, [](const QString &s) { return QStringLiteral("本地:") + s; });
        session = std::make_shared<LocalTranslationSession>(local.url(), QStringLiteral("zh"));
    }
    void useDeepSeek(const QString &key = QStringLiteral("sk-test"))
    {
        pipeline.setTranslationEngine(TranslationEngine::DeepSeek);
        if (!key.isEmpty())
            settings->setValue(Keys::DeepSeekApiKey, key);
    }
    bool waitEntries(size_t n)
    {
        return test::waitFor([&] { return pipeline.translationEntries().size() >= n; });
    }
    QStringList targets() const
    {
        QStringList out;
        for (const auto &e : pipeline.translationEntries())
            out.append(e.target);
        return out;
    }

    test::ScopedSettings settings;
    test::ScopedVirtualTime time;
    test::ChatServer deepseek;
    HttpTestServer local;
    std::shared_ptr<LocalTranslationSession> session;
    StubHost host;
    TranslationPipeline pipeline{host};
};

} // namespace

TEST_F(PipelineTest, HandOverKeepsSpokenTextsAndComputesAudioTimes)
{
    pipeline.setTranslationSession(session);
    host.requestStart = 10;
    pipeline.submitChunks(chunks({"…", " , "}), "停顿");
    EXPECT_TRUE(pipeline.inFlightBatches().empty());
    EXPECT_EQ(host.pendingCleared, 0);
    EXPECT_EQ(local.requestCount(), 0);

    std::vector<RecognitionChunk> c{{"Alpha one.", std::nullopt}, {"?!", 1.0}, {"Beta two.", 2.5}, {"Gamma 3", -20.0}};
    pipeline.submitChunks(c, "停顿");
    EXPECT_EQ(host.pendingCleared, 1);
    ASSERT_EQ(pipeline.inFlightBatches().size(), 1u);
    EXPECT_EQ(pipeline.inFlightBatches()[0].sourceText, QStringLiteral("Alpha one. Beta two. Gamma 3"));
    ASSERT_TRUE(waitEntries(3));
    const auto &e = pipeline.translationEntries();
    EXPECT_DOUBLE_EQ(e[0].audioTime, 10.0);
    EXPECT_DOUBLE_EQ(e[1].audioTime, 12.5);
    EXPECT_DOUBLE_EQ(e[2].audioTime, 0.0);
    EXPECT_EQ(pipeline.translatedText(), QStringLiteral("本地:Alpha one.\n本地:Beta two.\n本地:Gamma 3"));
}

TEST_F(PipelineTest, BatchesRunStrictlyInSubmissionOrder)
{
    useDeepSeek();
    deepseek.enqueue("POST", "/chat/completions", HttpTestReply::hold());
    deepseek.installDeepSeek([](const QString &s) { return QStringLiteral("译:") + s; });

    pipeline.submitChunks(chunks({"First one."}), "停顿");
    pipeline.submitChunks(chunks({"Second one."}), "停顿");
    ASSERT_TRUE(deepseek.waitForRequests(1));
    test::waitFor([] { return false; }, 100); // give a wrongly parallel second request time to arrive
    EXPECT_EQ(deepseek.requestCount(), 1);
    EXPECT_TRUE(pipeline.isTranslating());
    EXPECT_FALSE(pipeline.isIdle());
    EXPECT_EQ(pipeline.inFlightBatches().size(), 2u);

    ASSERT_TRUE(deepseek.release(HttpTestReply::chatTranslations({"第一句。"})));
    ASSERT_TRUE(waitEntries(2));
    EXPECT_EQ(targets(), (QStringList{"第一句。", "译:Second one."}));
    EXPECT_TRUE(pipeline.isIdle());
}

TEST_F(PipelineTest, IncompleteResultsAreRetriedThenRecordedWithPlaceholders)
{
    pipeline.setTranslationSession(session);
    local.route("POST", "/translate", [](const test::HttpTestRequest &) {
        return HttpTestReply::json(200, QJsonObject{{"translatedText", QJsonArray{"  "}}});
    });
    pipeline.submitChunks(chunks({"Retry me one.", "Retry me two."}), "积压");
    ASSERT_TRUE(test::waitFor([&] { return host.lastError() == kIncomplete; }));
    EXPECT_EQ(local.requestCount(), 1);
    time->advance(1.49);
    EXPECT_EQ(local.requestCount(), 1);
    time->advance(0.01);
    ASSERT_TRUE(local.waitForRequests(2));
    test::waitFor([&] { return !pipeline.isTranslating(); });
    time->advance(1.5);
    ASSERT_TRUE(local.waitForRequests(3));
    ASSERT_TRUE(waitEntries(2));
    EXPECT_EQ(targets(), (QStringList{kPlaceholder, kPlaceholder}));
    EXPECT_EQ(host.lastError(), kGaveUp);
    EXPECT_TRUE(pipeline.inFlightBatches().empty()); // removed at once
    EXPECT_EQ(host.clearReasons, std::vector<QString>{QStringLiteral("译文落地移除原文")});
    // Placeholders are never cached.
    EXPECT_TRUE(settings->keys(Keys::TranslationCachePrefix).isEmpty());
}

TEST_F(PipelineTest, WithoutApiKeyThreeImmediateFailuresAndNoRequest)
{
    useDeepSeek(QString());
    pipeline.setTranslationSession(session);
    pipeline.submitChunks(chunks({"No key here."}), "停顿");
    const QString noKey =
        QStringLiteral("DeepSeek 在线翻译需要 API Key；英文原文已保留。请点击「翻译设置」填写后重试。");
    EXPECT_TRUE(pipeline.translationEntries().empty());
    time->advance(3);
    EXPECT_EQ(host.errors, (std::vector<QString>{noKey, noKey, noKey, kGaveUp}));
    EXPECT_EQ(targets(), QStringList{kPlaceholder});
    EXPECT_EQ(deepseek.requestCount() + local.requestCount(), 0);
    EXPECT_EQ(pipeline.serviceStatus().state(), TranslationServiceStatus::NoApiKey);

    // Saving a key ends the warning and the state says so.
    settings->setValue(Keys::DeepSeekApiKey, QStringLiteral("sk-new"));
    ASSERT_FALSE(host.settled.empty());
    EXPECT_EQ(host.settled.back(), PipelineNotice::ApiKey);
    EXPECT_EQ(pipeline.serviceStatus().state(), TranslationServiceStatus::Online);
}

TEST_F(PipelineTest, DeepSeekFailureFallsBackToTheLocalEngine)
{
    useDeepSeek();
    pipeline.setTranslationSession(session);
    deepseek.enqueue("POST", "/chat/completions", HttpTestReply::text(500, "down"));
    pipeline.submitChunks(chunks({"Fall back please."}), "停顿");
    ASSERT_TRUE(waitEntries(1));
    EXPECT_EQ(targets(), QStringList{"本地:Fall back please."});
    EXPECT_EQ(host.lastError(),
        QStringLiteral("DeepSeek 翻译失败，已自动切换为系统离线翻译：DeepSeek 翻译 API 错误（500）：down"));

    // Without a session the attempt fails with its own message.
    pipeline.setTranslationSession(nullptr);
    deepseek.enqueue("POST", "/chat/completions", HttpTestReply::text(401, "bad key"));
    pipeline.submitChunks(chunks({"No session now."}), "停顿");
    ASSERT_TRUE(test::waitFor([&] { return host.errors.size() >= 2; }));
    EXPECT_EQ(host.lastError(), QStringLiteral("DeepSeek 翻译失败，系统翻译会话尚未就绪；英文原文已保留。"));

    // Both failing: the local error's description.
    pipeline.setTranslationSession(session);
    local.enqueue("POST", "/translate", HttpTestReply::json(500, QJsonObject{{"error", "model crashed"}}));
    deepseek.enqueue("POST", "/chat/completions", HttpTestReply::text(429, "slow down"));
    time->advance(1.5);
    ASSERT_TRUE(test::waitFor([&] { return host.lastError().startsWith(QStringLiteral("DeepSeek 与")); }));
    EXPECT_EQ(host.lastError(), QStringLiteral("DeepSeek 与系统翻译均失败，英文原文已保留：model crashed"));
}

TEST_F(PipelineTest, SystemEngineMessagesForMissingSessionAndLanguagePack)
{
    pipeline.submitChunks(chunks({"Session missing."}), "停顿");
    EXPECT_EQ(host.lastError(), QStringLiteral("翻译会话尚未就绪，英文原文已保留；请稍后继续说话或重新开始。"));

    HttpTestServer noChinese;
    noChinese.installLibreTranslate({"de"}, [](const QString &s) { return s; });
    pipeline.setTranslationSession(std::make_shared<LocalTranslationSession>(noChinese.url(), QString()));
    time->advance(1.5);
    ASSERT_TRUE(test::waitFor([&] { return host.errors.size() >= 2; }));
    EXPECT_EQ(host.lastError(),
        QStringLiteral("需要下载英中翻译语言包；英文原文已保留。请为本地翻译服务安装中文（zh）模型后重试，"
                       "例如以「libretranslate --load-only en,zh」启动。"));
}

TEST_F(PipelineTest, CacheHitsLandWithoutAnyCall)
{
    useDeepSeek();
    TranslationCache::cacheResults(
        {"缓存一", "缓存二"}, {"Cached one.", "Cached two."}, TranslationCache::glossaryFingerprint({}));
    int translatingChanges = 0;
    QObject::connect(&pipeline, &TranslationPipeline::isTranslatingChanged, [&] { ++translatingChanges; });
    pipeline.submitChunks(chunks({"Cached one.", "Cached two."}), "停顿");
    time->advance(0);
    EXPECT_EQ(targets(), (QStringList{"缓存一", "缓存二"}));
    EXPECT_EQ(translatingChanges, 0);
    EXPECT_EQ(deepseek.requestCount(), 0);

    // A partial hit translates the whole batch.
    pipeline.submitChunks(chunks({"Cached one.", "Fresh three."}), "停顿");
    ASSERT_TRUE(deepseek.waitForRequests(1));
    EXPECT_EQ(
        test::HttpTestServer::numberedSentences(deepseek.requests()[0]), (QStringList{"Cached one.", "Fresh three."}));
}

TEST_F(PipelineTest, LandedBatchStaysVisibleForAtLeastPointFourFiveSeconds)
{
    pipeline.setTranslationSession(session);
    local.enqueue("POST", "/translate", HttpTestReply::hold());
    pipeline.submitChunks(chunks({"Quick landing."}), "停顿");
    ASSERT_TRUE(local.waitForRequests(1));
    time->advance(0.1);
    local.release(HttpTestReply::json(200, QJsonObject{{"translatedText", QJsonArray{"很快落地。"}}}));
    ASSERT_TRUE(waitEntries(1));
    EXPECT_EQ(pipeline.inFlightBatches().size(), 1u);
    time->advance(0.34);
    EXPECT_EQ(pipeline.inFlightBatches().size(), 1u);
    EXPECT_TRUE(host.clearReasons.empty());
    time->advance(0.011);
    EXPECT_TRUE(pipeline.inFlightBatches().empty());
    EXPECT_EQ(host.clearReasons, std::vector<QString>{QStringLiteral("译文落地移除原文")});

    // A batch cleared by a new recognition run still appends its entries.
    local.enqueue("POST", "/translate", HttpTestReply::hold());
    pipeline.submitChunks(chunks({"Cleared meanwhile."}), "停顿");
    ASSERT_TRUE(local.waitForRequests(2));
    pipeline.clearInFlightBatches();
    local.release(HttpTestReply::json(200, QJsonObject{{"translatedText", QJsonArray{"已清除。"}}}));
    ASSERT_TRUE(waitEntries(2));
    time->advance(1);
    EXPECT_EQ(host.clearReasons.size(), 1u);
}

TEST_F(PipelineTest, RecentContextHoldsFiveRealPairsOnly)
{
    useDeepSeek();
    deepseek.installDeepSeek([](const QString &s) { return QStringLiteral("译:") + s; });
    pipeline.submitChunks(chunks({"P1.", "P2.", "P3.", "P4.", "P5.", "P6.", "P7."}), "停顿");
    ASSERT_TRUE(waitEntries(7));
    // A batch that gives up (here for want of a key) adds placeholders, which
    // never become context.
    settings->setValue(Keys::DeepSeekApiKey, QString());
    pipeline.submitChunks(chunks({"Lost."}), "停顿");
    time->advance(3);
    ASSERT_EQ(targets().last(), kPlaceholder);
    settings->setValue(Keys::DeepSeekApiKey, QStringLiteral("sk-test"));
    pipeline.submitChunks(chunks({"Next."}), "停顿");
    ASSERT_TRUE(waitEntries(9));
    // The request of "Next." (the placeholder's own retry may follow it).
    const auto requests = deepseek.requests();
    const auto next = std::find_if(requests.begin(), requests.end(), [](const auto &r) {
        return HttpTestServer::numberedSentences(r) == QStringList{QStringLiteral("Next.")};
    });
    ASSERT_NE(next, requests.end());
    const QString system = next->message(0);
    EXPECT_FALSE(system.contains(QStringLiteral("原文: P2.")));
    EXPECT_TRUE(system.contains(QStringLiteral("原文: P3.\n译文: 译:P3.\n\n")));
    EXPECT_TRUE(system.contains(QStringLiteral("原文: P7.\n译文: 译:P7.")));
    EXPECT_FALSE(system.contains(kPlaceholder));
}

TEST_F(PipelineTest, GlossaryFeedsThePromptAndTheCacheFingerprintAndResultsAreCachedSimplified)
{
    useDeepSeek();
    deepseek.installDeepSeek([](const QString &) { return QStringLiteral("  這個熵增\n"); });
    GlossaryManager glossary;
    glossary.add(QStringLiteral("Entropy"), QStringLiteral("熵"));
    pipeline.setGlossaryManager(&glossary);
    // Cached under another glossary: not a hit.
    TranslationCache::cacheResults({"旧译文"}, {"Entropy grows."}, TranslationCache::glossaryFingerprint({}));
    pipeline.submitChunks(chunks({"Entropy grows."}), "停顿");
    ASSERT_TRUE(waitEntries(1));
    EXPECT_EQ(targets(), QStringList{"这个熵增"});
    ASSERT_EQ(deepseek.requestCount(), 1);
    EXPECT_TRUE(deepseek.requests()[0].message(0).contains(QStringLiteral("\nEntropy → 熵\n\n严格只输出 JSON")));
    EXPECT_EQ(
        TranslationCache::cachedResults({"Entropy grows."}, TranslationCache::glossaryFingerprint({{"entropy", "熵"}})),
        QStringList{"这个熵增"});
}

TEST_F(PipelineTest, EntryListKeepsTheNewestTenThousand)
{
    useDeepSeek(QString()); // every attempt fails at once: placeholders, no cache writes
    QStringList texts;
    for (int i = 0; i < 10001; ++i)
        texts.append(QStringLiteral("S%1").arg(i));
    pipeline.submitChunks(chunks(texts), "积压");
    time->advance(3);
    ASSERT_EQ(pipeline.translationEntries().size(), 10000u);
    EXPECT_EQ(pipeline.translationEntries().front().source, QStringLiteral("S1"));
    EXPECT_EQ(pipeline.translationEntries().back().source, QStringLiteral("S10000"));
    EXPECT_EQ(pipeline.translatedText().count(QLatin1Char('\n')), 10000); // the text keeps every line
}

TEST_F(PipelineTest, RecordOnlyKeepsSentencesWithoutAnyCallCacheOrContext)
{
    useDeepSeek();
    pipeline.setTranslationSession(session);
    pipeline.setRecordOnly(true);
    host.requestStart = 4;
    pipeline.submitChunks(chunks({"Only English here.", "And here."}), "停顿");
    ASSERT_TRUE(waitEntries(2));
    EXPECT_EQ(targets(), (QStringList{QString(), QString()}));
    EXPECT_EQ(pipeline.translationEntries()[1].source, QStringLiteral("And here."));
    EXPECT_DOUBLE_EQ(pipeline.translationEntries()[0].audioTime, 4.0);
    EXPECT_EQ(deepseek.requestCount() + local.requestCount(), 0);
    EXPECT_TRUE(settings->keys(QLatin1String(Keys::TranslationCachePrefix)).isEmpty());
    EXPECT_TRUE(host.lastError().isEmpty());
    EXPECT_TRUE(pipeline.isIdle());
}

TEST_F(PipelineTest, PlaceholdersAreTranslatedAgainQuietlyOnceTheServiceAnswers)
{
    std::vector<std::pair<qsizetype, QString>> replaced;
    QObject::connect(&pipeline, &TranslationPipeline::entryReplaced,
                     [&](const TranslationEntry &e, qsizetype index) { replaced.emplace_back(index, e.target); });
    // No session: three attempts each, 1.5 s apart, then the placeholder.
    pipeline.submitChunks(chunks({"Lost one."}), "停顿");
    pipeline.submitChunks(chunks({"Lost two."}), "停顿");
    time->advance(6);
    ASSERT_EQ(targets(), (QStringList{kPlaceholder, kPlaceholder}));
    EXPECT_EQ(host.lastError(), kGaveUp);
    EXPECT_EQ(pipeline.placeholdersToRetry(), 2);
    const size_t failures = host.errors.size();

    // A session that still fails: the retry it sets off says nothing.
    local.enqueue("POST", "/translate", HttpTestReply::json(500, QJsonObject{{"error", "down"}}));
    pipeline.setTranslationSession(session);
    EXPECT_EQ(host.settled.back(), PipelineNotice::Translation);
    ASSERT_TRUE(local.waitForRequests(1));
    ASSERT_TRUE(test::waitFor([&] { return !pipeline.isTranslating(); }));
    EXPECT_EQ(targets(), (QStringList{kPlaceholder, kPlaceholder}));
    EXPECT_EQ(host.errors.size(), failures);

    // It answers again: the next sentence lands first, then the old ones, in
    // order, and the warning goes.
    const size_t settled = host.settled.size();
    pipeline.submitChunks(chunks({"Fresh three."}), "停顿");
    ASSERT_TRUE(test::waitFor([&] { return replaced.size() == 2; }));
    EXPECT_EQ(targets(), (QStringList{"本地:Lost one.", "本地:Lost two.", "本地:Fresh three."}));
    EXPECT_EQ(replaced, (std::vector<std::pair<qsizetype, QString>>{{0, "本地:Lost one."}, {1, "本地:Lost two."}}));
    EXPECT_EQ(pipeline.placeholdersToRetry(), 0);
    ASSERT_GT(host.settled.size(), settled);
    EXPECT_EQ(host.settled.back(), PipelineNotice::Translation);
}

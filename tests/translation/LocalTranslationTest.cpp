// The "system" engine on Linux: a local LibreTranslate-style server, its
// language probe, batch translation and the service's memo.
#include "support/ChatServer.h"
#include "support/TestEnv.h"
#include "translation/LocalTranslationSession.h"
#include "translation/TranslationService.h"

#include <QJsonArray>
#include <gtest/gtest.h>

using namespace vox;
using vox::test::HttpTestReply;
using vox::test::HttpTestServer;

namespace {

QString zh(const QString &s)
{
    return QStringLiteral("中:") + s;
}

struct ProbeRun {
    std::shared_ptr<LocalTranslationSession> session;
    std::optional<Error> failure;
};

ProbeRun probe(const QUrl &url)
{
    LocalTranslationProbe p;
    p.setBaseUrl(url);
    ProbeRun out;
    QObject::connect(&p, &LocalTranslationProbe::sessionReady, [&](std::shared_ptr<TranslationSession> s) {
        out.session = std::dynamic_pointer_cast<LocalTranslationSession>(s);
    });
    QObject::connect(&p, &LocalTranslationProbe::probeFailed, [&](const Error &e) { out.failure = e; });
    p.start();
    test::waitFor([&] { return out.session || out.failure; });
    return out;
}

Result<QStringList> translateWith(TranslationSession &s, const QStringList &texts)
{
    return test::awaitResult<QStringList>([&](auto done) { s.translate(texts, done); });
}

} // namespace

TEST(LocalTranslationTest, ProbePicksZhHansThenZhAndASessionWithoutChineseGivesTheLanguagePackError)
{
    test::ScopedVirtualTime time;
    const std::pair<QStringList, QString> cases[] = {
        {{"zh-Hans", "zh-Hant"}, QStringLiteral("zh-Hans")},
        {{"zh"}, QStringLiteral("zh")},
        {{"de", "fr"}, QString()},
    };
    for (const auto &[targets, expected] : cases) {
        SCOPED_TRACE(targets.join(',').toStdString());
        HttpTestServer server;
        server.installLibreTranslate(targets, zh);
        auto p = probe(server.url());
        ASSERT_TRUE(p.session);
        EXPECT_EQ(p.session->targetCode(), expected);
        if (!expected.isEmpty())
            continue;

        auto r = translateWith(*p.session, {"Hello."});
        ASSERT_FALSE(r.ok());
        EXPECT_TRUE(isLanguagePackMissing(r.error()));
        EXPECT_EQ(server.requestCount(QStringLiteral("/translate")), 0);
        // Once the zh model is installed the same session translates.
        server.installLibreTranslate({"zh"}, zh);
        auto later = translateWith(*p.session, {"Hello."});
        ASSERT_TRUE(later.ok());
        EXPECT_EQ(later.value(), QStringList{zh("Hello.")});
    }
}

TEST(LocalTranslationTest, ProbeRetriesWithBackOffUntilTheServerAnswers)
{
    test::ScopedVirtualTime time;
    HttpTestServer server;
    server.enqueue("GET", "/languages", HttpTestReply::text(503, "starting"));
    server.enqueue("GET", "/languages", HttpTestReply::text(502, "gateway"));
    server.installLibreTranslate({"zh"}, zh);

    LocalTranslationProbe p;
    p.setBaseUrl(server.url());
    std::shared_ptr<TranslationSession> got;
    int failures = 0;
    QObject::connect(&p, &LocalTranslationProbe::sessionReady, [&](auto s) { got = s; });
    QObject::connect(&p, &LocalTranslationProbe::probeFailed, [&](const Error &) { ++failures; });
    p.start();
    ASSERT_TRUE(test::waitFor([&] { return failures == 1; }));
    EXPECT_TRUE(p.isProbing());
    time->advance(0.9);
    EXPECT_EQ(server.requestCount(), 1); // first retry after 1 s
    time->advance(0.1);
    ASSERT_TRUE(test::waitFor([&] { return failures == 2; }));
    time->advance(1.9);
    EXPECT_EQ(server.requestCount(), 2); // then after 2 s
    time->advance(0.1);
    ASSERT_TRUE(test::waitFor([&] { return got != nullptr; }));
    EXPECT_FALSE(p.isProbing());
}

TEST(LocalTranslationTest, BatchGoesOutInOneRequestAndComesBackInOrder)
{
    HttpTestServer server;
    server.installLibreTranslate({"zh-Hans"}, zh);
    LocalTranslationSession s(server.url(), QStringLiteral("zh-Hans"));
    auto r = translateWith(s, {"First.", "Second.", "Third."});
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), (QStringList{zh("First."), zh("Second."), zh("Third.")}));
    ASSERT_EQ(server.requestCount(), 1);
    EXPECT_EQ(server.requests().front().json(),
        (QJsonObject{{"q", QJsonArray{"First.", "Second.", "Third."}}, {"source", "en"}, {"target", "zh-Hans"},
            {"format", "text"}}));
}

TEST(LocalTranslationTest, ServerErrorsTimeOutsAndDropsBecomeErrorValues)
{
    HttpTestServer server;
    LocalTranslationSession s(server.url(), QStringLiteral("zh"));
    // A hung server does not hold the queue: the call ends at its time-out.
    LocalTranslationSession::setTimeoutForTesting(0.3);
    test::expectFailures(server, QStringLiteral("/translate"), {
        {"400", HttpTestReply::json(400, QJsonObject{{"error", "zh is not supported"}}),
            {"LocalTranslation", 400, QStringLiteral("zh is not supported")}},
        {"not JSON", HttpTestReply::text(200, "not json"), {"LocalTranslation", LocalBadReply, {}}},
        {"hung", HttpTestReply::never(), {"Network", ChatCompletions::TimedOut, QStringLiteral("请求超时。")}},
    }, [&] { return translateWith(s, {"Hello."}); });
    LocalTranslationSession::setTimeoutForTesting(std::nullopt);

    server.shutdown();
    auto down = translateWith(s, {"Hello."});
    ASSERT_FALSE(down.ok());
    EXPECT_EQ(down.error().domain, QStringLiteral("Network"));
}

TEST(LocalTranslationTest, AddressComesFromEnvironmentThenSetting)
{
    test::ScopedSettings settings;
    qunsetenv("VOXLEAF_LOCAL_TRANSLATION_URL");
    EXPECT_EQ(localTranslationUrl(), QUrl("http://127.0.0.1:5000"));
    settings->setValue(Keys::LocalTranslationUrl, "http://10.0.0.2:8000/");
    EXPECT_EQ(localTranslationUrl(), QUrl("http://10.0.0.2:8000"));
    qputenv("VOXLEAF_LOCAL_TRANSLATION_URL", "http://localhost:5555");
    EXPECT_EQ(localTranslationUrl(), QUrl("http://localhost:5555"));
    qunsetenv("VOXLEAF_LOCAL_TRANSLATION_URL");
}

TEST(TranslationServiceTest, MemoKeepsRepeatedSentencesAwayFromTheServer)
{
    HttpTestServer server;
    server.installLibreTranslate({"zh"}, zh);
    auto session = std::make_shared<LocalTranslationSession>(server.url(), QStringLiteral("zh"));
    TranslationService service;
    QObject context;
    auto run = [&](const QStringList &texts) {
        return test::awaitResult<QStringList>([&](auto done) { service.translate(texts, session, &context, done); });
    };

    auto first = run({"A.", "B."});
    ASSERT_TRUE(first.ok());
    // Two identical new sentences are both asked for; the known one is not.
    auto second = run({"A.", "C.", "C."});
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(second.value(), (QStringList{zh("A."), zh("C."), zh("C.")}));
    ASSERT_EQ(server.requestCount(), 2);
    EXPECT_EQ(server.requests()[1].json()["q"].toArray(), (QJsonArray{"C.", "C."}));

    auto third = run({"B.", "C."});
    ASSERT_TRUE(third.ok());
    EXPECT_EQ(server.requestCount(), 2);

    // A short answer leaves the unanswered position empty (and not memoized);
    // extra answers are ignored.
    server.enqueue("POST", "/translate", HttpTestReply::json(200, QJsonObject{{"translatedText", QJsonArray{"一"}}}));
    auto shortAnswer = run({"D.", "E."});
    ASSERT_TRUE(shortAnswer.ok());
    EXPECT_EQ(shortAnswer.value(), (QStringList{"一", ""}));
    server.enqueue(
        "POST", "/translate", HttpTestReply::json(200, QJsonObject{{"translatedText", QJsonArray{"二", "多余"}}}));
    auto extra = run({"E."});
    ASSERT_TRUE(extra.ok());
    EXPECT_EQ(extra.value(), QStringList{"二"});
}

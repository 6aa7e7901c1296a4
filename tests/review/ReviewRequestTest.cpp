// The summary and review requests against the local DeepSeek imitation, and
// the strict decoding of their answers.
#include "ReviewFixture.h"
#include "review/DeepSeekReviewService.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace vox;
using namespace vox::test;
namespace RS = vox::DeepSeekReviewService;

namespace {

QJsonObject reviewJson(int improved = 1)
{
    QJsonArray entries;
    for (int i = 0; i < improved; ++i)
        entries.append(QJsonObject{{"source", QStringLiteral("s%1").arg(i)}, {"translated", "旧"}, {"improved", "新"}, {"note", "注"}});
    return QJsonObject{
        {"title", "细胞生物学"},
        {"summary", "本节课讲了细胞。"},
        {"improvedEntries", entries},
        {"keyPoints", QJsonArray{"要点一", "要点二"}},
        {"vocabulary", QJsonArray{QJsonObject{{"word", "cell"}, {"meaning", "细胞"}, {"example", "细胞很小。"}}}},
        {"topics", QJsonArray{QJsonObject{{"name", "细胞"}, {"count", 10}}, QJsonObject{{"name", "能量"}, {"count", 5}}}},
        {"extra", "ignored"},
    };
}

QByteArray bytes(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QJsonObject withTopic(QJsonObject o, const QJsonObject &topic)
{
    o["topics"] = QJsonArray{topic};
    return o;
}

class ReviewRequestTest : public ReviewFixture {
protected:
    Result<ReviewResult> runReview(const std::vector<TranslationEntry> &entries, const QString &key = QStringLiteral("sk-test"))
    {
        std::optional<Result<ReviewResult>> out;
        RS::review(entries, key, nullptr, [&](Result<ReviewResult> r) { out = std::move(r); });
        EXPECT_TRUE(waitFor([&] { return out.has_value(); }));
        return out ? *out : Result<ReviewResult>(Error{"test", 0, "no answer"});
    }
    Result<QStringList> runSummary(const std::vector<TranslationEntry> &entries, const QString &key = QStringLiteral("sk-test"))
    {
        std::optional<Result<QStringList>> out;
        RS::summarize(entries, key, nullptr, [&](Result<QStringList> r) { out = std::move(r); });
        EXPECT_TRUE(waitFor([&] { return out.has_value(); }));
        return out ? *out : Result<QStringList>(Error{"test", 0, "no answer"});
    }
};

} // namespace

TEST(ReviewPrompt, TwelveHundredEntriesSendTheLastEightHundred)
{
    const QString prompt = RS::buildPrompt(makeEntries(1200));
    const QStringList lines = prompt.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 801);
    EXPECT_EQ(lines[0], QStringLiteral("课程翻译记录（共 1200 条，以下为全部或最新 800 条）："));
    EXPECT_EQ(lines[1], QStringLiteral("[1] sentence 401 || 句子 401"));
    EXPECT_EQ(lines[800], QStringLiteral("[800] sentence 1200 || 句子 1200"));

    const QString few = RS::buildPrompt(makeEntries(2));
    EXPECT_EQ(few, QStringLiteral("课程翻译记录（共 2 条，以下为全部或最新 2 条）：\n[1] sentence 1 || 句子 1\n[2] sentence 2 || 句子 2"));
    EXPECT_EQ(RS::buildPrompt({}), QStringLiteral("课程翻译记录（共 0 条，以下为全部或最新 0 条）：\n"));
}

TEST(ReviewPrompt, SummaryTextOfAThousandEntries)
{
    const QStringList lines = RS::buildSummaryText(makeEntries(1000)).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 801);
    EXPECT_EQ(lines[0], QStringLiteral("课堂翻译记录（共 1000 条，以下为全部或最新 800 条）："));
    EXPECT_EQ(lines[1], QStringLiteral("[1] sentence 201 || 句子 201"));
    EXPECT_EQ(lines[800], QStringLiteral("[800] sentence 1000 || 句子 1000"));
}

TEST(ReviewDecoding, StrictResult)
{
    auto ok = ReviewResult::decode(bytes(reviewJson(45)));
    ASSERT_TRUE(ok.ok());
    EXPECT_EQ(ok.value().improvedEntries.size(), 45u); // counts asked for are not enforced
    EXPECT_EQ(ok.value().topics[0], (TopicCount{QStringLiteral("细胞"), 10}));
    EXPECT_EQ(ok.value().vocabulary[0].example, QStringLiteral("细胞很小。"));

    // An integral number written with a fraction part still is an integer.
    EXPECT_TRUE(ReviewResult::decode(R"({"title":"","summary":"","improvedEntries":[],"keyPoints":[],"vocabulary":[],)"
                                     R"("topics":[{"name":"a","count":3.0}]})")
                    .ok());

    const std::vector<std::pair<const char *, QJsonObject>> bad = {
        {"topic without count", withTopic(reviewJson(), QJsonObject{{"name", "x"}})},
        {"fractional count", withTopic(reviewJson(), QJsonObject{{"name", "x"}, {"count", 2.5}})},
        {"string count", withTopic(reviewJson(), QJsonObject{{"name", "x"}, {"count", "3"}})},
        {"null count", withTopic(reviewJson(), QJsonObject{{"name", "x"}, {"count", QJsonValue()}})},
        {"null title", [] { auto o = reviewJson(); o["title"] = QJsonValue(); return o; }()},
        {"missing vocabulary", [] { auto o = reviewJson(); o.remove("vocabulary"); return o; }()},
        {"number in keyPoints", [] { auto o = reviewJson(); o["keyPoints"] = QJsonArray{"a", 1}; return o; }()},
        {"entry without note", [] {
             auto o = reviewJson();
             o["improvedEntries"] = QJsonArray{QJsonObject{{"source", "a"}, {"translated", "b"}, {"improved", "c"}}};
             return o;
         }()},
        {"vocabulary item not an object", [] { auto o = reviewJson(); o["vocabulary"] = QJsonArray{"cell"}; return o; }()},
    };
    for (const auto &[what, o] : bad) {
        auto r = ReviewResult::decode(bytes(o));
        EXPECT_FALSE(r.ok()) << what;
        if (!r.ok()) {
            EXPECT_EQ(r.error().domain, QString::fromLatin1(ChatCompletions::kDecodingDomain)) << what;
        }
    }
    // A reply wrapped in a markdown code block is not JSON.
    EXPECT_FALSE(ReviewResult::decode("```json\n" + bytes(reviewJson()) + "\n```").ok());
    EXPECT_FALSE(ReviewResult::decode("[]").ok());
}

TEST_F(ReviewRequestTest, ReviewSendsTheSharedRequestWithItsOwnSettings)
{
    server.enqueue("POST", "/chat/completions", HttpTestReply::chatContent(QString::fromUtf8(bytes(reviewJson()))));
    auto r = runReview(makeEntries(3), QStringLiteral("sk-abc"));
    ASSERT_TRUE(r.ok()) << r.error().message.toStdString();
    EXPECT_EQ(r.value().title, QStringLiteral("细胞生物学"));

    ASSERT_EQ(server.requestCount("/chat/completions"), 1);
    const HttpTestRequest &req = server.requests().front();
    EXPECT_EQ(req.method, "POST");
    EXPECT_EQ(req.header("authorization"), "Bearer sk-abc");
    EXPECT_EQ(req.header("content-type"), "application/json");
    const QJsonObject body = req.json();
    EXPECT_EQ(body["model"].toString(), ChatCompletions::model());
    EXPECT_DOUBLE_EQ(body["temperature"].toDouble(), 0.3);
    EXPECT_EQ(body["response_format"].toObject()["type"].toString(), QStringLiteral("json_object"));
    EXPECT_FALSE(body.contains("max_tokens"));
    const QJsonArray messages = body["messages"].toArray();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0].toObject()["role"].toString(), QStringLiteral("system"));
    EXPECT_EQ(messages[0].toObject()["content"].toString(), RS::reviewPrompt());
    EXPECT_EQ(messages[1].toObject()["role"].toString(), QStringLiteral("user"));
    EXPECT_EQ(messages[1].toObject()["content"].toString(), RS::buildPrompt(makeEntries(3)));

    EXPECT_DOUBLE_EQ(RS::reviewRequest({}, {}).timeoutSeconds, 180.0);
}

TEST_F(ReviewRequestTest, ReviewFailures)
{
    QByteArray longBody(300, 'x');
    server.enqueue("POST", "/chat/completions", HttpTestReply::text(429, longBody));
    auto tooMany = runReview(makeEntries(2));
    ASSERT_FALSE(tooMany.ok());
    EXPECT_EQ(tooMany.error(), (Error{"DeepSeek", 429, QStringLiteral("DeepSeek API 错误（429）：") + QString(200, 'x')}));

    server.enqueue("POST", "/chat/completions", HttpTestReply::json(200, QJsonObject{{"choices", QJsonArray{}}}));
    auto none = runReview(makeEntries(2));
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(none.error(), (Error{"DeepSeek", -2, QStringLiteral("未收到有效审阅结果")}));

    server.enqueue("POST", "/chat/completions",
                   HttpTestReply::chatContent(QString::fromUtf8(bytes(withTopic(reviewJson(), QJsonObject{{"name", "x"}, {"count", 1.5}})))));
    auto fractional = runReview(makeEntries(2));
    ASSERT_FALSE(fractional.ok());
    EXPECT_EQ(fractional.error().domain, QString::fromLatin1(ChatCompletions::kDecodingDomain));

    // Qt sends a request once more when the connection closed before any byte.
    server.enqueue("POST", "/chat/completions", HttpTestReply::close());
    server.enqueue("POST", "/chat/completions", HttpTestReply::close());
    auto closed = runReview(makeEntries(2));
    ASSERT_FALSE(closed.ok());
    EXPECT_EQ(closed.error().domain, QString::fromLatin1(ChatCompletions::kNetworkDomain));
    EXPECT_EQ(closed.error().code, ChatCompletions::ConnectionLost);
}

TEST_F(ReviewRequestTest, SummaryRequestAndAnswers)
{
    server.enqueue("POST", "/chat/completions", HttpTestReply::chatContent(R"({"points":["甲","乙"]})"));
    auto r = runSummary(makeEntries(5));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), (QStringList{QStringLiteral("甲"), QStringLiteral("乙")}));
    const QJsonObject body = server.requests().back().json();
    EXPECT_DOUBLE_EQ(body["temperature"].toDouble(), 0.4);
    EXPECT_EQ(body["messages"].toArray()[0].toObject()["content"].toString(), RS::summaryPrompt());
    EXPECT_EQ(body["messages"].toArray()[1].toObject()["content"].toString(), RS::buildSummaryText(makeEntries(5)));
    EXPECT_DOUBLE_EQ(RS::summaryRequest({}, {}).timeoutSeconds, 45.0);

    server.enqueue("POST", "/chat/completions", HttpTestReply::chatContent(R"({"points":[]})"));
    auto empty = runSummary(makeEntries(1));
    ASSERT_TRUE(empty.ok());
    EXPECT_TRUE(empty.value().isEmpty());

    server.enqueue("POST", "/chat/completions", HttpTestReply::text(401, "invalid key"));
    auto denied = runSummary(makeEntries(1));
    ASSERT_FALSE(denied.ok());
    EXPECT_EQ(denied.error(), (Error{"DeepSeekReview", 401, QStringLiteral("DeepSeek 摘要 API 错误（401）：invalid key")}));

    server.enqueue("POST", "/chat/completions", HttpTestReply::chatContent(R"({"items":[]})"));
    EXPECT_FALSE(runSummary(makeEntries(1)).ok());
    server.enqueue("POST", "/chat/completions", HttpTestReply::chatContent("not json"));
    EXPECT_FALSE(runSummary(makeEntries(1)).ok());
    server.enqueue("POST", "/chat/completions", HttpTestReply::json(200, QJsonObject{{"choices", QJsonArray{}}}));
    auto none = runSummary(makeEntries(1));
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(none.error(), (Error{"DeepSeekReview", -3, QStringLiteral("未收到有效摘要结果")}));

    // No key: refused before any request.
    const int before = server.requestCount();
    auto noKey = runSummary(makeEntries(1), QString());
    ASSERT_FALSE(noKey.ok());
    EXPECT_EQ(noKey.error(), (Error{"DeepSeekReview", -1, QStringLiteral("未配置 API Key")}));
    EXPECT_EQ(server.requestCount(), before);
}

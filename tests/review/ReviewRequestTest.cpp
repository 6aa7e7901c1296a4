// The summary and review requests against the local DeepSeek imitation, and
// the strict decoding of their answers.
#include "ReviewFixture.h"
#include "review/DeepSeekReviewService.h"
#include "translation/DeepSeekSummary.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace vox;
using namespace vox::test;
namespace RS = vox::DeepSeekReviewService;
namespace SS = vox::DeepSeekSummary;

namespace {

QJsonObject reviewJson(int improved = 1)
{
    QJsonArray entries;
    for (int i = 0; i < improved; ++i)
        entries.append(QJsonObject{
            {"source", QStringLiteral("s%1").arg(i)}, {"translated", "旧"}, {"improved", "新"}, {"note", "注"}});
    return QJsonObject{
        {"title", "细胞生物学"},
        {"summary", "本节课讲了细胞。"},
        {"improvedEntries", entries},
        {"keyPoints", QJsonArray{"要点一", "要点二"}},
        {"vocabulary", QJsonArray{QJsonObject{{"word", "cell"}, {"meaning", "细胞"}, {"example", "细胞很小。"}}}},
        {"topics",
            QJsonArray{QJsonObject{{"name", "细胞"}, {"count", 10}}, QJsonObject{{"name", "能量"}, {"count", 5}}}},
        {"extra", "ignored"},
    };
}

QByteArray bytes(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

// reviewJson() with `key` set to `value`, or removed when it is undefined.
QJsonObject with(const QString &key, const QJsonValue &value)
{
    QJsonObject o = reviewJson();
    if (value.isUndefined())
        o.remove(key);
    else
        o[key] = value;
    return o;
}

class ReviewRequestTest : public ReviewFixture {
protected:
    Result<ReviewResult> runReview(const std::vector<TranslationEntry> &entries)
    {
        return awaitResult<ReviewResult>([&](auto done) { RS::review(entries, "sk-test", nullptr, done); });
    }
    Result<QStringList> runSummary(
        const std::vector<TranslationEntry> &entries, const QString &key = QStringLiteral("sk-test"))
    {
        return awaitResult<QStringList>([&](auto done) { SS::summarize(entries, key, nullptr, done); });
    }
};

const QString kDecoding = QString::fromLatin1(ChatCompletions::kDecodingDomain);

} // namespace

TEST(ReviewPrompt, LongCoursesSendTheirNewestEightHundredEntries)
{
    struct Case {
        QString (*build)(const std::vector<TranslationEntry> &);
        int entries;
        QString header;
        QString first;
    };
    const Case cases[] = {
        {RS::buildPrompt, 1200, QStringLiteral("课程翻译记录（共 1200 条，以下为全部或最新 800 条）："),
            QStringLiteral("[1] sentence 401 || 句子 401")},
        {SS::buildSummaryText, 1000, QStringLiteral("课堂翻译记录（共 1000 条，以下为全部或最新 800 条）："),
            QStringLiteral("[1] sentence 201 || 句子 201")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.entries);
        const QStringList lines = c.build(makeEntries(c.entries)).split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), 801);
        EXPECT_EQ(lines[0], c.header);
        EXPECT_EQ(lines[1], c.first);
        EXPECT_EQ(lines[800], QStringLiteral("[800] sentence %1 || 句子 %1").arg(c.entries));
    }

    EXPECT_EQ(RS::buildPrompt({}), QStringLiteral("课程翻译记录（共 0 条，以下为全部或最新 0 条）：\n"));
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

    const QJsonObject noteless{{"source", "a"}, {"translated", "b"}, {"improved", "c"}};
    const std::vector<std::pair<const char *, QJsonObject>> bad = {
        {"topic without count", with("topics", QJsonArray{QJsonObject{{"name", "x"}}})},
        {"string count", with("topics", QJsonArray{QJsonObject{{"name", "x"}, {"count", "3"}}})},
        {"missing vocabulary", with("vocabulary", QJsonValue::Undefined)},
        {"entry without note", with("improvedEntries", QJsonArray{noteless})},
        {"vocabulary item not an object", with("vocabulary", QJsonArray{"cell"})},
    };
    for (const auto &[what, o] : bad) {
        auto r = ReviewResult::decode(bytes(o));
        ASSERT_FALSE(r.ok()) << what;
        EXPECT_EQ(r.error().domain, kDecoding) << what;
    }
    // A reply wrapped in a markdown code block is not JSON.
    EXPECT_FALSE(ReviewResult::decode("```json\n" + bytes(reviewJson()) + "\n```").ok());
    EXPECT_FALSE(ReviewResult::decode("[]").ok());
}

TEST_F(ReviewRequestTest, ReviewFailures)
{
    const QJsonObject fractional = with("topics", QJsonArray{QJsonObject{{"name", "x"}, {"count", 1.5}}});
    expectFailures(server, QStringLiteral("/chat/completions"),
        {
            {"429 quotes 200 characters", HttpTestReply::text(429, QByteArray(300, 'x')),
                {"DeepSeek", 429, QStringLiteral("DeepSeek API 错误（429）：") + QString(200, 'x')}},
            {"no choices", HttpTestReply::json(200, QJsonObject{{"choices", QJsonArray{}}}),
                {"DeepSeek", -2, QStringLiteral("未收到有效审阅结果")}},
            {"fractional count", HttpTestReply::chatContent(QString::fromUtf8(bytes(fractional))),
                {kDecoding, ChatCompletions::WrongType, {}}},
        },
        [&] { return runReview(makeEntries(2)); });
}

// What the live summary tests leave out: the summary's own prompt and
// temperature, and the answers that are no summary.
TEST_F(ReviewRequestTest, SummaryRequestAndAnswers)
{
    server.enqueue("POST", "/chat/completions", HttpTestReply::chatContent(R"({"points":["甲","乙"]})"));
    auto r = runSummary(makeEntries(5));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), (QStringList{QStringLiteral("甲"), QStringLiteral("乙")}));
    EXPECT_DOUBLE_EQ(server.requests().back().json()["temperature"].toDouble(), 0.4);
    EXPECT_EQ(server.requests().back().message(0), SS::summaryPrompt());

    expectFailures(server, QStringLiteral("/chat/completions"),
        {
            {"no points", HttpTestReply::chatContent(R"({"items":[]})"), {kDecoding, ChatCompletions::MissingKey, {}}},
            {"no choices", HttpTestReply::json(200, QJsonObject{{"choices", QJsonArray{}}}),
                {"DeepSeekReview", -3, QStringLiteral("未收到有效摘要结果")}},
        },
        [&] { return runSummary(makeEntries(1)); });

    // No key: refused before any request.
    const int before = server.requestCount();
    auto noKey = runSummary(makeEntries(1), QString());
    ASSERT_FALSE(noKey.ok());
    EXPECT_EQ(noKey.error(), (Error{"DeepSeekReview", -1, QStringLiteral("未配置 API Key")}));
    EXPECT_EQ(server.requestCount(), before);
}

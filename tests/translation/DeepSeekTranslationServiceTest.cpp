// The DeepSeek client against a local imitation of the chat-completions
// service: the exact request, grouping, reply decoding and every error path.
#include "translation/DeepSeekTranslationService.h"
#include "support/ChatServer.h"
#include "support/TestEnv.h"

#include <QJsonArray>
#include <gtest/gtest.h>

using namespace vox;
using vox::test::HttpTestReply;

namespace {

class DeepSeekClientTest : public ::testing::Test {
protected:
    Result<QStringList> run(const QStringList &sentences, DeepSeekTranslationService::Input in = {})
    {
        in.sentences = sentences;
        if (in.apiKey.isNull())
            in.apiKey = QStringLiteral("sk-test");
        return test::awaitResult<QStringList>(
            [&](auto done) { DeepSeekTranslationService::translate(in, &context, done); });
    }

    test::ChatServer server;
    QObject context;
};

} // namespace

TEST_F(DeepSeekClientTest, SendsTheExactRequestInGroupsOfTwenty)
{
    server.installDeepSeek([](const QString &s) { return QStringLiteral("译") + s; });
    QStringList sentences;
    for (int i = 1; i <= 45; ++i)
        sentences.append(QStringLiteral("Sentence %1.").arg(i));
    DeepSeekTranslationService::Input in;
    in.glossary = {
        {QStringLiteral("Entropy"), QStringLiteral("熵")}, {QStringLiteral("GPU"), QStringLiteral("图形处理器")}};
    in.subject = QStringLiteral("物理");
    in.recent = {
        {QStringLiteral("Hello."), QStringLiteral("你好。")}, {QStringLiteral("Bye."), QStringLiteral("再见。")}};
    in.courseContext = QStringLiteral("课程全文：……");

    auto r = run(sentences, in);
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.value().size(), 45);
    EXPECT_EQ(r.value().first(), QStringLiteral("译Sentence 1."));
    EXPECT_EQ(r.value().last(), QStringLiteral("译Sentence 45."));

    ASSERT_EQ(server.requestCount(), 3);
    // The sections go, in this order, between the base text and the output rule.
    const QString bare = DeepSeekTranslationService::buildSystemPrompt({}, {}, {}, std::nullopt);
    const qsizetype rule = bare.indexOf(QStringLiteral("\n\n严格只输出 JSON"));
    ASSERT_GT(rule, 0);
    const QString expectedSystem = bare.left(rule) +
        QStringLiteral(
            "\n\n必须遵循以下用户自定义术语表：术语表中出现的英文词汇必须使用指定中文翻译，不得意译或省略：\n"
            "Entropy → 熵\nGPU → 图形处理器") +
        QStringLiteral("\n\n当前课堂科目：物理。翻译时优先使用该学科的常用术语与表达。") +
        QStringLiteral(
            "\n\n以下是最近已经翻译的句子（滑窗上下文），翻译新句子时请保持代词指代、专有名词与表达风格的一致：\n"
            "原文: Hello.\n译文: 你好。\n\n原文: Bye.\n译文: 再见。") +
        QStringLiteral("\n\n课程全文：……") + bare.mid(rule);

    const int groupSizes[] = {20, 20, 5};
    for (int g = 0; g < 3; ++g) {
        SCOPED_TRACE(g);
        const auto &req = server.requests()[size_t(g)];
        EXPECT_EQ(req.header("content-type"), "application/json");
        EXPECT_EQ(req.header("authorization"), "Bearer sk-test");
        const QJsonObject body = req.json();
        QStringList keys = body.keys();
        keys.sort();
        EXPECT_EQ(keys, (QStringList{"messages", "model", "response_format", "temperature"}));
        EXPECT_EQ(body["model"].toString(), QStringLiteral("deepseek-v4-flash"));
        EXPECT_DOUBLE_EQ(body["temperature"].toDouble(), 0.3);
        EXPECT_EQ(body["response_format"].toObject(), (QJsonObject{{"type", "json_object"}}));
        const QJsonArray messages = body["messages"].toArray();
        ASSERT_EQ(messages.size(), 2);
        EXPECT_EQ(messages[0].toObject()["role"].toString(), QStringLiteral("system"));
        EXPECT_EQ(messages[1].toObject()["role"].toString(), QStringLiteral("user"));
        EXPECT_EQ(req.message(0), expectedSystem);

        QStringList lines;
        for (int n = 1; n <= groupSizes[g]; ++n)
            lines.append(QStringLiteral("[%1] Sentence %2.").arg(n).arg(g * 20 + n));
        EXPECT_EQ(req.message(1), QStringLiteral("待翻译的英文句子：\n") + lines.join('\n'));
    }
    EXPECT_EQ(DeepSeekTranslationService::buildSystemPrompt({}, {}, {}, QString()), bare);
}

TEST_F(DeepSeekClientTest, AsManyResultsAsSentencesAndNoRequestWithoutAKey)
{
    DeepSeekTranslationService::Input noKey;
    noKey.apiKey = QStringLiteral("");
    auto refused = run({"One."}, noKey);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error(), (Error{"DeepSeekTranslation", -1, QStringLiteral("未配置 API Key")}));
    EXPECT_EQ(server.requestCount(), 0);

    auto none = run({});
    ASSERT_TRUE(none.ok());
    EXPECT_TRUE(none.value().isEmpty());

    // Fewer translations leave an empty tail, extra ones are dropped.
    server.enqueue("POST", "/chat/completions", HttpTestReply::chatTranslations({"一", "二"}));
    auto fewer = run({"One.", "Two.", "Three."});
    ASSERT_TRUE(fewer.ok());
    EXPECT_EQ(fewer.value(), (QStringList{"一", "二", ""}));

    server.enqueue("POST", "/chat/completions", HttpTestReply::chatTranslations({"一", "二", "三"}));
    auto more = run({"One.", "Two."});
    ASSERT_TRUE(more.ok());
    EXPECT_EQ(more.value(), (QStringList{"一", "二"}));
}

TEST_F(DeepSeekClientTest, FailedRepliesBecomeTheErrorsShownToTheUser)
{
    const QByteArray longBody = QByteArray(100, 'a') + QString(100, QChar(0x4E2D)).toUtf8();
    test::expectFailures(server, QStringLiteral("/chat/completions"), {
        {"no choices", HttpTestReply::json(200, QJsonObject{{"choices", QJsonArray{}}}),
            {"DeepSeekTranslation", -3, QStringLiteral("未收到有效翻译结果")}},
        {"prose instead of JSON", HttpTestReply::chatContent(QStringLiteral("好的，以下是译文：一")),
            {"JSONDecoding", ChatCompletions::NotJson, {}}},
        {"no translations key", HttpTestReply::chatContent(QStringLiteral("{\"result\":[\"一\"]}")),
            {"JSONDecoding", ChatCompletions::MissingKey, {}}},
        {"HTML envelope", HttpTestReply::text(200, "<html>gateway</html>"),
            {"JSONDecoding", ChatCompletions::NotJson, {}}},
        {"401", HttpTestReply::text(401, R"({"error":{"message":"Authentication Fails"}})"),
            {"DeepSeekTranslation", 401,
                QStringLiteral("DeepSeek 翻译 API 错误（401）：{\"error\":{\"message\":\"Authentication Fails\"}}")}},
        // The body is quoted up to its first 160 characters, not bytes.
        {"429 with a long body", HttpTestReply::text(429, longBody),
            {"DeepSeekTranslation", 429,
                QStringLiteral("DeepSeek 翻译 API 错误（429）：") + QString(100, 'a') + QString(60, QChar(0x4E2D))}},
        {"500 with bytes that are not UTF-8", HttpTestReply::text(500, QByteArray("\xff\xfe broken")),
            {"DeepSeekTranslation", 500, QStringLiteral("DeepSeek 翻译 API 错误（500）：")}},
    }, [&] { return run({"One."}); });
}

TEST_F(DeepSeekClientTest, ClosedConnectionAndSilentServerAreTransportErrors)
{
    // Qt resends a request once when a fresh connection drops: close both.
    server.route("POST", "/chat/completions", [](const test::HttpTestRequest &) { return HttpTestReply::close(); });
    auto closed = run({"One."});
    ASSERT_FALSE(closed.ok());
    EXPECT_EQ(closed.error().domain, QStringLiteral("Network"));

    ChatCompletions::setTimeoutForTesting(0.3);
    server.enqueue("POST", "/chat/completions", HttpTestReply::never());
    auto hung = run({"One."});
    ASSERT_FALSE(hung.ok());
    EXPECT_EQ(hung.error(), (Error{"Network", ChatCompletions::TimedOut, QStringLiteral("请求超时。")}));
}

TEST(ChatCompletionsTest, ReplyDecodingIsStrictAndBodyHeadKeepsCharactersWhole)
{
    const ChatCompletions::ErrorStyle style{
        .domain = "X", .notHttpCode = -2, .noResultMessage = "none", .httpPrefix = QStringLiteral("X 错误（")};
    EXPECT_EQ(ChatCompletions::decodeReply(std::nullopt, {}, style).error().code, -2);
    // A choice without "message" fails the whole envelope.
    auto missing = ChatCompletions::decodeReply(200, R"({"choices":[{"index":0}]})", style);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().code, ChatCompletions::MissingKey);
    auto ok = ChatCompletions::decodeReply(200, R"({"choices":[{"message":{"content":"{}"}}],"usage":{}})", style);
    ASSERT_TRUE(ok.ok());
    EXPECT_EQ(ok.value(), "{}");
    // An emoji made of several code points counts as one character.
    const QString family =
        QString::fromUtf8("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7");
    EXPECT_EQ(ChatCompletions::bodyHead((family + "ab").toUtf8(), 2), family + "a");
}

// The DeepSeek client against a local imitation of the chat-completions
// service: the exact request, grouping, reply decoding and every error path.
#include "support/HttpTestServer.h"
#include "support/TestEnv.h"
#include "translation/ChatCompletions.h"
#include "translation/DeepSeekTranslationService.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <gtest/gtest.h>

using namespace vox;
using vox::test::HttpTestReply;
using vox::test::HttpTestServer;

namespace {

const QString kBase = QStringLiteral(
    "你是一位专业的中英文实时翻译引擎。将用户提供的英文句子翻译成简体中文。\n要求：忠实原文、通顺自然、符合中文表达习惯，"
    "保留专有名词与数字。\n语言规范：一律使用中国大陆规范的书面简体中文（zh-Hans）。严禁使用繁体字；严禁粤语字词与港台用语"
    "（如「係」「嘅」「咗」「喺」等）；采用大陆惯用说法（如「视频」而非「影片」、「软件」而非「软体」、「网络」而非「网路」）。");
const QString kOutputRule = QStringLiteral(
    "\n\n严格只输出 JSON，格式：{\"translations\":[\"译文1\",\"译文2\",...]}，译文数量必须与输入句子数量一致，"
    "不要输出任何其他文字或 markdown 标记。");

class DeepSeekClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isListening());
        ChatCompletions::setBaseUrlForTesting(server.url());
    }
    void TearDown() override
    {
        ChatCompletions::setBaseUrlForTesting(std::nullopt);
        ChatCompletions::setTimeoutForTesting(std::nullopt);
    }

    std::optional<Result<QStringList>> run(const DeepSeekTranslationService::Input &in, int timeoutMs = 5000)
    {
        std::optional<Result<QStringList>> out;
        DeepSeekTranslationService::translate(in, &context, [&](Result<QStringList> r) { out = std::move(r); });
        test::waitFor([&] { return out.has_value(); }, timeoutMs);
        return out;
    }

    DeepSeekTranslationService::Input input(QStringList sentences)
    {
        DeepSeekTranslationService::Input in;
        in.sentences = std::move(sentences);
        in.apiKey = QStringLiteral("sk-test");
        return in;
    }

    HttpTestServer server;
    QObject context;
};

QString systemContent(const test::HttpTestRequest &r)
{
    return r.json()["messages"].toArray()[0].toObject()["content"].toString();
}
QString userContent(const test::HttpTestRequest &r)
{
    return r.json()["messages"].toArray()[1].toObject()["content"].toString();
}

} // namespace

TEST_F(DeepSeekClientTest, SendsTheExactRequestInGroupsOfTwenty)
{
    server.installDeepSeek([](const QString &s) { return QStringLiteral("译") + s; });
    QStringList sentences;
    for (int i = 1; i <= 45; ++i)
        sentences.append(QStringLiteral("Sentence %1.").arg(i));
    auto in = input(sentences);
    in.glossary = {{QStringLiteral("Entropy"), QStringLiteral("熵")}, {QStringLiteral("GPU"), QStringLiteral("图形处理器")}};
    in.subject = QStringLiteral("物理");
    in.recent = {{QStringLiteral("Hello."), QStringLiteral("你好。")}, {QStringLiteral("Bye."), QStringLiteral("再见。")}};
    in.courseContext = QStringLiteral("课程全文：……");

    auto r = run(in);
    ASSERT_TRUE(r && r->ok());
    ASSERT_EQ(r->value().size(), 45);
    EXPECT_EQ(r->value().first(), QStringLiteral("译Sentence 1."));
    EXPECT_EQ(r->value().last(), QStringLiteral("译Sentence 45."));

    ASSERT_EQ(server.requestCount(), 3);
    const QString expectedSystem =
        kBase +
        QStringLiteral("\n\n必须遵循以下用户自定义术语表：术语表中出现的英文词汇必须使用指定中文翻译，不得意译或省略：\n"
                       "Entropy → 熵\nGPU → 图形处理器") +
        QStringLiteral("\n\n当前课堂科目：物理。翻译时优先使用该学科的常用术语与表达。") +
        QStringLiteral("\n\n以下是最近已经翻译的句子（滑窗上下文），翻译新句子时请保持代词指代、专有名词与表达风格的一致：\n"
                       "原文: Hello.\n译文: 你好。\n\n原文: Bye.\n译文: 再见。") +
        QStringLiteral("\n\n课程全文：……") + kOutputRule;

    const int groupSizes[] = {20, 20, 5};
    for (int g = 0; g < 3; ++g) {
        const auto &req = server.requests()[size_t(g)];
        EXPECT_EQ(req.method, "POST");
        EXPECT_EQ(req.path, QStringLiteral("/chat/completions"));
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
        EXPECT_EQ(systemContent(req), expectedSystem);

        QStringList lines;
        for (int n = 1; n <= groupSizes[g]; ++n)
            lines.append(QStringLiteral("[%1] Sentence %2.").arg(n).arg(g * 20 + n));
        EXPECT_EQ(userContent(req), QStringLiteral("待翻译的英文句子：\n") + lines.join('\n'));
    }
}

TEST_F(DeepSeekClientTest, PromptWithoutOptionalSectionsIsBaseAndRule)
{
    EXPECT_EQ(DeepSeekTranslationService::buildSystemPrompt({}, {}, {}, std::nullopt), kBase + kOutputRule);
    EXPECT_EQ(DeepSeekTranslationService::buildSystemPrompt({}, {}, {}, QString()), kBase + kOutputRule);
}

TEST_F(DeepSeekClientTest, FewerTranslationsLeaveEmptyTailAndExtraOnesAreDropped)
{
    server.enqueue("POST", "/chat/completions", HttpTestReply::chatTranslations({"一", "二"}));
    auto fewer = run(input({"One.", "Two.", "Three."}));
    ASSERT_TRUE(fewer && fewer->ok());
    EXPECT_EQ(fewer->value(), (QStringList{"一", "二", ""}));

    server.enqueue("POST", "/chat/completions", HttpTestReply::chatTranslations({"一", "二", "三"}));
    auto more = run(input({"One.", "Two."}));
    ASSERT_TRUE(more && more->ok());
    EXPECT_EQ(more->value(), (QStringList{"一", "二"}));
}

TEST_F(DeepSeekClientTest, NoChoicesAndUndecodableContentFail)
{
    server.enqueue("POST", "/chat/completions",
                   HttpTestReply::json(200, QJsonObject{{"choices", QJsonArray{}}}));
    auto empty = run(input({"One."}));
    ASSERT_TRUE(empty && !empty->ok());
    EXPECT_EQ(empty->error(), (Error{"DeepSeekTranslation", -3, QStringLiteral("未收到有效翻译结果")}));

    server.enqueue("POST", "/chat/completions", HttpTestReply::chatContent(QStringLiteral("好的，以下是译文：一")));
    auto notJson = run(input({"One."}));
    ASSERT_TRUE(notJson && !notJson->ok());
    EXPECT_EQ(notJson->error().domain, QStringLiteral("JSONDecoding"));

    server.enqueue("POST", "/chat/completions", HttpTestReply::chatContent(QStringLiteral("{\"result\":[\"一\"]}")));
    auto noKey = run(input({"One."}));
    ASSERT_TRUE(noKey && !noKey->ok());
    EXPECT_EQ(noKey->error().domain, QStringLiteral("JSONDecoding"));
    EXPECT_EQ(noKey->error().code, ChatCompletions::MissingKey);

    server.enqueue("POST", "/chat/completions", HttpTestReply::text(200, "<html>gateway</html>"));
    auto envelope = run(input({"One."}));
    ASSERT_TRUE(envelope && !envelope->ok());
    EXPECT_EQ(envelope->error().domain, QStringLiteral("JSONDecoding"));
}

TEST_F(DeepSeekClientTest, HttpErrorsCarryStatusAndBodyHead)
{
    server.enqueue("POST", "/chat/completions",
                   HttpTestReply::text(401, R"({"error":{"message":"Authentication Fails"}})"));
    auto unauthorized = run(input({"One."}));
    ASSERT_TRUE(unauthorized && !unauthorized->ok());
    EXPECT_EQ(unauthorized->error(),
              (Error{"DeepSeekTranslation", 401,
                     QStringLiteral("DeepSeek 翻译 API 错误（401）：{\"error\":{\"message\":\"Authentication Fails\"}}")}));

    const QByteArray longBody = QByteArray(100, 'a') + QString(100, QChar(0x4E2D)).toUtf8();
    server.enqueue("POST", "/chat/completions", HttpTestReply::text(429, longBody));
    auto limited = run(input({"One."}));
    ASSERT_TRUE(limited && !limited->ok());
    EXPECT_EQ(limited->error().code, 429);
    EXPECT_EQ(limited->error().message,
              QStringLiteral("DeepSeek 翻译 API 错误（429）：") + QString(100, 'a') + QString(60, QChar(0x4E2D)));

    server.enqueue("POST", "/chat/completions", HttpTestReply::text(500, QByteArray("\xff\xfe broken")));
    auto broken = run(input({"One."}));
    ASSERT_TRUE(broken && !broken->ok());
    EXPECT_EQ(broken->error(), (Error{"DeepSeekTranslation", 500, QStringLiteral("DeepSeek 翻译 API 错误（500）：")}));
}

TEST_F(DeepSeekClientTest, FailureOfALaterGroupDiscardsEarlierOnes)
{
    QStringList sentences;
    for (int i = 0; i < 25; ++i)
        sentences.append(QStringLiteral("S%1").arg(i));
    QStringList twenty;
    for (int i = 0; i < 20; ++i)
        twenty.append(QStringLiteral("译%1").arg(i));
    server.enqueue("POST", "/chat/completions", HttpTestReply::chatTranslations(twenty));
    server.enqueue("POST", "/chat/completions", HttpTestReply::text(500, "down"));
    auto r = run(input(sentences));
    ASSERT_TRUE(r && !r->ok());
    EXPECT_EQ(r->error().code, 500);
    EXPECT_EQ(server.requestCount(), 2);
}

TEST_F(DeepSeekClientTest, ClosedConnectionAndSilentServerAreTransportErrors)
{
    // Qt resends a request once when a fresh connection drops: close both.
    server.route("POST", "/chat/completions", [](const test::HttpTestRequest &) { return HttpTestReply::close(); });
    auto closed = run(input({"One."}));
    ASSERT_TRUE(closed && !closed->ok());
    EXPECT_EQ(closed->error().domain, QStringLiteral("Network"));

    ChatCompletions::setTimeoutForTesting(0.3);
    server.enqueue("POST", "/chat/completions", HttpTestReply::never());
    QElapsedTimer t;
    t.start();
    auto hung = run(input({"One."}), 5000);
    ASSERT_TRUE(hung && !hung->ok());
    EXPECT_EQ(hung->error(), (Error{"Network", ChatCompletions::TimedOut, QStringLiteral("请求超时。")}));
}

TEST_F(DeepSeekClientTest, EmptyListAndMissingKeySendNothing)
{
    DeepSeekTranslationService::Input none;
    auto empty = run(none);
    ASSERT_TRUE(empty && empty->ok());
    EXPECT_TRUE(empty->value().isEmpty());

    auto in = input({"One."});
    in.apiKey.clear();
    auto noKey = run(in);
    ASSERT_TRUE(noKey && !noKey->ok());
    EXPECT_EQ(noKey->error(), (Error{"DeepSeekTranslation", -1, QStringLiteral("未配置 API Key")}));
    EXPECT_EQ(server.requestCount(), 0);
}

TEST(ChatCompletionsTest, ReplyDecodingIsStrictAndBodyHeadKeepsCharactersWhole)
{
    ChatCompletions::ErrorStyle style;
    style.domain = "X";
    style.notHttpCode = -2;
    style.noResultCode = -3;
    style.noResultMessage = "none";
    style.httpPrefix = QStringLiteral("X 错误（");
    EXPECT_EQ(ChatCompletions::decodeReply(std::nullopt, {}, style).error().code, -2);
    // A choice without "message" fails the whole envelope.
    auto missing = ChatCompletions::decodeReply(200, R"({"choices":[{"index":0}]})", style);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().code, ChatCompletions::MissingKey);
    auto ok = ChatCompletions::decodeReply(200, R"({"choices":[{"message":{"content":"{}"}}],"usage":{}})", style);
    ASSERT_TRUE(ok.ok());
    EXPECT_EQ(ok.value(), "{}");
    // An emoji made of several code points counts as one character.
    const QString family = QString::fromUtf8("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7");
    EXPECT_EQ(ChatCompletions::bodyHead((family + "ab").toUtf8(), 2), family + "a");
}

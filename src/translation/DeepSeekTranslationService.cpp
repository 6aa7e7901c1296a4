#include "DeepSeekTranslationService.h"

#include "ChatCompletions.h"

#include <QPointer>
#include <memory>

namespace vox::DeepSeekTranslationService {

namespace {

ChatCompletions::ErrorStyle errorStyle()
{
    return {.domain = QString::fromLatin1(kErrorDomain),
            .notHttpCode = -2,
            .noResultCode = -3,
            .noResultMessage = QStringLiteral("未收到有效翻译结果"),
            .httpPrefix = QStringLiteral("DeepSeek 翻译 API 错误（"),
            .bodyChars = 160};
}

struct Call {
    QStringList sentences;
    QString systemPrompt;
    QString apiKey;
    QStringList collected;
    qsizetype next = 0; // index of the next group's first sentence
    QPointer<QObject> context;
    bool hasContext = false;
    std::function<void(Result<QStringList>)> done;
};

void finish(const std::shared_ptr<Call> &call)
{
    QStringList out = call->collected;
    while (out.size() < call->sentences.size())
        out.append(QString());
    if (out.size() > call->sentences.size())
        out = out.mid(0, call->sentences.size());
    call->done(std::move(out));
}

void sendNextGroup(const std::shared_ptr<Call> &call)
{
    if (call->next >= call->sentences.size()) {
        finish(call);
        return;
    }
    const QStringList group = call->sentences.mid(call->next, kGroupSize);
    call->next += group.size();

    ChatCompletions::Request r;
    r.systemPrompt = call->systemPrompt;
    r.userMessage = buildUserMessage(group);
    r.apiKey = call->apiKey;
    r.temperature = 0.3;
    r.timeoutSeconds = 45;
    ChatCompletions::send(r, errorStyle(), call->context.data(), [call](Result<QByteArray> content) {
        if (call->hasContext && !call->context)
            return;
        if (!content) {
            call->done(content.error());
            return;
        }
        auto translations = decodeTranslations(content.value());
        if (!translations) {
            call->done(translations.error());
            return;
        }
        call->collected += translations.value();
        sendNextGroup(call);
    });
}

} // namespace

QString buildSystemPrompt(const std::vector<GlossaryPair> &glossary, const QString &subject,
                          const std::vector<ContextPair> &recent, const std::optional<QString> &courseContext)
{
    QString p = QStringLiteral(
        "你是一位专业的中英文实时翻译引擎。将用户提供的英文句子翻译成简体中文。\n"
        "要求：忠实原文、通顺自然、符合中文表达习惯，保留专有名词与数字。\n"
        "语言规范：一律使用中国大陆规范的书面简体中文（zh-Hans）。严禁使用繁体字；严禁粤语字词与港台用语"
        "（如「係」「嘅」「咗」「喺」等）；采用大陆惯用说法（如「视频」而非「影片」、「软件」而非「软体」、"
        "「网络」而非「网路」）。");
    if (!glossary.empty()) {
        p += QStringLiteral("\n\n必须遵循以下用户自定义术语表：术语表中出现的英文词汇必须使用指定中文翻译，不得意译或省略：\n");
        QStringList lines;
        for (const auto &t : glossary)
            lines.append(t.source + QStringLiteral(" → ") + t.target);
        p += lines.join(QLatin1Char('\n'));
    }
    if (!subject.isEmpty())
        p += QStringLiteral("\n\n当前课堂科目：") + subject + QStringLiteral("。翻译时优先使用该学科的常用术语与表达。");
    if (!recent.empty()) {
        p += QStringLiteral("\n\n以下是最近已经翻译的句子（滑窗上下文），翻译新句子时请保持代词指代、专有名词与表达风格的一致：\n");
        QStringList blocks;
        for (const auto &c : recent)
            blocks.append(QStringLiteral("原文: ") + c.source + QStringLiteral("\n译文: ") + c.target);
        p += blocks.join(QStringLiteral("\n\n"));
    }
    if (courseContext && !courseContext->isEmpty())
        p += QStringLiteral("\n\n") + *courseContext;
    p += QStringLiteral("\n\n严格只输出 JSON，格式：");
    p += QStringLiteral("{\"translations\":[\"译文1\",\"译文2\",...]}");
    p += QStringLiteral("，译文数量必须与输入句子数量一致，不要输出任何其他文字或 markdown 标记。");
    return p;
}

QString buildUserMessage(const QStringList &group)
{
    QStringList lines;
    for (qsizetype i = 0; i < group.size(); ++i)
        lines.append(QStringLiteral("[%1] ").arg(i + 1) + group[i]);
    return QStringLiteral("待翻译的英文句子：\n") + lines.join(QLatin1Char('\n'));
}

Result<QStringList> decodeTranslations(const QByteArray &content)
{
    auto payload = ChatCompletions::parsePayload(content);
    if (!payload)
        return payload.error();
    return ChatCompletions::requireStringArray(payload.value(), QStringLiteral("translations"));
}

void translate(const Input &input, QObject *context, std::function<void(Result<QStringList>)> done)
{
    if (input.sentences.isEmpty()) {
        done(QStringList{});
        return;
    }
    if (input.apiKey.isEmpty()) {
        done(Error{QString::fromLatin1(kErrorDomain), -1, QStringLiteral("未配置 API Key")});
        return;
    }
    auto call = std::make_shared<Call>();
    call->sentences = input.sentences;
    call->systemPrompt = buildSystemPrompt(input.glossary, input.subject, input.recent, input.courseContext);
    call->apiKey = input.apiKey;
    call->context = context;
    call->hasContext = context != nullptr;
    call->done = std::move(done);
    sendNextGroup(call);
}

} // namespace vox::DeepSeekTranslationService

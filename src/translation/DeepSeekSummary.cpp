#include "DeepSeekSummary.h"

#include <algorithm>

namespace vox::DeepSeekSummary {

namespace CC = ChatCompletions;

QString courseText(const QString &head, const std::vector<TranslationEntry> &entries)
{
    const size_t total = entries.size();
    const size_t included = std::min<size_t>(total, kMaxPromptEntries);
    QString text = head + QStringLiteral("（共 ") + QString::number(total) + QStringLiteral(" 条，以下为全部或最新 ") +
                   QString::number(included) + QStringLiteral(" 条）：\n");
    const size_t first = total - included;
    for (size_t i = first; i < total; ++i) {
        if (i > first)
            text += QLatin1Char('\n');
        const TranslationEntry &e = entries[i];
        text += QLatin1Char('[') + QString::number(i - first + 1) + QStringLiteral("] ") + e.source +
                QStringLiteral(" || ") + e.target;
    }
    return text;
}

QString summaryPrompt()
{
    return QStringLiteral(
        "你是一位课堂笔记助手。用户会提供一节课堂的实时翻译记录（每行：[序号] 英文原文 || 中文译文）。\n"
        "请用简体中文提炼 5-8 条关键知识要点：每条 20-40 字，准确概括内容，适合直接用于复习，不要写序号。\n"
        "严格只输出 JSON，格式：{\"points\":[\"要点1\",\"要点2\",...]}，不要输出任何其他文字或 markdown 标记。");
}

QString buildSummaryText(const std::vector<TranslationEntry> &entries)
{
    return courseText(QStringLiteral("课堂翻译记录"), entries);
}

CC::Request summaryRequest(const std::vector<TranslationEntry> &entries, const QString &apiKey)
{
    CC::Request r;
    r.systemPrompt = summaryPrompt();
    r.userMessage = buildSummaryText(entries);
    r.apiKey = apiKey;
    r.temperature = 0.4;
    r.timeoutSeconds = kSummaryTimeout;
    return r;
}

CC::ErrorStyle summaryErrorStyle()
{
    return {.domain = QString::fromLatin1(kSummaryDomain),
            .notHttpCode = -2,
            .noResultCode = -3,
            .noResultMessage = QStringLiteral("未收到有效摘要结果"),
            .httpPrefix = QStringLiteral("DeepSeek 摘要 API 错误（"),
            .bodyChars = 160};
}

Result<QStringList> decodeSummary(const QByteArray &content)
{
    auto parsed = CC::parsePayload(content);
    if (!parsed)
        return parsed.error();
    return CC::requireStringArray(parsed.value(), QStringLiteral("points"));
}

void summarize(const std::vector<TranslationEntry> &entries, const QString &apiKey, QObject *context,
               std::function<void(Result<QStringList>)> done)
{
    if (apiKey.isEmpty()) {
        done(Error{QString::fromLatin1(kSummaryDomain), -1, QStringLiteral("未配置 API Key")});
        return;
    }
    CC::sendDecoded<QStringList>(summaryRequest(entries, apiKey), summaryErrorStyle(), context, decodeSummary,
                                 std::move(done));
}

} // namespace vox::DeepSeekSummary

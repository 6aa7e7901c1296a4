#include "DeepSeekReviewService.h"

#include "translation/DeepSeekSummary.h"

#include <QJsonArray>
#include <QJsonObject>
#include <cmath>
#include <limits>

namespace vox {

namespace CC = ChatCompletions;

// ---- ReviewResult decoding ------------------------------------------------

namespace {

Result<QJsonObject> objectAt(const QJsonValue &v, const QString &key)
{
    if (!v.isObject())
        return CC::decodingError(CC::WrongType, key);
    return v.toObject();
}

Result<qint64> requireInteger(const QJsonObject &o, const QString &key)
{
    const auto it = o.constFind(key);
    if (it == o.constEnd())
        return CC::decodingError(CC::MissingKey, key);
    if (!it->isDouble())
        return CC::decodingError(CC::WrongType, key);
    const double d = it->toDouble();
    // A number with a fraction is not an integer.
    if (!std::isfinite(d) || std::floor(d) != d || std::fabs(d) > 9.0e15)
        return CC::decodingError(CC::WrongType, key);
    return static_cast<qint64>(d);
}

// Decodes every element of the array at `key` with `one`.
template <typename T, typename F>
Result<std::vector<T>> decodeList(const QJsonObject &o, const QString &key, F one)
{
    auto arr = CC::requireArray(o, key);
    if (!arr)
        return arr.error();
    std::vector<T> out;
    out.reserve(size_t(arr.value().size()));
    for (const QJsonValue &v : arr.value()) {
        auto obj = objectAt(v, key);
        if (!obj)
            return obj.error();
        Result<T> item = one(obj.value());
        if (!item)
            return item.error();
        out.push_back(std::move(item.value()));
    }
    return out;
}

#define VOX_TRY_STRING(var, obj, key)                                   \
    auto var##_r = CC::requireString(obj, QStringLiteral(key));         \
    if (!var##_r)                                                       \
        return var##_r.error();                                         \
    const QString var = var##_r.value();

} // namespace

Result<ReviewResult> ReviewResult::decode(const QByteArray &content)
{
    auto parsed = CC::parsePayload(content);
    if (!parsed)
        return parsed.error();
    const QJsonObject o = parsed.value();
    ReviewResult r;

    VOX_TRY_STRING(title, o, "title");
    VOX_TRY_STRING(summary, o, "summary");
    r.title = title;
    r.summary = summary;

    auto improved = decodeList<ImprovedEntry>(o, QStringLiteral("improvedEntries"),
                                              [](const QJsonObject &e) -> Result<ImprovedEntry> {
                                                  VOX_TRY_STRING(source, e, "source");
                                                  VOX_TRY_STRING(translated, e, "translated");
                                                  VOX_TRY_STRING(better, e, "improved");
                                                  VOX_TRY_STRING(note, e, "note");
                                                  return ImprovedEntry{source, translated, better, note};
                                              });
    if (!improved)
        return improved.error();
    r.improvedEntries = std::move(improved.value());

    auto points = CC::requireStringArray(o, QStringLiteral("keyPoints"));
    if (!points)
        return points.error();
    r.keyPoints = points.value();

    auto vocab = decodeList<VocabularyItem>(o, QStringLiteral("vocabulary"),
                                            [](const QJsonObject &e) -> Result<VocabularyItem> {
                                                VOX_TRY_STRING(word, e, "word");
                                                VOX_TRY_STRING(meaning, e, "meaning");
                                                VOX_TRY_STRING(example, e, "example");
                                                return VocabularyItem{word, meaning, example};
                                            });
    if (!vocab)
        return vocab.error();
    r.vocabulary = std::move(vocab.value());

    auto topics = decodeList<TopicCount>(o, QStringLiteral("topics"), [](const QJsonObject &e) -> Result<TopicCount> {
        VOX_TRY_STRING(name, e, "name");
        auto count = requireInteger(e, QStringLiteral("count"));
        if (!count)
            return count.error();
        return TopicCount{name, count.value()};
    });
    if (!topics)
        return topics.error();
    r.topics = std::move(topics.value());
    return r;
}

#undef VOX_TRY_STRING

namespace DeepSeekReviewService {

// ---- course review ------------------------------------------------------

QString reviewPrompt()
{
    static const QStringList lines = {
        QStringLiteral("你是一位资深的学术课堂记录审阅助手，精通英语与中文。"),
        QStringLiteral("用户的输入是一节课的实时翻译记录：每行格式为 [序号] 英文原文 || 中文译文。"),
        QStringLiteral("请完成以下任务："),
        QStringLiteral("1. 总结：概括本节课的核心主题与内容要点（80-150 字，中文）。"),
        QStringLiteral("2. 审阅改进：找出明显翻译错误或生硬、不准确的条目，给出改进译文；仅列出需要改进的条目，最多 30 条。"),
        QStringLiteral("3. 旁批：为每个改进条目附加一条帮助理解的注释（术语解释、背景知识或易错点，20 字左右）。"),
        QStringLiteral("4. 关键要点：提炼 5-10 条本节课最重要的知识要点。"),
        QStringLiteral("5. 词汇表：提取 5-12 个重点词汇（专业术语或高频词），给出词义与中文例句。"),
        QStringLiteral("6. 主题统计：将全部记录按内容主题归类，返回主题名称与覆盖条目数量（用于绘制图表，4-8 个主题）。"),
        QStringLiteral("必须严格输出如下 JSON（不要输出任何其他文字，不要使用 markdown 代码块标记）："),
        QStringLiteral("{\"title\":\"本节课标题\",\"summary\":\"总结\",\"improvedEntries\":[{\"source\":\"英文原文\","
                       "\"translated\":\"原译文\",\"improved\":\"改进译文\",\"note\":\"旁批\"}],\"keyPoints\":[\"要点1\"],"
                       "\"vocabulary\":[{\"word\":\"单词\",\"meaning\":\"词义\",\"example\":\"例句\"}],"
                       "\"topics\":[{\"name\":\"主题\",\"count\":数字}]}"),
    };
    return lines.join(QLatin1Char('\n'));
}

QString buildPrompt(const std::vector<TranslationEntry> &entries)
{
    return DeepSeekSummary::courseText(QStringLiteral("课程翻译记录"), entries);
}

CC::Request reviewRequest(const std::vector<TranslationEntry> &entries, const QString &apiKey)
{
    CC::Request r;
    r.systemPrompt = reviewPrompt();
    r.userMessage = buildPrompt(entries);
    r.apiKey = apiKey;
    r.temperature = 0.3;
    r.timeoutSeconds = kReviewTimeout;
    return r;
}

CC::ErrorStyle reviewErrorStyle()
{
    return {.domain = QString::fromLatin1(kReviewDomain),
            .notHttpCode = -1,
            .noResultCode = -2,
            .noResultMessage = QStringLiteral("未收到有效审阅结果"),
            .httpPrefix = QStringLiteral("DeepSeek API 错误（"),
            .bodyChars = 200};
}

void review(const std::vector<TranslationEntry> &entries, const QString &apiKey, QObject *context,
            std::function<void(Result<ReviewResult>)> done)
{
    CC::sendDecoded<ReviewResult>(reviewRequest(entries, apiKey), reviewErrorStyle(), context,
                                  &ReviewResult::decode, std::move(done));
}

} // namespace DeepSeekReviewService
} // namespace vox

#include "PipelineTexts.h"

#include "ChineseScript.h"
#include "TranslationPipeline.h"

namespace vox {

QString rawValue(TranslationEngine e)
{
    switch (e) {
    case TranslationEngine::System:
        return QStringLiteral("system");
    case TranslationEngine::DeepSeek:
        return QStringLiteral("deepseek");
    }
    return QStringLiteral("system");
}

std::optional<TranslationEngine> translationEngineFromRaw(const QString &raw)
{
    if (raw == QLatin1String("system"))
        return TranslationEngine::System;
    if (raw == QLatin1String("deepseek"))
        return TranslationEngine::DeepSeek;
    return std::nullopt;
}

namespace PipelineTexts {

bool hasLetterOrNumber(const QString &text)
{
    for (const char32_t c : text.toUcs4())
        if (QChar::isLetterOrNumber(c))
            return true;
    return false;
}

std::optional<QStringList> cleanedResults(const QStringList &results, qsizetype expected)
{
    if (results.size() != expected)
        return std::nullopt;
    QStringList cleaned;
    cleaned.reserve(results.size());
    for (const QString &r : results) {
        const QString trimmed = r.trimmed();
        QString simplified = toSimplifiedChinese(trimmed);
        if (simplified.isEmpty())
            simplified = trimmed;
        if (simplified.isEmpty())
            return std::nullopt;
        cleaned.append(simplified);
    }
    return cleaned;
}

} // namespace PipelineTexts
} // namespace vox

#pragma once
// What the translation pipeline says to the user and how it reads what it
// is given: the texts of its warnings, which recognized text is worth
// translating, and answers cleaned into simplified Chinese.
#include <QString>
#include <QStringList>
#include <optional>

namespace vox::PipelineTexts {

inline const QString sessionNotReady = QStringLiteral("翻译会话尚未就绪，英文原文已保留；请稍后继续说话或重新开始。");
// The language pack of the local translation server (its zh model) is missing.
inline const QString languagePackMissing =
    QStringLiteral("需要下载英中翻译语言包；英文原文已保留。请为本地翻译服务安装中文（zh）模型后重试，"
                   "例如以「libretranslate --load-only en,zh」启动。");
inline const QString translateFailedPrefix = QStringLiteral("翻译失败，英文原文已保留：");
inline const QString noApiKey =
    QStringLiteral("DeepSeek 在线翻译需要 API Key；英文原文已保留。请点击「翻译设置」填写后重试。");
inline const QString deepSeekFellBackPrefix = QStringLiteral("DeepSeek 翻译失败，已自动切换为系统离线翻译：");
inline const QString deepSeekNoSession = QStringLiteral("DeepSeek 翻译失败，系统翻译会话尚未就绪；英文原文已保留。");
inline const QString bothFailedPrefix = QStringLiteral("DeepSeek 与系统翻译均失败，英文原文已保留：");
inline const QString incomplete = QStringLiteral("翻译结果不完整，英文原文已保留，请稍后重试。");
inline const QString gaveUp = QStringLiteral("翻译多次失败，已把英文原文记入课程记录（译文缺失），请检查网络或翻译设置。");

// True when the text holds a letter or a digit (punctuation alone is not
// translated).
bool hasLetterOrNumber(const QString &text);
// The answers trimmed and in simplified script, or none when their number is
// not `expected` or one is empty.
std::optional<QStringList> cleanedResults(const QStringList &results, qsizetype expected);

} // namespace vox::PipelineTexts

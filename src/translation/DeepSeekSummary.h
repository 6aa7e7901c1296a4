#pragma once
// DeepSeek's key points of a running course (the live summary), and the course
// text every whole-course request sends (the after-course review builds on it
// too). A stateless namespace over the shared chat-completions builder
// (ChatCompletions.h):
//
//   summary: domain "DeepSeekReview", 45 s, temperature 0.4, payload {"points": [...]}
#include "course/CourseRecords.h"
#include "platform/Error.h"
#include "translation/ChatCompletions.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace vox::DeepSeekSummary {

inline constexpr auto kSummaryDomain = "DeepSeekReview";
inline constexpr int kMaxPromptEntries = 800;
inline constexpr double kSummaryTimeout = 45;

// "<head>（共 N 条，以下为全部或最新 M 条）：\n[1] source || target\n..." over
// the last 800 entries.
QString courseText(const QString &head, const std::vector<TranslationEntry> &entries);

QString summaryPrompt();
// courseText() headed "课堂翻译记录".
QString buildSummaryText(const std::vector<TranslationEntry> &entries);
ChatCompletions::Request summaryRequest(const std::vector<TranslationEntry> &entries, const QString &apiKey);
ChatCompletions::ErrorStyle summaryErrorStyle();
// The "points" of a summary reply's content.
Result<QStringList> decodeSummary(const QByteArray &content);
// Key points of the entries. An empty key fails at once (-1 "未配置 API Key").
// `done` is never called once `context` is gone.
void summarize(const std::vector<TranslationEntry> &entries, const QString &apiKey, QObject *context,
               std::function<void(Result<QStringList>)> done);

} // namespace vox::DeepSeekSummary

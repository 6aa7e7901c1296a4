#pragma once
// DeepSeek over a whole course: the after-course review, and the review
// document built from it. A stateless namespace; the request goes through the
// shared chat-completions builder (translation/ChatCompletions.h) with the
// course text of the live summary (translation/DeepSeekSummary.h) and differs
// from it only in its prompts, temperature, time-out and error wording:
//
//   review:  domain "DeepSeek",       180 s, temperature 0.3, payload ReviewResult
#include "course/CourseRecords.h"
#include "platform/Error.h"
#include "translation/ChatCompletions.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace vox {

struct ImprovedEntry {
    QString source;     // the English sentence
    QString translated; // the translation under review
    QString improved;   // the corrected translation
    QString note;       // a short margin note
    bool operator==(const ImprovedEntry &) const = default;
};

struct VocabularyItem {
    QString word;
    QString meaning;
    QString example;
    bool operator==(const VocabularyItem &) const = default;
};

struct TopicCount {
    QString name;
    qint64 count = 0;
    bool operator==(const TopicCount &) const = default;
};

// What the review returns. Every key is required when decoding; a missing
// key, a null or a wrongly typed value anywhere (including a fractional or
// string "count") fails the whole result. Extra keys are ignored.
struct ReviewResult {
    QString title;
    QString summary;
    std::vector<ImprovedEntry> improvedEntries;
    QStringList keyPoints;
    std::vector<VocabularyItem> vocabulary;
    std::vector<TopicCount> topics;
    bool operator==(const ReviewResult &) const = default;

    static Result<ReviewResult> decode(const QByteArray &content);
};

namespace DeepSeekReviewService {

inline constexpr auto kReviewDomain = "DeepSeek";
inline constexpr double kReviewTimeout = 180;

// ---- course review ------------------------------------------------------

QString reviewPrompt();
// The user message: "课程翻译记录（共 N 条，以下为全部或最新 M 条）：\n..." over
// the last 800 entries.
QString buildPrompt(const std::vector<TranslationEntry> &entries);
ChatCompletions::Request reviewRequest(const std::vector<TranslationEntry> &entries, const QString &apiKey);
ChatCompletions::ErrorStyle reviewErrorStyle();
// The key is not examined here (the caller refuses an empty one).
void review(const std::vector<TranslationEntry> &entries, const QString &apiKey, QObject *context,
            std::function<void(Result<ReviewResult>)> done);

// ---- review document ----------------------------------------------------

// "&", "<", ">", '"', "'" replaced, in that order.
QString escapeHTML(const QString &text);
QString styleSheet();
QString card(int number, const QString &title, const QString &content);
QString heroSection(const CourseSession &course, const ReviewResult &result);
QString summaryHTML(const QString &summary);
QString keyPointsHTML(const QStringList &points);
QString topicsChartHTML(const std::vector<TopicCount> &topics);
// Width in percent of each topic's bar (at least 3, the largest 100).
std::vector<int> topicBarWidths(const std::vector<TopicCount> &topics);
QString reviewTableHTML(const std::vector<ImprovedEntry> &entries);
QString vocabularyHTML(const std::vector<VocabularyItem> &vocabulary);
QString fullEntriesHTML(const std::vector<TranslationEntry> &entries);
// The whole self-contained page.
QString buildHTML(const CourseSession &course, const ReviewResult &result);

// "<start> 课堂记录.html".
QString documentFileName(const CourseSession &course);
// Writes the page to Desktop/课程记录 (atomically, replacing an earlier
// document of the course) and returns its path. Fails with domain "DeepSeek"
// code -3 when there is no Desktop folder, or with the file error.
Result<QString> saveDocument(const CourseSession &course, const ReviewResult &result);

} // namespace DeepSeekReviewService
} // namespace vox

#pragma once
// The state behind the review window of one course: the course shown (which a
// re-translation replaces), the DeepSeek review and its document, the
// re-translation, the subtitle export and the message naming the file just
// written (exported subtitles, the saved document). The window only binds to it; the
// recording player lives with the window and reports its failures through
// reportPlaybackFailure().
#include "course/CourseRecords.h"
#include "translation/DeepSeekTranslationService.h"
#include "translation/TranscriptModel.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <vector>

namespace vox {

class CourseReviewModel : public QObject {
    Q_OBJECT
    // Header: "HH:mm:ss ～ HH:mm:ss · 时长 hh:mm:ss · 共 N 条".
    Q_PROPERTY(QString startTimeText READ startTimeText NOTIFY courseChanged)
    Q_PROPERTY(QString endTimeText READ endTimeText NOTIFY courseChanged)
    Q_PROPERTY(QString durationText READ durationText NOTIFY courseChanged)
    Q_PROPERTY(int entryCount READ entryCount NOTIFY courseChanged)
    Q_PROPERTY(QString headerCaption READ headerCaption NOTIFY courseChanged)
    // The sentences, one row each, in spoken order.
    Q_PROPERTY(vox::TranscriptModel *entries READ entries CONSTANT)
    Q_PROPERTY(bool hasEntries READ hasEntries NOTIFY courseChanged)
    Q_PROPERTY(QString recordingPath READ recordingPath NOTIFY courseChanged)
    Q_PROPERTY(QString recordingFileName READ recordingFileName NOTIFY courseChanged)
    Q_PROPERTY(bool recordingExists READ recordingExists NOTIFY courseChanged)

    // The stored "deepseek_api_key"; writing stores the value trimmed (empty included).
    Q_PROPERTY(QString apiKey READ apiKey WRITE setApiKey NOTIFY apiKeyChanged)
    Q_PROPERTY(bool canReview READ canReview NOTIFY actionsChanged)
    Q_PROPERTY(bool canRetranslate READ canRetranslate NOTIFY actionsChanged)

    Q_PROPERTY(ReviewState reviewState READ reviewState NOTIFY reviewStateChanged)
    Q_PROPERTY(bool isReviewing READ isReviewing NOTIFY reviewStateChanged)
    // The text shown for the state: the working caption, the failure message.
    Q_PROPERTY(QString reviewMessage READ reviewMessage NOTIFY reviewStateChanged)
    Q_PROPERTY(QUrl documentUrl READ documentUrl NOTIFY reviewStateChanged)
    Q_PROPERTY(QString documentFileName READ documentFileName NOTIFY reviewStateChanged)

    Q_PROPERTY(RetranslateState retranslateState READ retranslateState NOTIFY retranslateStateChanged)
    Q_PROPERTY(bool isRetranslating READ isRetranslating NOTIFY retranslateStateChanged)
    Q_PROPERTY(int retranslatedCount READ retranslatedCount NOTIFY retranslateStateChanged)
    Q_PROPERTY(QString retranslateMessage READ retranslateMessage NOTIFY retranslateStateChanged)

    // The file just written (subtitles, review document) and the message
    // about it: "字幕已导出：…" / "审阅文档已保存：…", or why the export or
    // opening it failed (exportFailed). Empty once dismissed.
    Q_PROPERTY(QString exportMessage READ exportMessage NOTIFY exportChanged)
    Q_PROPERTY(bool exportFailed READ exportFailed NOTIFY exportChanged)
    Q_PROPERTY(QString exportedPath READ exportedPath NOTIFY exportChanged)
    Q_PROPERTY(QString exportedFileName READ exportedFileName NOTIFY exportChanged)

public:
    enum class ReviewState { Idle, Working, Done, Failed };
    Q_ENUM(ReviewState)
    enum class RetranslateState { Idle, Working, Done, Failed };
    Q_ENUM(RetranslateState)

    explicit CourseReviewModel(CourseSession course, std::vector<GlossaryPair> glossary = {},
                               QObject *parent = nullptr);

    const CourseSession &course() const { return m_course; }
    const std::vector<GlossaryPair> &glossary() const { return m_glossary; }

    QString startTimeText() const;
    QString endTimeText() const;
    QString durationText() const;
    int entryCount() const { return int(m_course.entries.size()); }
    QString headerCaption() const;
    TranscriptModel *entries() { return &m_entries; }
    bool hasEntries() const { return !m_course.entries.empty(); }
    QString recordingPath() const { return m_course.recordingPath(); }
    QString recordingFileName() const;
    bool recordingExists() const;

    QString apiKey() const;
    void setApiKey(const QString &key);
    bool canReview() const;
    bool canRetranslate() const;

    ReviewState reviewState() const { return m_reviewState; }
    bool isReviewing() const { return m_isReviewing; }
    QString reviewMessage() const { return m_reviewMessage; }
    QUrl documentUrl() const { return m_documentUrl; }
    QString documentFileName() const;

    RetranslateState retranslateState() const { return m_retranslateState; }
    bool isRetranslating() const { return m_isRetranslating; }
    int retranslatedCount() const { return m_retranslatedCount; }
    QString retranslateMessage() const { return m_retranslateMessage; }

    QString exportMessage() const { return m_exportMessage; }
    bool exportFailed() const { return m_exportFailed; }
    QString exportedPath() const { return m_exportedPath; }
    QString exportedFileName() const;

    // Reviews the course with DeepSeek and saves the document on the Desktop.
    Q_INVOKABLE void startReview();
    // Translates the whole course again; a success replaces the course.
    Q_INVOKABLE void retranslate();
    // "srt" or "vtt": writes the subtitles to the Desktop; the export
    // message names the file (or the failure).
    Q_INVOKABLE void exportSubtitle(const QString &format);
    // The file of the export message, with its default application / in the
    // file manager; a failure replaces the message.
    Q_INVOKABLE void openExported();
    Q_INVOKABLE void revealExported();
    Q_INVOKABLE void dismissExportMessage();
    Q_INVOKABLE void openDocument();
    Q_INVOKABLE void revealDocument();
    Q_INVOKABLE void revealRecording();
    // "无法播放录音：" + description, shown where review results are shown.
    Q_INVOKABLE void reportPlaybackFailure(const QString &description);
    // Reloads the key from the store (when the window is shown).
    Q_INVOKABLE void reloadApiKey();

Q_SIGNALS:
    void courseChanged();
    void apiKeyChanged();
    void actionsChanged();
    void reviewStateChanged();
    void retranslateStateChanged();
    void exportChanged();

private:
    void setReviewState(ReviewState s, QString message = {}, QUrl url = {});
    void setRetranslateState(RetranslateState s, QString message = {}, int count = 0);
    void setExportMessage(QString message, QString path, bool failed = false);
    QString trimmedKey() const { return m_apiKey.trimmed(); }

    CourseSession m_course;
    TranscriptModel m_entries;
    std::vector<GlossaryPair> m_glossary;
    QString m_apiKey;
    ReviewState m_reviewState = ReviewState::Idle;
    bool m_isReviewing = false;
    QString m_reviewMessage;
    QUrl m_documentUrl;
    RetranslateState m_retranslateState = RetranslateState::Idle;
    bool m_isRetranslating = false;
    int m_retranslatedCount = 0;
    QString m_retranslateMessage;
    QString m_exportMessage;
    QString m_exportedPath;
    bool m_exportFailed = false;
};

} // namespace vox

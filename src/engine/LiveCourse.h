#pragma once
// The running course and its file: every sentence that lands is kept here
// (the engine's own list is capped, a course is not) and the course's archive
// file is rewritten atomically at most a second behind, marked in progress
// and carrying the English still waiting for translation, so that a crash or
// a kill leaves the lecture on disk. Main thread only.
#include "course/CourseRecords.h"
#include "platform/Time.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace vox {

class LiveCourse : public QObject {
    Q_OBJECT
public:
    // How long a change may wait before the file is rewritten.
    static constexpr double kSaveDelay = 1.0;

    // `waiting` supplies the sentences submitted but not yet landed (with
    // their placeholder translation) each time the file is written.
    LiveCourse(Date start, std::function<std::vector<TranslationEntry>()> waiting, QObject *parent = nullptr);
    ~LiveCourse() override;

    Date startDate() const { return m_start; }
    const std::vector<TranslationEntry> &entries() const { return m_entries; }
    const QString &archivePath() const { return m_path; }
    const std::optional<QString> &recordingPath() const { return m_recording; }
    // The last write failure, empty after a write that succeeded.
    const QString &writeError() const { return m_writeError; }

    void addEntry(const TranslationEntry &entry);
    // A kept sentence got its translation later (same id). False when the
    // course does not hold it.
    bool replaceTranslation(const TranslationEntry &entry);
    // The same for any list of sentences.
    static bool replaceTranslationIn(std::vector<TranslationEntry> &entries, const TranslationEntry &entry);
    void setRecordingPath(const std::optional<QString> &path);
    void setSummaryPoints(const QStringList &points);
    // Something that is written changed (sentences were submitted, say).
    void touch();

    // Writes the file now, still in progress.
    bool saveNow();
    // Writes the finished course (no marker, waiting English kept with its
    // placeholder) and stops keeping the file current. Returns the course as
    // written; its `archivePath` is empty when it could not be written.
    CourseSession finish(Date end);

Q_SIGNALS:
    void entryCountChanged();
    // A write failed (message for the user) or succeeded again (empty).
    void writeErrorChanged();

private:
    CourseSession snapshot(Date end, bool inProgress) const;
    bool write(const CourseSession &course);
    void scheduleSave();

    Date m_start;
    std::function<std::vector<TranslationEntry>()> m_waiting;
    std::vector<TranslationEntry> m_entries;
    std::optional<QString> m_recording;
    QStringList m_summaryPoints;
    QString m_path;
    QString m_writeError;
    TaskHandle m_saveTask;
    bool m_finished = false;
};

} // namespace vox

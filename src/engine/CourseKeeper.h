#pragma once
// The course lifecycle: start, the one-second course clock, the ending that
// waits for the last sentences to land, and the finished course. The running
// course itself (its sentences and file) is a LiveCourse. Main thread only;
// what it needs of the engine goes through CourseHost.
#include "course/CourseRecords.h"
#include "engine/LiveCourse.h"
#include "platform/Time.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace vox {

class LiveSummary;
class SessionRecording;

class CourseHost {
public:
    virtual ~CourseHost() = default;
    virtual bool isRecording() const = 0;
    // Ends the capture session (its last result still comes).
    virtual void stopRecording() = 0;
    // True while the recognizer or the translations still owe sentences.
    virtual bool sentencesUnderWay() const = 0;
    virtual std::vector<TranslationEntry> waitingSentences() const = 0;
    virtual const TranscriptEntries &landedSentences() const = 0;
    // A write failure to show (or, empty, one that has gone).
    virtual void courseWriteProblem(const QString &message, const QString &previous) = 0;
    virtual void recordingPathsChanged() = 0;
};

class CourseKeeper : public QObject {
    Q_OBJECT
public:
    static constexpr double kEndingPoll = 0.1;

    CourseKeeper(CourseHost &host, LiveSummary &summary, SessionRecording &recording, QObject *parent = nullptr);
    ~CourseKeeper() override;

    bool isActive() const { return m_isActive; }
    bool isEnding() const { return m_isEnding; }
    std::optional<Date> startDate() const { return m_startDate; }
    double duration() const { return m_duration; }
    const std::optional<CourseSession> &completed() const { return m_completed; }
    // The running or ending course, if any.
    LiveCourse *live() const { return m_course.get(); }

    void start();
    void end();
    void endNow();
    // A sentence got its translation later: the running course keeps it, and
    // so does the file of the course that has ended.
    void replaceTranslation(const TranslationEntry &entry);

Q_SIGNALS:
    void isActiveChanged();
    void startDateChanged();
    void durationChanged();
    void completedChanged();
    void isEndingChanged();
    void entryCountChanged();
    void archivePathChanged();
    void ended();

private:
    void startTimer();
    void finish();
    void onWriteError();

    CourseHost &m_host;
    LiveSummary &m_summary;
    SessionRecording &m_recording;
    bool m_isActive = false;
    bool m_isEnding = false;
    std::optional<Date> m_startDate;
    double m_duration = 0;
    std::optional<CourseSession> m_completed;
    std::unique_ptr<LiveCourse> m_course;
    TaskHandle m_timer;
    TaskHandle m_endingPoll;
    QString m_writeError;
};

} // namespace vox

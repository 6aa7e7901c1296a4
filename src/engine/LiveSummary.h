#pragma once
// The ten-minute live summary of a running course. Owned by the speech engine,
// which forwards `summaryPoints` and `isSummarizing` as its own published
// properties and calls the three course hooks below:
//
//   startCourse:  live.resetForNewCourse();  ...;  live.startAutoSummaryIfNeeded();
//   endCourse:    live.cancelAutoSummary();     (after the course is archived)
//   course bar:   live.generateSummary();
//
// Everything runs on the main thread. Delays go through vox::timeSource(), the
// request through DeepSeekSummary::summarize.
#include "course/CourseRecords.h"
#include "platform/Date.h"
#include "platform/Time.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vox {

// What the live summary reads from (and reports to) the engine that owns it.
class LiveSummaryHost {
public:
    virtual ~LiveSummaryHost() = default;
    // The engine's running list of translated sentences (all of them, not only
    // the course's: membership is decided by timestamp).
    virtual const TranscriptEntries &summaryEntries() const = 0;
    virtual bool summaryCourseActive() const = 0;
    virtual std::optional<Date> summaryCourseStartDate() const = 0;
    // A run failed, or could not start for want of a key: the engine shows it.
    virtual void summaryProblem(const QString &message, bool needsKey) = 0;
    // A run succeeded: its earlier failure is over.
    virtual void summaryAnswered() = 0;
};

class LiveSummary : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList summaryPoints READ summaryPoints NOTIFY summaryPointsChanged)
    Q_PROPERTY(bool isSummarizing READ isSummarizing NOTIFY isSummarizingChanged)
public:
    // Seconds between two automatic runs of a course.
    static constexpr double kInterval = 600.0;

    explicit LiveSummary(LiveSummaryHost &host, QObject *parent = nullptr);
    ~LiveSummary() override;

    QStringList summaryPoints() const { return m_points; }
    bool isSummarizing() const { return m_isSummarizing; }
    // Entries newer than this are still to be summarized; absent at course start.
    std::optional<Date> summaryAnchorDate() const { return m_anchor; }
    // True while the ten-minute loop exists.
    bool isAutoSummaryRunning() const { return m_loopActive; }

    // startCourse: empties the points and forgets the anchor.
    void resetForNewCourse();
    // Starts (or restarts) the ten-minute loop when an API key is stored.
    void startAutoSummaryIfNeeded();
    // endCourse: stops the loop; a request the loop is waiting for is
    // cancelled and ends through the failure path. A run started by
    // generateSummary() directly is not affected.
    void cancelAutoSummary();
    // One summary run of the entries newer than the anchor (course-bar button).
    Q_INVOKABLE void generateSummary();

Q_SIGNALS:
    void summaryPointsChanged();
    void isSummarizingChanged();

private:
    void scheduleLoopTick(unsigned long long loop);
    void loopTick(unsigned long long loop);
    // `done` runs when the run has ended (at once when nothing was sent).
    void runSummary(bool fromLoop, std::function<void()> done);
    void setSummarizing(bool on);

    LiveSummaryHost &m_host;
    QStringList m_points;
    bool m_isSummarizing = false;
    std::optional<Date> m_anchor;

    bool m_loopActive = false;
    unsigned long long m_loopGeneration = 0;
    TaskHandle m_loopTimer;
    // Cancels the request the loop is waiting for, if any.
    std::function<void()> m_cancelLoopRequest;
};

} // namespace vox

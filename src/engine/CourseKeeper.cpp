#include "CourseKeeper.h"

#include "course/CourseArchive.h"
#include "engine/LiveSummary.h"
#include "engine/SessionRecording.h"
#include "platform/Diag.h"

namespace vox {

CourseKeeper::CourseKeeper(CourseHost &host, LiveSummary &summary, SessionRecording &recording, QObject *parent)
    : QObject(parent), m_host(host), m_summary(summary), m_recording(recording)
{
}

CourseKeeper::~CourseKeeper()
{
    m_timer.cancel();
    m_endingPoll.cancel();
}

void CourseKeeper::start()
{
    // A course still running or ending is finished first, with everything
    // it has: a new course never takes over another one's file.
    endNow();
    const Date start = timeSource().now();
    m_startDate = start;
    emit startDateChanged();
    m_duration = 0;
    emit durationChanged();
    if (!m_isActive) {
        m_isActive = true;
        emit isActiveChanged();
    }
    if (m_completed) {
        m_completed.reset();
        emit completedChanged();
    }
    m_course = std::make_unique<LiveCourse>(start, [this] { return m_host.waitingSentences(); });
    connect(m_course.get(), &LiveCourse::entryCountChanged, this, &CourseKeeper::entryCountChanged);
    connect(m_course.get(), &LiveCourse::writeErrorChanged, this, &CourseKeeper::onWriteError);
    // A sentence that landed at the very instant of the start belongs to
    // the course.
    const auto &landed = m_host.landedSentences();
    auto first = landed.end();
    while (first != landed.begin() && std::prev(first)->timestamp >= start)
        --first;
    for (auto it = first; it != landed.end(); ++it)
        m_course->addEntry(*it);
    emit entryCountChanged();
    emit archivePathChanged();
    onWriteError();
    // A course started while recording keeps the recording under way.
    m_recording.adopt(*m_course);
    m_summary.resetForNewCourse();
    startTimer();
    m_summary.startAutoSummaryIfNeeded();
    diag(QStringLiteral("课程开始，记录文件: %1").arg(m_course->archivePath().isEmpty() ? QStringLiteral("无")
                                                                                 : m_course->archivePath()));
}

void CourseKeeper::onWriteError()
{
    const QString error = m_course ? m_course->writeError() : QString();
    m_host.courseWriteProblem(error, m_writeError);
    m_writeError = error;
}

void CourseKeeper::startTimer()
{
    m_timer.cancel();
    auto tick = [this] {
        if (m_startDate && m_isActive) {
            const double d = timeSource().now().secondsSince(*m_startDate);
            if (d != m_duration) {
                m_duration = d;
                emit durationChanged();
            }
        }
    };
    tick();
    m_timer = timeSource().every(1.0, this, tick);
}

void CourseKeeper::end()
{
    if (!m_isActive || !m_startDate || !m_course)
        return;
    diag(QStringLiteral("课程结束中：等待最后的识别结果与翻译落地"));
    m_isActive = false;
    emit isActiveChanged();
    m_isEnding = true;
    emit isEndingChanged();
    m_timer.cancel();
    m_timer = TaskHandle();
    m_summary.cancelAutoSummary();
    // The sentence spoken just before the press is still in the recognizer:
    // stop hands it over, then it and every waiting batch land.
    if (m_host.isRecording())
        m_host.stopRecording();
    m_course->saveNow();
    auto poll = [this] {
        if (m_isEnding && !m_host.sentencesUnderWay())
            finish();
    };
    m_endingPoll = timeSource().every(kEndingPoll, this, poll);
    poll();
}

void CourseKeeper::endNow()
{
    if (!m_course)
        return;
    if (m_isActive) {
        m_isActive = false;
        emit isActiveChanged();
        m_timer.cancel();
        m_timer = TaskHandle();
        m_summary.cancelAutoSummary();
    }
    m_isEnding = true;
    finish();
}

void CourseKeeper::replaceTranslation(const TranslationEntry &entry)
{
    if (m_course) {
        m_course->replaceTranslation(entry);
        return;
    }
    if (!m_completed || !LiveCourse::replaceTranslationIn(m_completed->entries, entry))
        return;
    if (!m_completed->archivePath.isEmpty()) {
        if (const auto saved = CourseArchive::save(*m_completed); !saved)
            m_host.courseWriteProblem(saved.error().message, QString());
    }
    emit completedChanged();
}

void CourseKeeper::finish()
{
    if (!m_course)
        return;
    m_endingPoll.cancel();
    m_endingPoll = TaskHandle();
    m_recording.courseEnded(m_course.get());
    m_host.recordingPathsChanged();
    CourseSession course = m_course->finish(timeSource().now());
    const QString writeError = m_course->writeError();
    m_course.reset();
    m_writeError.clear();
    m_completed = course;
    emit completedChanged();
    if (!writeError.isEmpty())
        m_host.courseWriteProblem(writeError, QString());
    m_startDate.reset();
    emit startDateChanged();
    m_isEnding = false;
    emit isEndingChanged();
    emit entryCountChanged();
    emit archivePathChanged();
    diag(QStringLiteral("课程结束，共记录 %1 条翻译，录音: %2")
             .arg(course.entries.size())
             .arg(course.recordingURL ? course.recordingPath() : QStringLiteral("无")));
    emit ended();
}

} // namespace vox

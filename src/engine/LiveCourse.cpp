#include "LiveCourse.h"

#include "course/CourseArchive.h"
#include "platform/Diag.h"
#include "platform/Process.h"

#include <QUrl>

namespace vox {

LiveCourse::LiveCourse(Date start, std::function<std::vector<TranslationEntry>()> waiting, QObject *parent)
    : QObject(parent), m_start(start), m_waiting(std::move(waiting))
{
    // The file exists from the first moment of the course.
    saveNow();
}

LiveCourse::~LiveCourse()
{
    m_saveTask.cancel();
}

void LiveCourse::addEntry(const TranslationEntry &entry)
{
    m_entries.push_back(entry);
    emit entryCountChanged();
    scheduleSave();
}

bool LiveCourse::replaceTranslationIn(std::vector<TranslationEntry> &entries, const TranslationEntry &entry)
{
    // Newest first: a placeholder translated again is usually recent.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (it->id == entry.id) {
            it->target = entry.target;
            return true;
        }
    }
    return false;
}

bool LiveCourse::replaceTranslation(const TranslationEntry &entry)
{
    if (!replaceTranslationIn(m_entries, entry))
        return false;
    scheduleSave();
    return true;
}

void LiveCourse::setRecordingPath(const std::optional<QString> &path)
{
    if (m_recording == path)
        return;
    m_recording = path;
    scheduleSave();
}

void LiveCourse::setSummaryPoints(const QStringList &points)
{
    if (m_summaryPoints == points)
        return;
    m_summaryPoints = points;
    scheduleSave();
}

void LiveCourse::touch()
{
    scheduleSave();
}

void LiveCourse::scheduleSave()
{
    if (m_finished || m_saveTask.isActive())
        return;
    m_saveTask = timeSource().after(kSaveDelay, this, [this] { saveNow(); });
}

CourseSession LiveCourse::snapshot(Date end, bool inProgress) const
{
    std::optional<QUrl> recording;
    if (m_recording)
        recording = QUrl::fromLocalFile(*m_recording);
    CourseSession c(m_start, end, m_entries, recording);
    c.summaryPoints = m_summaryPoints;
    c.archivePath = m_path;
    if (m_waiting)
        c.pendingEntries = m_waiting();
    c.inProgress = inProgress;
    if (inProgress)
        c.owner = CourseOwner{Process::currentPid(), Process::startTime(Process::currentPid())};
    return c;
}

bool LiveCourse::write(const CourseSession &course)
{
    auto saved = CourseArchive::save(course);
    QString error;
    if (saved) {
        m_path = saved.value();
    } else {
        error = QStringLiteral("课程记录无法保存：") + saved.error().message;
        diag(QStringLiteral("课程记录写入失败: ") + saved.error().message);
    }
    if (error != m_writeError) {
        m_writeError = error;
        emit writeErrorChanged();
    }
    return saved.ok();
}

bool LiveCourse::saveNow()
{
    m_saveTask.cancel();
    if (m_finished)
        return !m_path.isEmpty();
    return write(snapshot(timeSource().now(), true));
}

CourseSession LiveCourse::finish(Date end)
{
    m_saveTask.cancel();
    CourseSession course = CourseArchive::finished(snapshot(end, false));
    m_finished = true;
    if (!write(course))
        course.archivePath.clear();
    else
        course.archivePath = m_path;
    return course;
}

} // namespace vox

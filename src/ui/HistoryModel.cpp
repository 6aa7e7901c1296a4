#include "HistoryModel.h"

#include "CoursePlaybackModel.h"
#include "course/CourseArchive.h"

namespace vox {

HistoryModel::HistoryModel(QObject *parent) : QObject(parent) {}

void HistoryModel::setKeyword(const QString &k)
{
    if (k == m_keyword)
        return;
    m_keyword = k;
    emit keywordChanged();
    refilter();
}

void HistoryModel::setHighlightColor(const QColor &color)
{
    if (color == m_highlightColor)
        return;
    m_highlightColor = color;
    m_displayed.setHighlightColor(color.isValid() ? color.name() : QString());
    emit highlightColorChanged();
}

void HistoryModel::reload()
{
    m_courses = CourseArchive::loadAll();
    refilter();
}

void HistoryModel::refilter()
{
    // The keyword goes to the search as typed; the search trims it.
    m_displayed.setCourses(CourseArchive::search(m_courses, m_keyword), m_keyword);
    emit rowsChanged();
}

QString HistoryModel::emptyText() const
{
    if (m_displayed.rowCount() > 0)
        return {};
    if (!m_courses.empty())
        return QStringLiteral("没有匹配「") + m_keyword + QStringLiteral("」的课程。");
    return QStringLiteral("还没有归档课程。\n课程结束后记录会自动保存到「桌面/课程记录/记录/」。");
}

QVariant HistoryModel::reviewingCourseVariant() const
{
    return m_reviewing ? QVariant::fromValue(*m_reviewing) : QVariant();
}

void HistoryModel::openCourse(int row)
{
    if (row < 0 || row >= m_displayed.rowCount())
        return;
    m_reviewing = displayed()[size_t(row)];
    emit reviewingCourseChanged();
}

bool HistoryModel::applyReviewingCourse(QObject *playback)
{
    auto *p = qobject_cast<CoursePlaybackModel *>(playback);
    if (!p || !m_reviewing)
        return false;
    p->setCourse(*m_reviewing);
    // A re-translation written back shows in the list (and its search) too.
    connect(p, &CoursePlaybackModel::courseSaved, this, &HistoryModel::replaceCourse, Qt::UniqueConnection);
    return true;
}

void HistoryModel::replaceCourse(const CourseSession &course)
{
    bool found = false;
    for (CourseSession &c : m_courses) {
        if (!course.archivePath.isEmpty() && c.archivePath == course.archivePath) {
            c = course;
            found = true;
        }
    }
    if (m_reviewing && m_reviewing->archivePath == course.archivePath)
        m_reviewing = course;
    if (found)
        refilter();
}

void HistoryModel::closeReview()
{
    if (!m_reviewing)
        return;
    m_reviewing.reset();
    emit reviewingCourseChanged();
}

} // namespace vox

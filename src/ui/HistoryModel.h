#pragma once
// The history sheet: every archived course, filtered by a keyword that may
// occur in an English sentence or a Chinese translation; a chosen course
// opens in the course review sheet.
#include "course/CourseListModel.h"
#include "course/CourseRecords.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QtQml/qqmlregistration.h>
#include <optional>
#include <vector>

namespace vox {

class HistoryModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    // The search text as typed.
    Q_PROPERTY(QString keyword READ keyword WRITE setKeyword NOTIFY keywordChanged)
    // The courses found, in search order, each with the sentences that hold
    // the keyword, highlighted in `highlightColor`.
    Q_PROPERTY(vox::CourseListModel *rows READ rows CONSTANT)
    Q_PROPERTY(QColor highlightColor READ highlightColor WRITE setHighlightColor NOTIFY highlightColorChanged)
    Q_PROPERTY(int courseCount READ courseCount NOTIFY rowsChanged)
    // The text shown instead of an empty list.
    Q_PROPERTY(QString emptyText READ emptyText NOTIFY rowsChanged)
    Q_PROPERTY(bool hasReviewingCourse READ hasReviewingCourse NOTIFY reviewingCourseChanged)
    // The CourseSession opened in the review sheet (invalid when none).
    Q_PROPERTY(QVariant reviewingCourse READ reviewingCourseVariant NOTIFY reviewingCourseChanged)

public:
    explicit HistoryModel(QObject *parent = nullptr);

    QString keyword() const { return m_keyword; }
    void setKeyword(const QString &k);
    CourseListModel *rows() { return &m_displayed; }
    QColor highlightColor() const { return m_highlightColor; }
    void setHighlightColor(const QColor &color);
    int courseCount() const { return int(m_courses.size()); }
    QString emptyText() const;
    const std::vector<CourseSession> &displayed() const { return m_displayed.courses(); }

    bool hasReviewingCourse() const { return m_reviewing.has_value(); }
    const std::optional<CourseSession> &reviewingCourse() const { return m_reviewing; }
    QVariant reviewingCourseVariant() const;

    // Reads the archive again (the sheet was shown).
    Q_INVOKABLE void reload();
    // A row was clicked: its course opens in the review sheet.
    Q_INVOKABLE void openCourse(int row);
    Q_INVOKABLE void closeReview();
    // Hands the opened course to the review sheet's CoursePlaybackModel
    // (with the file it was read from); what the sheet writes back replaces
    // the course here.
    Q_INVOKABLE bool applyReviewingCourse(QObject *playback);
    // A course written back to its file (matched by archivePath).
    void replaceCourse(const CourseSession &course);

Q_SIGNALS:
    void keywordChanged();
    void highlightColorChanged();
    void rowsChanged();
    void reviewingCourseChanged();

private:
    void refilter();

    QString m_keyword;
    std::vector<CourseSession> m_courses;
    CourseListModel m_displayed;
    QColor m_highlightColor;
    std::optional<CourseSession> m_reviewing;
};

} // namespace vox

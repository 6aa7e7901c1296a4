#include "CourseListModel.h"

#include <algorithm>

namespace vox {

void CourseListModel::setCourses(std::vector<CourseSession> courses, const QString &keyword)
{
    const QString trimmed = keyword.trimmed();
    const bool newKeyword = trimmed != m_keyword;
    m_keyword = trimmed;
    const bool sameRows = courses.size() == m_courses.size() &&
                          std::equal(courses.begin(), courses.end(), m_courses.begin(),
                                     [](const CourseSession &a, const CourseSession &b) { return a.id == b.id; });
    if (!sameRows) {
        beginResetModel();
        m_courses = std::move(courses);
        endResetModel();
        Q_EMIT countChanged();
        return;
    }
    for (size_t i = 0; i < courses.size(); ++i) {
        if (m_courses[i] == courses[i])
            continue;
        m_courses[i] = std::move(courses[i]);
        Q_EMIT dataChanged(index(int(i)), index(int(i)));
    }
    if (newKeyword)
        matchesChanged();
}

void CourseListModel::setHighlightColor(const QString &color)
{
    if (color == m_highlightColor)
        return;
    m_highlightColor = color;
    matchesChanged();
}

void CourseListModel::matchesChanged()
{
    if (!m_courses.empty())
        Q_EMIT dataChanged(index(0), index(rowCount() - 1), {MatchesRole, MatchCountRole, MoreMatchesRole});
}

namespace {

// As the archive's search compares: the English side in any case, the
// Chinese side exactly.
constexpr Qt::CaseSensitivity kSource = Qt::CaseInsensitive;
constexpr Qt::CaseSensitivity kTarget = Qt::CaseSensitive;

} // namespace

QString CourseListModel::highlighted(const QString &text, const QString &keyword, const QString &color,
                                     Qt::CaseSensitivity cs)
{
    if (keyword.isEmpty())
        return text.toHtmlEscaped();
    // Matched on the plain text, each piece escaped on its own: a keyword
    // can never match inside an entity, nor the text add markup.
    constexpr qsizetype kLead = 20;
    QString plain = text;
    const qsizetype first = plain.indexOf(keyword, 0, cs);
    if (first > 2 * kLead) {
        qsizetype from = first - kLead;
        if (plain.at(from).isLowSurrogate())
            --from;
        plain = QStringLiteral("…") + plain.mid(from);
    }
    const QString open = color.isEmpty() ? QStringLiteral("<b>")
                                         : QStringLiteral("<b><font color=\"%1\">").arg(color.toHtmlEscaped());
    const QString close = color.isEmpty() ? QStringLiteral("</b>") : QStringLiteral("</font></b>");
    QString out;
    qsizetype at = 0;
    for (qsizetype hit = plain.indexOf(keyword, 0, cs); hit >= 0; hit = plain.indexOf(keyword, at, cs)) {
        out += plain.mid(at, hit - at).toHtmlEscaped() + open + plain.mid(hit, keyword.size()).toHtmlEscaped() + close;
        at = hit + keyword.size();
    }
    return out + plain.mid(at).toHtmlEscaped();
}

QStringList CourseListModel::matches(const CourseSession &c) const
{
    QStringList lines;
    if (m_keyword.isEmpty())
        return lines;
    for (const TranslationEntry &e : c.entries) {
        if (lines.size() == kShownMatches)
            break;
        // The side that holds the keyword; both when both do.
        QStringList sides;
        if (e.source.contains(m_keyword, kSource))
            sides << highlighted(e.source, m_keyword, m_highlightColor, kSource);
        if (e.target.contains(m_keyword, kTarget))
            sides << highlighted(e.target, m_keyword, m_highlightColor, kTarget);
        if (!sides.isEmpty())
            lines << sides.join(QStringLiteral(" → "));
    }
    return lines;
}

int CourseListModel::matchCount(const CourseSession &c) const
{
    if (m_keyword.isEmpty())
        return 0;
    return int(std::count_if(c.entries.begin(), c.entries.end(), [&](const TranslationEntry &e) {
        return e.source.contains(m_keyword, kSource) || e.target.contains(m_keyword, kTarget);
    }));
}

QString CourseListModel::startText(const CourseSession &c)
{
    return c.startDate.toQDateTime().toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString CourseListModel::caption(const CourseSession &c)
{
    return QStringLiteral("%1 条翻译 · 时长 ").arg(c.entries.size()) + formattedDuration(c.endDate.secondsSince(c.startDate));
}

int CourseListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_courses.size());
}

QVariant CourseListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const CourseSession &c = m_courses[size_t(index.row())];
    switch (role) {
    case StartTextRole:
        return startText(c);
    case CaptionRole:
        return caption(c);
    case PreviewRole:
        return c.entries.empty() ? QString() : c.entries.front().source;
    case HasPreviewRole:
        return !c.entries.empty();
    case MatchesRole:
        return matches(c);
    case MatchCountRole:
        return matchCount(c);
    case MoreMatchesRole: {
        const int more = matchCount(c) - kShownMatches;
        return more > 0 ? QStringLiteral("另有 %1 句").arg(more) : QString();
    }
    default:
        return {};
    }
}

QHash<int, QByteArray> CourseListModel::roleNames() const
{
    return {{StartTextRole, "startText"}, {CaptionRole, "caption"},       {PreviewRole, "preview"},
            {HasPreviewRole, "hasPreview"}, {MatchesRole, "matches"},       {MatchCountRole, "matchCount"},
            {MoreMatchesRole, "moreMatches"}};
}

} // namespace vox

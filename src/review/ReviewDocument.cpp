// The review document: one self-contained HTML page (inline style sheet, no
// scripts) made of a hero banner and numbered cards.
#include "DeepSeekReviewService.h"
#include "DesktopFiles.h"
#include "course/CourseArchive.h"

#include <QDir>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace vox::DeepSeekReviewService {

namespace {

QString localTime(const Date &d, const QString &pattern)
{
    return d.toQDateTime().toLocalTime().toString(pattern);
}

const QString &kTimePattern()
{
    static const QString p = QStringLiteral("HH:mm:ss");
    return p;
}

} // namespace

QString escapeHTML(const QString &text)
{
    QString s = text;
    s.replace(QLatin1Char('&'), QStringLiteral("&amp;"));
    s.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    s.replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    s.replace(QLatin1Char('"'), QStringLiteral("&quot;"));
    s.replace(QLatin1Char('\''), QStringLiteral("&#39;"));
    return s;
}

QString styleSheet()
{
    static const QStringList rules = {
        QStringLiteral("*{box-sizing:border-box;}"),
        QStringLiteral("body{margin:0;font-family:-apple-system,BlinkMacSystemFont,\"PingFang SC\",\"Hiragino Sans GB\","
                       "\"Segoe UI\",sans-serif;background:#f6f7fb;color:#1f2937;line-height:1.6;}"),
        QStringLiteral(".page{max-width:920px;margin:0 auto;padding:36px 24px 64px;}"),
        QStringLiteral(".hero{background:linear-gradient(135deg,#ff7a18,#f43f5e 55%,#8b5cf6);color:#fff;border-radius:18px;"
                       "padding:30px 34px;box-shadow:0 14px 34px rgba(244,63,94,.25);}"),
        QStringLiteral(".hero h1{margin:0 0 10px;font-size:27px;letter-spacing:.5px;}"),
        QStringLiteral(".hero .meta{opacity:.95;font-size:13.5px;}"),
        QStringLiteral(".badge{display:inline-block;background:rgba(255,255,255,.2);border:1px solid rgba(255,255,255,.35);"
                       "border-radius:999px;padding:2px 11px;font-size:12px;margin:3px 6px 0 0;}"),
        QStringLiteral(".card{background:#fff;border:1px solid #e5e7eb;border-radius:14px;padding:22px 24px;margin-top:22px;"
                       "box-shadow:0 2px 10px rgba(15,23,42,.05);}"),
        QStringLiteral(".card h2{margin:0 0 14px;font-size:17px;display:flex;align-items:center;gap:9px;}"),
        QStringLiteral(".card h2 .num{background:#fff7ed;color:#ea580c;border:1px solid #fed7aa;border-radius:8px;"
                       "font-size:12px;padding:2px 9px;}"),
        QStringLiteral(".summary{font-size:15px;}"),
        QStringLiteral("ul.key{list-style:none;padding:0;margin:0;}"),
        QStringLiteral("ul.key li{padding:9px 14px;border-left:3px solid #f97316;background:#fffaf5;border-radius:0 8px 8px 0;"
                       "margin-bottom:8px;font-size:14px;}"),
        QStringLiteral("table{width:100%;border-collapse:collapse;font-size:13px;}"),
        QStringLiteral("th,td{border:1px solid #e5e7eb;padding:9px 11px;text-align:left;vertical-align:top;}"),
        QStringLiteral("th{background:#f9fafb;font-weight:600;white-space:nowrap;}"),
        QStringLiteral("tbody tr:nth-child(even) td{background:#fcfcfd;}"),
        QStringLiteral(".src{color:#6b7280;}"),
        QStringLiteral(".improved{color:#059669;font-weight:600;}"),
        QStringLiteral(".note{color:#0891b2;font-size:12px;}"),
        QStringLiteral(".empty{color:#9ca3af;font-style:italic;font-size:14px;}"),
        QStringLiteral(".bar-row{display:flex;align-items:center;gap:10px;margin-bottom:9px;}"),
        QStringLiteral(".bar-label{width:130px;font-size:13px;flex-shrink:0;text-align:right;overflow:hidden;"
                       "text-overflow:ellipsis;white-space:nowrap;}"),
        QStringLiteral(".bar-track{flex:1;background:#eef0f4;border-radius:999px;height:20px;overflow:hidden;}"),
        QStringLiteral(".bar-fill{height:100%;border-radius:999px;background:linear-gradient(90deg,#fb923c,#f43f5e);"
                       "min-width:6px;}"),
        QStringLiteral(".bar-count{width:56px;font-size:12px;color:#6b7280;}"),
        QStringLiteral(".vocab{display:grid;grid-template-columns:1fr 1fr;gap:12px;}"),
        QStringLiteral(".vocab-item{border:1px solid #e5e7eb;border-radius:10px;padding:13px 15px;background:#fbfcfe;}"),
        QStringLiteral(".vocab-item .w{font-weight:700;color:#ea580c;font-size:15px;}"),
        QStringLiteral(".vocab-item .m{font-size:13px;margin-top:4px;}"),
        QStringLiteral(".vocab-item .e{font-size:12px;color:#6b7280;font-style:italic;margin-top:6px;}"),
        QStringLiteral("details{margin-top:6px;}"),
        QStringLiteral("summary{cursor:pointer;font-weight:600;color:#f97316;font-size:14px;user-select:none;}"),
        QStringLiteral(".entry{display:flex;gap:12px;padding:9px 0;border-bottom:1px dashed #e5e7eb;font-size:13px;}"),
        QStringLiteral(".entry:last-child{border-bottom:none;}"),
        QStringLiteral(".entry .time{color:#9ca3af;width:66px;flex-shrink:0;font-variant-numeric:tabular-nums;}"),
        QStringLiteral(".entry .body{flex:1;}"),
        QStringLiteral(".entry .src{color:#6b7280;}"),
        QStringLiteral(".entry .dst{font-weight:500;}"),
        QStringLiteral("footer{text-align:center;color:#9ca3af;font-size:12px;margin-top:30px;}"),
        QStringLiteral("@media (max-width:640px){.vocab{grid-template-columns:1fr;}}"),
    };
    return rules.join(QLatin1Char('\n'));
}

QString card(int number, const QString &title, const QString &content)
{
    return QStringLiteral("<div class=\"card\">\n<h2><span class=\"num\">") + QString::number(number) +
           QStringLiteral("</span>") + title + QStringLiteral("</h2>\n") + content + QStringLiteral("\n</div>");
}

QString heroSection(const CourseSession &course, const ReviewResult &result)
{
    const QString title = result.title.isEmpty() ? QStringLiteral("课堂翻译记录") : escapeHTML(result.title);
    const QString date = escapeHTML(localTime(course.startDate, QStringLiteral("yyyy年M月d日")));
    const QString duration = formattedDuration(course.endDate.secondsSince(course.startDate));
    return QStringLiteral("<div class=\"hero\">\n<h1>") + title + QStringLiteral("</h1>\n<div class=\"meta\">📅 ") + date +
           QStringLiteral(" · 🕐 ") + localTime(course.startDate, kTimePattern()) + QStringLiteral(" ～ ") +
           localTime(course.endDate, kTimePattern()) + QStringLiteral("（时长 ") + duration +
           QStringLiteral("）</div>\n<div>\n<span class=\"badge\">共 ") + QString::number(course.entries.size()) +
           QStringLiteral(" 条翻译</span>\n<span class=\"badge\">") + QString::number(result.improvedEntries.size()) +
           QStringLiteral(" 处改进</span>\n<span class=\"badge\">") + QString::number(result.keyPoints.size()) +
           QStringLiteral(" 个要点</span>\n<span class=\"badge\">DeepSeek 审阅</span>\n</div>\n</div>");
}

QString summaryHTML(const QString &summary)
{
    if (summary.isEmpty())
        return QStringLiteral("<p class=\"empty\">暂无总结。</p>");
    return QStringLiteral("<p class=\"summary\">") + escapeHTML(summary) + QStringLiteral("</p>");
}

QString keyPointsHTML(const QStringList &points)
{
    if (points.isEmpty())
        return QStringLiteral("<p class=\"empty\">暂无要点。</p>");
    QStringList items;
    items.reserve(points.size());
    for (const QString &p : points)
        items.append(QStringLiteral("<li>") + escapeHTML(p) + QStringLiteral("</li>"));
    return QStringLiteral("<ul class=\"key\">\n") + items.join(QLatin1Char('\n')) + QStringLiteral("\n</ul>");
}

std::vector<int> topicBarWidths(const std::vector<TopicCount> &topics)
{
    qint64 largest = std::numeric_limits<qint64>::min();
    for (const auto &t : topics)
        largest = std::max(largest, t.count);
    const double divisor = largest >= 2 ? double(largest) : 1.0;
    std::vector<int> widths;
    widths.reserve(topics.size());
    for (const auto &t : topics) {
        const double w = std::trunc(double(t.count) / divisor * 100.0);
        widths.push_back(w < 3 ? 3 : int(std::min(w, 100.0)));
    }
    return widths;
}

QString topicsChartHTML(const std::vector<TopicCount> &topics)
{
    const std::vector<int> widths = topicBarWidths(topics);
    QStringList rows;
    for (size_t i = 0; i < topics.size(); ++i) {
        rows.append(QStringLiteral("<div class=\"bar-row\">\n<div class=\"bar-label\">") + escapeHTML(topics[i].name) +
                    QStringLiteral("</div>\n<div class=\"bar-track\"><div class=\"bar-fill\" style=\"width:") +
                    QString::number(widths[i]) + QStringLiteral("%\"></div></div>\n<div class=\"bar-count\">") +
                    QString::number(topics[i].count) + QStringLiteral(" 条</div>\n</div>"));
    }
    return rows.join(QLatin1Char('\n'));
}

QString reviewTableHTML(const std::vector<ImprovedEntry> &entries)
{
    if (entries.empty())
        return QStringLiteral("<p class=\"empty\">未发现明显翻译问题，本节课译文质量良好。</p>");
    QStringList rows;
    rows.reserve(qsizetype(entries.size()));
    int k = 0;
    for (const auto &e : entries) {
        const QString note =
            e.note.isEmpty() ? QString() : QStringLiteral("<div class=\"note\">💡 ") + escapeHTML(e.note) + QStringLiteral("</div>");
        rows.append(QStringLiteral("<tr>\n<td>") + QString::number(++k) + QStringLiteral("</td>\n<td class=\"src\">") +
                    escapeHTML(e.source) + QStringLiteral("</td>\n<td>") + escapeHTML(e.translated) +
                    QStringLiteral("</td>\n<td class=\"improved\">") + escapeHTML(e.improved) + QStringLiteral("</td>\n<td>") +
                    note + QStringLiteral("</td>\n</tr>"));
    }
    return QStringLiteral("<table>\n<thead><tr><th style=\"width:36px\">#</th><th>英文原文</th><th>原译文</th><th>改进译文</th>"
                          "<th>旁批</th></tr></thead>\n<tbody>\n") +
           rows.join(QLatin1Char('\n')) + QStringLiteral("\n</tbody>\n</table>");
}

QString vocabularyHTML(const std::vector<VocabularyItem> &vocabulary)
{
    QStringList items;
    for (const auto &v : vocabulary) {
        const QString example = v.example.isEmpty()
                                    ? QString()
                                    : QStringLiteral("<div class=\"e\">例：") + escapeHTML(v.example) + QStringLiteral("</div>");
        items.append(QStringLiteral("<div class=\"vocab-item\">\n<div class=\"w\">") + escapeHTML(v.word) +
                     QStringLiteral("</div>\n<div class=\"m\">") + escapeHTML(v.meaning) + QStringLiteral("</div>\n") + example +
                     QStringLiteral("\n</div>"));
    }
    return QStringLiteral("<div class=\"vocab\">\n") + items.join(QLatin1Char('\n')) + QStringLiteral("\n</div>");
}

QString fullEntriesHTML(const std::vector<TranslationEntry> &entries)
{
    if (entries.empty())
        return QStringLiteral("<p class=\"empty\">本节课没有翻译记录。</p>");
    QString items;
    items.reserve(qsizetype(entries.size()) * 200);
    bool first = true;
    for (const auto &e : entries) {
        if (!first)
            items += QLatin1Char('\n');
        first = false;
        items += QStringLiteral("<div class=\"entry\">\n<div class=\"time\">") + localTime(e.timestamp, kTimePattern()) +
                 QStringLiteral("</div>\n<div class=\"body\">\n<div class=\"src\">") + escapeHTML(e.source) +
                 QStringLiteral("</div>\n<div class=\"dst\">") + escapeHTML(e.target) +
                 QStringLiteral("</div>\n</div>\n</div>");
    }
    return QStringLiteral("<details>\n<summary>展开 / 收起全部 ") + QString::number(entries.size()) +
           QStringLiteral(" 条记录（点击切换）</summary>\n<div style=\"margin-top:12px\">\n") + items +
           QStringLiteral("\n</div>\n</details>");
}

QString buildHTML(const CourseSession &course, const ReviewResult &result)
{
    const QString pageTitle = result.title.isEmpty() ? QStringLiteral("课堂记录") : escapeHTML(result.title);
    QString html = QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"UTF-8\">\n"
                                  "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1.0\">\n<title>") +
                   pageTitle + QStringLiteral("</title>\n<style>\n") + styleSheet() +
                   QStringLiteral("\n</style>\n</head>\n<body>\n<div class=\"page\">\n");
    const QStringList sections = {
        heroSection(course, result),
        card(1, QStringLiteral("课程总结"), summaryHTML(result.summary)),
        card(2, QStringLiteral("关键要点"), keyPointsHTML(result.keyPoints)),
        result.topics.empty() ? QString() : card(3, QStringLiteral("主题分布图表"), topicsChartHTML(result.topics)),
        card(4, QStringLiteral("翻译审阅与旁批"), reviewTableHTML(result.improvedEntries)),
        result.vocabulary.empty() ? QString() : card(5, QStringLiteral("重点词汇"), vocabularyHTML(result.vocabulary)),
        card(6, QStringLiteral("完整课堂记录"), fullEntriesHTML(course.entries)),
    };
    html += sections.join(QLatin1Char('\n'));
    html += QStringLiteral("\n<footer>由 DeepSeek 审阅生成 · 实时课堂翻译记录</footer>\n</div>\n</body>\n</html>");
    return html;
}

QString documentFileName(const CourseSession &course)
{
    return fileStamp(course.startDate) + QStringLiteral(" 课堂记录.html");
}

Result<QString> saveDocument(const CourseSession &course, const ReviewResult &result)
{
    const auto folder = CourseArchive::courseFolder();
    if (!folder)
        return Error{QString::fromLatin1(kReviewDomain), -3, QStringLiteral("无法访问桌面目录")};
    auto made = DesktopFiles::makeFolder(*folder);
    if (!made)
        return made.error();
    const QString path = QDir(*folder).filePath(documentFileName(course));
    auto written = DesktopFiles::writeAtomically(path, buildHTML(course, result));
    if (!written)
        return written.error();
    return path;
}

} // namespace vox::DeepSeekReviewService

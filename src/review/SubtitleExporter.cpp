#include "SubtitleExporter.h"

#include "platform/Files.h"

#include "DesktopFiles.h"
#include "course/CourseArchive.h"
#include "translation/SingleLine.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>

namespace vox::SubtitleExporter {

namespace {

int perceivedLength(const QString &s)
{
    if (s.isEmpty())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s);
    int n = 0;
    while (finder.toNextBoundary() >= 0)
        ++n;
    return n;
}

} // namespace

CueTime cueTime(const TranslationEntry &entry, const Date &base)
{
    double start = entry.audioTime > 0 ? entry.audioTime : entry.timestamp.secondsSince(base);
    // A time before the course start (or a broken value) cannot be written
    // as a cue time: such a cue starts at 0.
    if (!std::isfinite(start) || start < 0)
        start = 0;
    start = std::min(start, kLatestStart);
    const double duration = std::clamp(0.06 * perceivedLength(entry.source), 1.5, 8.0);
    return CueTime{start, start + duration};
}

QString timestamp(double seconds, Format format)
{
    // Clamped before the conversion to an integer, which a huge value
    // would overflow.
    double ms = std::floor(seconds * 1000.0); // truncated
    if (std::isnan(ms) || ms < 0)
        ms = 0;
    const long long total = ms >= double(kLatestMilliseconds) ? kLatestMilliseconds : static_cast<long long>(ms);
    const long long w = total / 1000;
    const char *pattern = format == Format::SRT ? "%02lld:%02lld:%02lld,%03lld" : "%02lld:%02lld:%02lld.%03lld";
    return QString::asprintf(pattern, w / 3600, (w % 3600) / 60, w % 60, total % 1000);
}

QStringList cueLines(const TranslationEntry &entry, Format format)
{
    QStringList lines;
    for (const QString *text : {&entry.source, &entry.target}) {
        QString line = singleLine(*text).trimmed();
        if (line.isEmpty())
            continue;
        if (format == Format::VTT) {
            line.replace(QLatin1Char('&'), QStringLiteral("&amp;"));
            line.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
            line.replace(QLatin1Char('>'), QStringLiteral("&gt;"));
        }
        lines << line;
    }
    return lines;
}

QString text(const std::vector<TranslationEntry> &entries, const Date &base, Format format)
{
    QStringList lines;
    if (format == Format::VTT) {
        lines << QStringLiteral("WEBVTT") << QString();
    }
    int k = 0;
    for (const auto &e : entries) {
        const QStringList cue = cueLines(e, format);
        if (cue.isEmpty())
            continue; // nothing to show (players drop an empty cue anyway)
        const CueTime t = cueTime(e, base);
        lines << QString::number(++k) << timestamp(t.start, format) + QStringLiteral(" --> ") + timestamp(t.end, format)
              << cue << QString();
    }
    return lines.join(QLatin1Char('\n'));
}

QString srt(const std::vector<TranslationEntry> &entries, const Date &base)
{
    return text(entries, base, Format::SRT);
}

QString vtt(const std::vector<TranslationEntry> &entries, const Date &base)
{
    return text(entries, base, Format::VTT);
}

QString fileName(const CourseSession &course, Format format)
{
    return fileStamp(course.startDate) + (format == Format::SRT ? QStringLiteral(" 课堂字幕.srt") : QStringLiteral(" 课堂字幕.vtt"));
}

std::optional<Result<QString>> save(const CourseSession &course, Format format)
{
    if (course.entries.empty())
        return std::nullopt;
    const QString body = text(course.entries, course.startDate, format);
    const auto folder = CourseArchive::courseFolder(QStringLiteral("字幕"));
    if (!folder)
        return std::nullopt;
    auto made = DesktopFiles::makeFolder(*folder);
    if (!made)
        return Result<QString>(made.error());
    // A later export never replaces an earlier one: it gets " (2)", " (3)"….
    const QString name = fileName(course, format);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    auto claimed = Files::claimFreeName(*folder, name.left(dot), name.mid(dot));
    if (!claimed)
        return Result<QString>(claimed.error());
    auto written = DesktopFiles::writeAtomically(claimed.value(), body);
    if (!written) {
        QFile::remove(claimed.value());
        return Result<QString>(written.error());
    }
    return Result<QString>(claimed.value());
}

} // namespace vox::SubtitleExporter

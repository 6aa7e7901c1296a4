#include "SubtitleExporter.h"

#include "DesktopFiles.h"
#include "course/CourseArchive.h"

#include <QDir>
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
    const double duration = std::clamp(0.06 * perceivedLength(entry.source), 1.5, 8.0);
    return CueTime{start, start + duration};
}

QString timestamp(double seconds, Format format)
{
    if (!std::isfinite(seconds) || seconds < 0)
        seconds = 0;
    const double whole = std::floor(seconds);
    const long long w = static_cast<long long>(whole);
    const long long ms = static_cast<long long>((seconds - whole) * 1000.0); // truncated
    const char *pattern = format == Format::SRT ? "%02lld:%02lld:%02lld,%03lld" : "%02lld:%02lld:%02lld.%03lld";
    return QString::asprintf(pattern, w / 3600, (w % 3600) / 60, w % 60, ms);
}

QString text(const std::vector<TranslationEntry> &entries, const Date &base, Format format)
{
    QStringList lines;
    if (format == Format::VTT) {
        lines << QStringLiteral("WEBVTT") << QString();
    }
    int k = 0;
    for (const auto &e : entries) {
        const CueTime t = cueTime(e, base);
        lines << QString::number(++k) << timestamp(t.start, format) + QStringLiteral(" --> ") + timestamp(t.end, format)
              << e.source << e.target << QString();
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
    const QString path = QDir(*folder).filePath(fileName(course, format));
    auto written = DesktopFiles::writeAtomically(path, body);
    if (!written)
        return Result<QString>(written.error());
    return Result<QString>(path);
}

} // namespace vox::SubtitleExporter

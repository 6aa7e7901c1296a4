#pragma once
// Subtitles of a course: one cue per entry with any text, the English above
// the Chinese.
// A cue starts at the entry's audio time (or, when that is 0, at its
// wall-clock offset from `base`) and lasts 0.06 s per user-perceived
// character of the English, clamped to 1.5–8 s. Cues keep list order and may
// overlap. Times are kept within 0 … 9999 hours.
//
// Cue text is plain text: the English line, then the Chinese line, each
// folded onto one line with no "-->" (singleLine), an empty one left out, and
// in WebVTT "&", "<" and ">" written as character references. Nothing in a
// sentence can end its cue or start another block.
#include "course/CourseRecords.h"
#include "platform/Error.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace vox::SubtitleExporter {

enum class Format { SRT, VTT };

// Start and end of the cue of one entry, in seconds.
struct CueTime {
    double start = 0;
    double end = 0;
};
// The latest time a timestamp shows (9999:59:59.999); a cue starts at the
// latest at 9999:00:00.
inline constexpr long long kLatestMilliseconds = 10000LL * 3600 * 1000 - 1;
inline constexpr double kLatestStart = 9999.0 * 3600;
CueTime cueTime(const TranslationEntry &entry, const Date &base);
// "HH:MM:SS,mmm" (SRT) or "HH:MM:SS.mmm" (VTT); hours may exceed two digits,
// milliseconds are truncated. A negative or undefined time shows as 0, one
// past the latest as the latest.
QString timestamp(double seconds, Format format);
// The lines of an entry's cue (one or two; none for an entry without text,
// which gets no cue).
QStringList cueLines(const TranslationEntry &entry, Format format);

QString srt(const std::vector<TranslationEntry> &entries, const Date &base);
QString vtt(const std::vector<TranslationEntry> &entries, const Date &base);
QString text(const std::vector<TranslationEntry> &entries, const Date &base, Format format);

// "<start> 课堂字幕.srt" / ".vtt".
QString fileName(const CourseSession &course, Format format);

// Writes the course's subtitles to Desktop/课程记录/字幕 (atomically, under a
// name of its own: an earlier export is never replaced) and returns the path. Nothing is written, and nullopt
// returned, for a course without entries or when there is no Desktop folder.
std::optional<Result<QString>> save(const CourseSession &course, Format format);

} // namespace vox::SubtitleExporter

#pragma once
// Subtitles of a course: one cue per entry, the English above the Chinese.
// A cue starts at the entry's audio time (or, when that is 0, at its
// wall-clock offset from `base`) and lasts 0.06 s per user-perceived
// character of the English, clamped to 1.5–8 s. Cues keep list order and may
// overlap.
#include "course/CourseRecords.h"
#include "platform/Error.h"

#include <QString>
#include <optional>
#include <vector>

namespace vox::SubtitleExporter {

enum class Format { SRT, VTT };

// Start and end of the cue of one entry, in seconds.
struct CueTime {
    double start = 0;
    double end = 0;
};
CueTime cueTime(const TranslationEntry &entry, const Date &base);
// "HH:MM:SS,mmm" (SRT) or "HH:MM:SS.mmm" (VTT); hours may exceed two digits,
// milliseconds are truncated.
QString timestamp(double seconds, Format format);

QString srt(const std::vector<TranslationEntry> &entries, const Date &base);
QString vtt(const std::vector<TranslationEntry> &entries, const Date &base);
QString text(const std::vector<TranslationEntry> &entries, const Date &base, Format format);

// "<start> 课堂字幕.srt" / ".vtt".
QString fileName(const CourseSession &course, Format format);

// Writes the course's subtitles to Desktop/课程记录/字幕 (atomically, replacing
// an earlier export) and returns the path. Nothing is written, and nullopt
// returned, for a course without entries or when there is no Desktop folder.
std::optional<Result<QString>> save(const CourseSession &course, Format format);

} // namespace vox::SubtitleExporter

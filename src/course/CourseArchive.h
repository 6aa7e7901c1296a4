#pragma once
// Finished courses kept as one JSON file each in the Desktop folder
// "课程记录/记录", named by the course's start ("yyyy-MM-dd HH-mm-ss.json").
// Stateless; never reports failure: a missing Desktop or a failed write loses
// the archive copy silently, unreadable files are left out of loadAll.
#include "course/CourseRecords.h"

#include <QString>
#include <optional>
#include <vector>

namespace vox {
class DesktopServices;
}

namespace vox::CourseArchive {

// Desktop/课程记录[/sub] (recordings, archives, reviews and subtitles all live
// there), resolved anew from `desktop`, or from the platform's Desktop
// services when none is given; none when there is no Desktop folder.
std::optional<QString> courseFolder(const QString &sub = {}, DesktopServices *desktop = nullptr);
// The archive folder, resolved anew from the platform's Desktop folder; none
// when there is no Desktop.
std::optional<QString> folder();
// The file name a course is stored under.
QString fileName(const CourseSession &course);

// Stores one course, replacing a file of the same name. The write goes to a
// temporary file in the same folder that is renamed over the target, so a
// full disk or a crash mid-write never leaves a truncated archive behind.
void save(const CourseSession &course);
// Every readable archived course, newest first (stable for equal starts).
std::vector<CourseSession> loadAll();
// The courses of `courses` with an entry matching `keyword`, in their order:
// the English side compared without regard to case, the Chinese side exactly.
// A keyword of only white space returns the list unchanged.
std::vector<CourseSession> search(const std::vector<CourseSession> &courses, const QString &keyword);

} // namespace vox::CourseArchive

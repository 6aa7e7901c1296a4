#pragma once
// Courses kept as one JSON file each in the Desktop folder "课程记录/记录",
// named by the course's start ("yyyy-MM-dd HH-mm-ss.json"; a second course
// started in the same second gets "… (2).json"). A running course's file is
// kept current and marked in progress; one left so by a process that is gone
// is finished by recoverInterrupted. Stateless. Writes are atomic and report
// their failure; unreadable files are left out of loadAll.
#include "course/CourseRecords.h"
#include "platform/Error.h"

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
// The file name a course started at `start` is first offered.
QString fileName(const CourseSession &course);

// Claims a file for a course started at `start`: the first free name of
// "<start>.json", "<start> (2).json", …, created empty so that no other
// course (of this or another process) takes it. Returns its path.
Result<QString> claimPath(const Date &start);

// Stores one course in its own file: `course.archivePath` when set, else a
// freshly claimed one. The write goes to a temporary file in the same folder
// that is renamed over the target, so a full disk or a crash mid-write never
// leaves a truncated archive behind. Returns the path written.
Result<QString> save(const CourseSession &course);
// Every readable finished course, newest first (stable for equal starts),
// each with `archivePath` set. Courses still in progress are left out.
std::vector<CourseSession> loadAll();

// Finishes every course left in progress by a process that no longer runs:
// the English that was waiting for translation joins the entries, the end is
// the last sentence (or the last save), and the marker goes. Nothing is
// discarded. Returns the recovered courses.
std::vector<CourseSession> recoverInterrupted();
// The course as a finished file holds it: waiting English appended, marker
// and owner dropped, the end no earlier than its last sentence.
CourseSession finished(CourseSession course);
// The courses of `courses` with an entry matching `keyword`, in their order:
// the English side compared without regard to case, the Chinese side exactly.
// A keyword of only white space returns the list unchanged.
std::vector<CourseSession> search(const std::vector<CourseSession> &courses, const QString &keyword);

} // namespace vox::CourseArchive

#include "CourseArchive.h"

#include "platform/Diag.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "platform/Process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>

namespace vox::CourseArchive {

std::optional<QString> courseFolder(const QString &sub, DesktopServices *desktop)
{
    if (!desktop)
        desktop = platform().desktop.get();
    if (!desktop)
        return std::nullopt;
    const auto d = desktop->desktopFolder();
    if (!d || d->isEmpty())
        return std::nullopt;
    QString path = QDir(*d).filePath(QStringLiteral("课程记录"));
    if (!sub.isEmpty())
        path = QDir(path).filePath(sub);
    return path;
}

std::optional<QString> folder()
{
    return courseFolder(QStringLiteral("记录"));
}

QString fileName(const CourseSession &course)
{
    return fileStamp(course.startDate) + QStringLiteral(".json");
}

Result<QString> claimPath(const Date &start)
{
    const auto dir = folder();
    if (!dir)
        return Error{QString::fromLatin1(Files::kErrorDomain), ENOENT, QStringLiteral("找不到桌面文件夹，课程记录无处存放。")};
    if (!QDir().mkpath(*dir))
        return Error{QString::fromLatin1(Files::kErrorDomain), EACCES,
                     QStringLiteral("未能创建文件夹“%1”。").arg(*dir)};
    return Files::claimFreeName(*dir, fileStamp(start), QStringLiteral(".json"));
}

Result<QString> save(const CourseSession &course)
{
    QString path = course.archivePath;
    if (path.isEmpty()) {
        auto claimed = claimPath(course.startDate);
        if (!claimed)
            return claimed.error();
        path = claimed.value();
    } else {
        QDir().mkpath(QFileInfo(path).absolutePath());
    }
    const QByteArray bytes = course.encode();
    if (bytes.isEmpty())
        return Error{QString::fromLatin1(Files::kErrorDomain), EINVAL, QStringLiteral("课程记录无法编码。")};
    auto written = Files::writeAtomically(path, bytes);
    if (!written)
        return written.error();
    return path;
}

namespace {
// Path extension exactly "json" (case-sensitive); a bare ".json" has none.
bool hasJsonExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 && QStringView(name).mid(dot + 1) == QLatin1String("json");
}

// Every course file of the archive folder that reads and decodes, in listing
// order, with its path. Only regular files are read (a FIFO, a device or a
// link to one is passed over without blocking), each within the read limit.
std::vector<CourseSession> readFolder()
{
    std::vector<CourseSession> out;
    const auto dir = folder();
    if (!dir)
        return out;
    QDir d(*dir);
    if (!d.exists())
        return out;
    const QStringList names =
        d.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        if (!hasJsonExtension(name))
            continue;
        const QString path = d.filePath(name);
        auto bytes = Files::readRegularFile(path);
        if (!bytes) {
            diag(QStringLiteral("跳过课程记录 %1：%2").arg(path, bytes.error().message));
            continue;
        }
        if (auto course = CourseSession::decode(bytes.value())) {
            course->archivePath = path;
            out.push_back(std::move(*course));
        }
    }
    return out;
}
} // namespace

std::vector<CourseSession> loadAll()
{
    std::vector<CourseSession> out;
    for (auto &course : readFolder())
        if (!course.inProgress)
            out.push_back(std::move(course));
    std::stable_sort(out.begin(), out.end(), [](const CourseSession &a, const CourseSession &b) {
        return a.startDate > b.startDate;
    });
    return out;
}

CourseSession finished(CourseSession course)
{
    for (auto &e : course.pendingEntries)
        course.entries.push_back(std::move(e));
    course.pendingEntries.clear();
    course.inProgress = false;
    course.owner.reset();
    for (const auto &e : course.entries)
        if (e.timestamp > course.endDate)
            course.endDate = e.timestamp;
    return course;
}

std::vector<CourseSession> recoverInterrupted()
{
    std::vector<CourseSession> recovered;
    for (auto &course : readFolder()) {
        if (!course.inProgress)
            continue;
        if (course.owner && Process::isRunning(course.owner->pid, course.owner->started))
            continue; // still being written by a running process
        CourseSession done = finished(std::move(course));
        auto saved = save(done);
        if (!saved) {
            diag(QStringLiteral("恢复未正常结束的课程失败 %1：%2").arg(done.archivePath, saved.error().message));
            continue;
        }
        diag(QStringLiteral("已恢复未正常结束的课程: %1（%2 条）").arg(done.archivePath).arg(done.entries.size()));
        recovered.push_back(std::move(done));
    }
    return recovered;
}

std::vector<CourseSession> search(const std::vector<CourseSession> &courses, const QString &keyword)
{
    const QString trimmed = keyword.trimmed();
    if (trimmed.isEmpty())
        return courses;
    const QString lower = trimmed.toLower();
    std::vector<CourseSession> out;
    for (const auto &course : courses) {
        // The English side case-insensitively (without a lower-cased copy of
        // every sentence: this runs on each keystroke of the history search),
        // the Chinese side exactly.
        const bool hit = std::any_of(course.entries.begin(), course.entries.end(), [&](const TranslationEntry &e) {
            return e.source.contains(lower, Qt::CaseInsensitive) || e.target.contains(trimmed);
        });
        if (hit)
            out.push_back(course);
    }
    return out;
}

} // namespace vox::CourseArchive

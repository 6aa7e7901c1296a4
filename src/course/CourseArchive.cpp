#include "CourseArchive.h"

#include "platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

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

void save(const CourseSession &course)
{
    const auto dir = folder();
    if (!dir)
        return;
    if (!QDir().mkpath(*dir))
        return;
    const QByteArray bytes = course.encode();
    if (bytes.isEmpty())
        return;
    QSaveFile file(QDir(*dir).filePath(fileName(course)));
    if (!file.open(QIODevice::WriteOnly))
        return;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return;
    }
    file.commit(); // failure leaves the previous file untouched
}

namespace {
// Path extension exactly "json" (case-sensitive); a bare ".json" has none.
bool hasJsonExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 && QStringView(name).mid(dot + 1) == QLatin1String("json");
}
} // namespace

std::vector<CourseSession> loadAll()
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
        QFile f(d.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = f.readAll();
        if (f.error() != QFileDevice::NoError)
            continue;
        if (auto course = CourseSession::decode(bytes))
            out.push_back(std::move(*course));
    }
    std::stable_sort(out.begin(), out.end(), [](const CourseSession &a, const CourseSession &b) {
        return a.startDate > b.startDate;
    });
    return out;
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

// devices, history, export and review.
#include "CliSupport.h"
#include "Commands.h"

#include "course/CourseArchive.h"
#include "platform/Date.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxPlatform.h"
#include "review/DeepSeekReviewService.h"
#include "review/DesktopFiles.h"
#include "review/SubtitleExporter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace vox::cli {

namespace {

std::optional<CourseSession> readArchive(const QString &path)
{
    // Only a regular file of reasonable size is read: a device, a FIFO or a
    // link to one is refused at once instead of blocking or filling memory.
    auto bytes = Files::readRegularFile(path);
    if (!bytes) {
        err(QStringLiteral("无法读取课程记录 %1：%2").arg(path, bytes.error().message));
        return std::nullopt;
    }
    auto course = CourseSession::decode(bytes.value());
    if (!course) {
        err(QStringLiteral("不是有效的课程记录（JSON 格式不符）: %1").arg(path));
        return std::nullopt;
    }
    course->archivePath = QFileInfo(path).absoluteFilePath();
    return course;
}

} // namespace

int listDevices()
{
    Platform p = makeLinuxPlatform();
    const auto devices = p.captureDevices->discover();
    const auto def = p.captureDevices->defaultDevice();
    if (devices.empty()) {
        err(QStringLiteral("没有找到输入设备。"));
        return ExitUnavailable;
    }
    for (const auto &d : devices) {
        if (!d.connected || d.suspended)
            continue;
        const bool isDefault = def && def->uniqueID == d.uniqueID;
        out(QStringLiteral("%1 %2\t%3").arg(isDefault ? QStringLiteral("*") : QStringLiteral(" "), d.uniqueID, d.localizedName));
    }
    return ExitOk;
}

int showHistory(const QString &keyword)
{
    setPlatform(makeLinuxPlatform());
    // A course left in progress by a run that was killed is finished first.
    for (const auto &c : CourseArchive::recoverInterrupted())
        err(QStringLiteral("已恢复上次未正常结束的课程（%1 条）：%2").arg(c.entries.size()).arg(c.archivePath));
    auto courses = CourseArchive::loadAll();
    if (!keyword.isEmpty())
        courses = CourseArchive::search(courses, keyword);
    if (courses.empty()) {
        err(keyword.trimmed().isEmpty() ? QStringLiteral("还没有课程记录。")
                                        : QStringLiteral("没有找到包含“%1”的课程。").arg(keyword));
        return ExitOk;
    }
    for (const auto &c : courses) {
        const QString start = c.startDate.toQDateTime().toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        out(QStringLiteral("%1  %2 条翻译  时长 %3  %4")
                .arg(start)
                .arg(c.entries.size())
                .arg(formattedDuration(c.endDate.secondsSince(c.startDate)))
                .arg(c.archivePath));
    }
    return ExitOk;
}

int exportSubtitles(const QString &archive, const QString &format, const QString &path)
{
    const auto course = readArchive(archive);
    if (!course)
        return ExitInput;
    const auto fmt = format == QLatin1String("vtt") ? SubtitleExporter::Format::VTT : SubtitleExporter::Format::SRT;
    const QString text = SubtitleExporter::text(course->entries, course->startDate, fmt);
    if (path.isEmpty() || path == QLatin1String("-")) {
        const QByteArray b = text.toUtf8();
        std::fwrite(b.constData(), 1, size_t(b.size()), stdout);
        std::fflush(stdout);
        return ExitOk;
    }
    const auto written = DesktopFiles::writeAtomically(QFileInfo(path).absoluteFilePath(), text);
    if (!written.ok()) {
        err(QStringLiteral("无法写入字幕文件 %1：%2").arg(path, written.error().message));
        return ExitCantWrite;
    }
    err(QStringLiteral("字幕已写入: %1").arg(QFileInfo(path).absoluteFilePath()));
    return ExitOk;
}

int reviewCourse(const QString &archive)
{
    const auto course = readArchive(archive);
    if (!course)
        return ExitInput;
    setPlatform(makeLinuxPlatform());
    const QString key = resolveApiKey();
    if (key.isEmpty()) {
        err(QStringLiteral("生成课堂记录需要 DeepSeek API Key：请设置环境变量 DEEPSEEK_API_KEY 或在翻译设置中填写。"));
        return ExitUsage;
    }
    if (course->entries.empty()) {
        err(QStringLiteral("本节课没有翻译记录"));
        return ExitInput;
    }
    err(QStringLiteral("正在请求 DeepSeek 生成课堂记录（%1 条）…").arg(course->entries.size()));
    std::optional<Result<ReviewResult>> answer;
    QObject ctx;
    DeepSeekReviewService::review(course->entries, key, &ctx, [&](Result<ReviewResult> r) {
        answer.emplace(std::move(r));
    });
    while (!answer) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(5);
    }
    if (!answer->ok()) {
        err(QStringLiteral("生成失败：") + answer->error().message);
        return ExitTranslation;
    }
    const auto saved = DeepSeekReviewService::saveDocument(*course, answer->value());
    if (!saved.ok()) {
        err(QStringLiteral("保存失败：") + saved.error().message);
        return ExitCantWrite;
    }
    out(saved.value());
    return ExitOk;
}

} // namespace vox::cli

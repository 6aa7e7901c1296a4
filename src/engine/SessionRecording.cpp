#include "SessionRecording.h"

#include "course/CourseArchive.h"
#include "engine/AudioForwarder.h"
#include "platform/Diag.h"
#include "platform/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vox {

SessionRecording::SessionRecording(Platform platform) : m_platform(std::move(platform)) {}

std::optional<QString> SessionRecording::pathFor(const Date &start) const
{
    if (!m_platform.desktop)
        return std::nullopt;
    const auto recordings = CourseArchive::courseFolder(QStringLiteral("课堂录音"), m_platform.desktop.get());
    if (!recordings)
        return std::nullopt;
    const QString &folder = *recordings;
    if (!QDir().mkpath(folder)) {
        diag(QStringLiteral("创建课堂录音目录失败: 无法创建目录 ") + folder);
        return std::nullopt;
    }
    return QDir(folder).filePath(fileStamp(start) + QStringLiteral(" 课堂录音.caf"));
}

std::optional<QString> SessionRecording::open(AudioForwarder &forwarder, const Date &start, LiveCourse *course)
{
    if (course && m_courseFile) {
        m_file = m_courseFile;
        forwarder.setRecordingFile(m_file);
        m_current = m_coursePath;
        diag(QStringLiteral("课堂录音继续写入: %1（已有 %2s）")
                 .arg(m_coursePath, QString::asprintf("%.1f", position(&forwarder))));
        return std::nullopt;
    }
    const auto wanted = pathFor(start);
    if (!wanted || !m_platform.audioFiles) {
        if (!course)
            return std::nullopt;
        return QStringLiteral("课堂录音无法创建：找不到可写的桌面文件夹“课程记录/课堂录音”。识别和翻译继续进行。");
    }
    // A second recording started in the same second derives the same name:
    // the name is claimed first, so no earlier recording is ever overwritten.
    const QString name = QFileInfo(*wanted).completeBaseName();
    auto claimed = Files::claimFreeName(QFileInfo(*wanted).path(), name, QStringLiteral(".caf"));
    auto result = claimed ? m_platform.audioFiles->createForWriting(claimed.value(), PcmFormat::target())
                          : Result<std::unique_ptr<AudioFileWriter>>(claimed.error());
    if (!result) {
        if (claimed)
            QFile::remove(claimed.value());
        diag(QStringLiteral("创建课堂录音文件失败: ") + result.error().message);
        return QStringLiteral("课堂录音无法创建（%1）；识别和翻译继续进行。").arg(result.error().message);
    }
    const QString path = claimed.value();
    m_file = std::shared_ptr<AudioFileWriter>(std::move(result.value()));
    forwarder.setRecordingFile(m_file);
    m_current = path;
    if (course) {
        m_courseFile = m_file;
        m_coursePath = path;
        course->setRecordingPath(path);
    }
    diag(QStringLiteral("课堂录音文件已创建: ") + path);
    return std::nullopt;
}

void SessionRecording::sessionStopped()
{
    if (!m_file)
        return;
    if (m_file == m_courseFile) {
        // Stays open for the course's next session; closed with the course.
        m_last = m_current;
    } else if (m_file->length() > 0 && m_current) {
        m_last = m_current;
        diag(QStringLiteral("课堂录音已保存: ") + *m_current);
        m_file->close();
    } else {
        m_file->close();
        if (m_current) {
            QFile::remove(*m_current);
            diag(QStringLiteral("课堂录音无音频数据，已删除: ") + *m_current);
        }
    }
    m_file.reset();
    m_current.reset();
}

void SessionRecording::adopt(LiveCourse &course)
{
    if (!m_file || !m_current)
        return;
    m_courseFile = m_file;
    m_coursePath = *m_current;
    course.setRecordingPath(m_coursePath);
}

void SessionRecording::courseEnded(LiveCourse *course)
{
    if (!m_courseFile)
        return;
    if (m_file == m_courseFile) {
        // Still recording: the file is closed when that session stops.
        m_courseFile.reset();
        m_coursePath.clear();
        return;
    }
    const bool empty = m_courseFile->length() <= 0;
    m_courseFile->close();
    if (empty) {
        QFile::remove(m_coursePath);
        diag(QStringLiteral("课堂录音无音频数据，已删除: ") + m_coursePath);
        if (course)
            course->setRecordingPath(std::nullopt);
        if (m_last == m_coursePath)
            m_last.reset();
    } else {
        diag(QStringLiteral("课堂录音已保存: ") + m_coursePath);
    }
    m_courseFile.reset();
    m_coursePath.clear();
}

double SessionRecording::position(const AudioForwarder *forwarder) const
{
    if (!m_file || !forwarder)
        return 0;
    return double(forwarder->recordedFrames()) / PcmFormat::target().sampleRate;
}

} // namespace vox

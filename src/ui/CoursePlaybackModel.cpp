#include "CoursePlaybackModel.h"

#include "course/CourseArchive.h"
#include "engine/SpeechEngine.h"
#include "glossary/GlossaryManager.h"
#include "platform/Diag.h"
#include "platform/Files.h"
#include "platform/Platform.h"

#include <QFileInfo>
#include <QJSValue>
#include <algorithm>
#include <cmath>

namespace vox {

namespace {

// The course as its archive file holds it now (a re-translation may have
// replaced the copy handed around), else as given.
CourseSession asStored(const CourseSession &course)
{
    if (course.archivePath.isEmpty())
        return course;
    const auto bytes = Files::readRegularFile(course.archivePath);
    if (!bytes)
        return course;
    auto stored = CourseSession::decode(bytes.value());
    if (!stored || stored->inProgress)
        return course;
    stored->archivePath = course.archivePath;
    return *stored;
}

} // namespace

CoursePlaybackModel::CoursePlaybackModel(QObject *parent) : QObject(parent) {}

CoursePlaybackModel::~CoursePlaybackModel()
{
    stopTimer();
    if (m_player) {
        m_player->setFinishedHandler(nullptr);
        m_player->stop();
    }
}

void CoursePlaybackModel::setCourse(const CourseSession &course)
{
    stopPlayback();
    if (m_player)
        m_player->setFinishedHandler(nullptr);
    m_player.reset();
    m_course = asStored(course);
    m_hasCourse = true;
    setSaveError({});
    setState(false, 0, 0);
    makeReviewModel();
    emit courseChanged();
}

void CoursePlaybackModel::updateCourse(const CourseSession &course)
{
    m_course = course;
    m_hasCourse = true;
    emit courseChanged();
    updatePlayingEntry();
}

QVariant CoursePlaybackModel::courseVariant() const
{
    return m_hasCourse ? QVariant::fromValue(m_course) : QVariant();
}

void CoursePlaybackModel::setCourseVariant(const QVariant &value)
{
    QVariant v = value;
    // Values that went through a QML "var" arrive wrapped.
    if (v.metaType() == QMetaType::fromType<QJSValue>())
        v = v.value<QJSValue>().toVariant();
    if (v.metaType() == QMetaType::fromType<CourseSession>())
        setCourse(v.value<CourseSession>());
}

bool CoursePlaybackModel::loadCompletedCourse(SpeechEngine *engine)
{
    if (!engine || !engine->completedCourse())
        return false;
    setCourse(*engine->completedCourse());
    return true;
}

void CoursePlaybackModel::setGlossary(GlossaryManager *glossary)
{
    if (glossary == m_glossary)
        return;
    m_glossary = glossary;
    emit glossaryChanged();
}

QObject *CoursePlaybackModel::review() const
{
    return m_review.get();
}

void CoursePlaybackModel::makeReviewModel()
{
    std::vector<GlossaryPair> pairs;
    if (m_glossary)
        pairs = glossaryPairs(m_glossary->terms());
    auto review = std::make_unique<CourseReviewModel>(m_course, std::move(pairs));
    // A re-translation replaces the course and is kept with it; playback
    // goes on.
    connect(review.get(), &CourseReviewModel::courseChanged, this, [this] {
        if (!m_review)
            return;
        updateCourse(m_review->course());
        saveCourse();
    });
    std::unique_ptr<CourseReviewModel> old = std::move(m_review);
    m_review = std::move(review);
    emit reviewChanged();
    if (old)
        old.release()->deleteLater(); // bindings may still read it in this event
}

void CoursePlaybackModel::saveCourse()
{
    const auto saved = CourseArchive::save(m_course);
    if (!saved) {
        diag(QStringLiteral("回看：重新翻译的课程未能写回 %1：%2").arg(m_course.archivePath, saved.error().message));
        setSaveError(QStringLiteral("重新翻译的结果未能保存到课程记录：") + saved.error().message);
        return;
    }
    m_course.archivePath = saved.value();
    diag(QStringLiteral("回看：重新翻译的课程已写回 ") + saved.value());
    setSaveError({});
    emit courseSaved(m_course);
}

void CoursePlaybackModel::setSaveError(const QString &message)
{
    if (message == m_saveError)
        return;
    m_saveError = message;
    emit saveErrorChanged();
}

bool CoursePlaybackModel::recordingExists() const
{
    const QString path = recordingPath();
    return !path.isEmpty() && QFileInfo(path).isFile();
}

QString CoursePlaybackModel::recordingFileName() const
{
    return QFileInfo(recordingPath()).fileName();
}

QString CoursePlaybackModel::caption() const
{
    if (m_duration > 0)
        return formattedDuration(m_position) + QStringLiteral(" / ") + formattedDuration(m_duration);
    return recordingFileName();
}

double CoursePlaybackModel::progress() const
{
    const double d = std::max(m_duration, 0.001);
    return std::clamp(m_position / d, 0.0, 1.0);
}

QString CoursePlaybackModel::playButtonText() const
{
    return m_isPlaying ? QStringLiteral("暂停") : QStringLiteral("播放录音");
}

QString CoursePlaybackModel::statusSymbol() const
{
    return m_isPlaying ? QStringLiteral("pause.fill") : QStringLiteral("play.fill");
}

void CoursePlaybackModel::setState(bool playing, double position, double duration)
{
    if (!std::isfinite(position) || position < 0)
        position = 0;
    if (!std::isfinite(duration) || duration < 0)
        duration = 0;
    if (playing == m_isPlaying && position == m_position && duration == m_duration)
        return;
    m_isPlaying = playing;
    m_position = position;
    m_duration = duration;
    emit stateChanged();
    updatePlayingEntry();
}

void CoursePlaybackModel::updatePlayingEntry()
{
    int index = -1;
    if (m_isPlaying) {
        const auto &entries = m_course.entries;
        for (int i = int(entries.size()) - 1; i >= 0; --i) {
            if (entries[size_t(i)].audioTime <= m_position) {
                index = i;
                break;
            }
        }
    }
    if (index == m_playingEntry)
        return;
    m_playingEntry = index;
    emit playingEntryIndexChanged();
}

bool CoursePlaybackModel::openPlayer()
{
    if (m_player) {
        m_player->setFinishedHandler(nullptr);
        m_player->stop();
        m_player.reset();
    }
    const QString path = recordingPath();
    auto factory = platform().players;
    std::unique_ptr<AudioPlayer> player = factory ? factory->create() : nullptr;
    if (!player || !player->load(path)) {
        const QString description = QStringLiteral("无法打开录音文件「%1」。").arg(recordingFileName());
        diag(QStringLiteral("回看：打开录音失败 ") + path);
        if (m_review)
            m_review->reportPlaybackFailure(description);
        emit failed(description);
        return false;
    }
    // The end is noticed at once rather than at the next timer tick.
    player->setFinishedHandler([this] { tick(); });
    m_player = std::move(player);
    return true;
}

void CoursePlaybackModel::togglePlayback()
{
    if (!m_course.recordingURL)
        return;
    if (m_isPlaying) {
        if (m_player)
            m_player->pause();
        stopTimer();
        setState(false, m_player ? m_player->currentTime() : m_position, m_duration);
        return;
    }
    // Every start makes a new player, so the button always plays from 0.
    if (!openPlayer())
        return;
    const double duration = m_player->duration();
    m_player->setCurrentTime(0);
    m_player->play();
    setState(true, 0, duration);
    startPlaybackTimer();
}

void CoursePlaybackModel::seekToEntry(int index)
{
    if (index < 0 || size_t(index) >= m_course.entries.size())
        return;
    seekToTime(m_course.entries[size_t(index)].audioTime);
}

void CoursePlaybackModel::seekToTime(double audioTime)
{
    // An entry without a known position in the recording does not seek.
    if (!(audioTime > 0))
        return;
    playFrom(audioTime);
}

void CoursePlaybackModel::seekToFraction(double fraction)
{
    if (!std::isfinite(fraction) || !recordingExists() || !m_course.recordingURL)
        return;
    if (!m_player && !openPlayer())
        return;
    playFrom(std::clamp(fraction, 0.0, 1.0) * m_player->duration());
}

void CoursePlaybackModel::playFrom(double position)
{
    if (!recordingExists() || !m_course.recordingURL)
        return;
    if (!m_player && !openPlayer())
        return;
    const double duration = m_player->duration();
    const double target = std::clamp(position, 0.0, std::max(duration - kEndMargin, 0.0));
    m_player->setCurrentTime(target);
    m_player->play();
    setState(true, target, duration);
    startPlaybackTimer();
}

void CoursePlaybackModel::startPlaybackTimer()
{
    stopTimer();
    m_timer = timeSource().every(kTimerInterval, this, [this] { tick(); });
}

void CoursePlaybackModel::stopTimer()
{
    m_timer.cancel();
    m_timer = TaskHandle();
}

void CoursePlaybackModel::tick()
{
    const double position = m_player ? m_player->currentTime() : 0;
    if (m_player && !m_player->isPlaying() && m_isPlaying) {
        // The end was reached.
        stopTimer();
        setState(false, m_player->duration(), m_duration);
        return;
    }
    setState(m_isPlaying, position, m_duration);
}

void CoursePlaybackModel::stopPlayback()
{
    stopTimer();
    setState(false, m_position, m_duration);
    if (m_player)
        m_player->stop();
}

bool CoursePlaybackModel::revealRecording()
{
    const QString path = recordingPath();
    auto desktop = platform().desktop;
    if (path.isEmpty() || !desktop)
        return false;
    return desktop->revealInFileBrowser(path);
}

} // namespace vox

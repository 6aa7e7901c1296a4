#include "CoursePlaybackModel.h"

#include "engine/SpeechEngine.h"
#include "platform/Diag.h"
#include "platform/Platform.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace vox {

namespace {
QString timeOfDay(const Date &d)
{
    return d.toQDateTime().toLocalTime().toString(QStringLiteral("HH:mm:ss"));
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
    m_course = course;
    m_hasCourse = true;
    setState(false, 0, 0);
    emit courseChanged();
}

void CoursePlaybackModel::updateCourse(const CourseSession &course)
{
    if (course.recordingURL != m_course.recordingURL) {
        setCourse(course);
        return;
    }
    m_course = course;
    m_hasCourse = true;
    emit courseChanged();
}

QVariant CoursePlaybackModel::courseVariant() const
{
    return m_hasCourse ? QVariant::fromValue(m_course) : QVariant();
}

void CoursePlaybackModel::setCourseVariant(const QVariant &v)
{
    if (v.metaType() == QMetaType::fromType<CourseSession>())
        setCourse(v.value<CourseSession>());
}

bool CoursePlaybackModel::loadCompletedCourse(QObject *engine)
{
    auto *e = qobject_cast<SpeechEngine *>(engine);
    if (!e || !e->completedCourse())
        return false;
    setCourse(*e->completedCourse());
    return true;
}

QVariantList CoursePlaybackModel::entries() const
{
    QVariantList list;
    list.reserve(qsizetype(m_course.entries.size()));
    int i = 0;
    for (const TranslationEntry &e : m_course.entries) {
        list.append(QVariantMap{{QStringLiteral("index"), i++},
                                {QStringLiteral("timestamp"), timeOfDay(e.timestamp)},
                                {QStringLiteral("source"), e.source},
                                {QStringLiteral("target"), e.target},
                                {QStringLiteral("audioTime"), e.audioTime}});
    }
    return list;
}

QString CoursePlaybackModel::headerCaption() const
{
    if (!m_hasCourse)
        return {};
    return timeOfDay(m_course.startDate) + QStringLiteral(" ～ ") + timeOfDay(m_course.endDate)
           + QStringLiteral(" · 时长 ") + formattedDuration(m_course.endDate.secondsSince(m_course.startDate))
           + QStringLiteral(" · 共 %1 条").arg(m_course.entries.size());
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
        const QString message = QStringLiteral("无法播放录音：无法打开录音文件「%1」。").arg(recordingFileName());
        diag(QStringLiteral("回看：打开录音失败 ") + path);
        emit failed(message);
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
    if (!recordingExists() || !(audioTime > 0) || !m_course.recordingURL)
        return;
    double duration = m_duration;
    if (!m_player) {
        if (!openPlayer())
            return;
        duration = m_player->duration();
    }
    const double target = std::min(audioTime, std::max(duration - kEndMargin, 0.0));
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

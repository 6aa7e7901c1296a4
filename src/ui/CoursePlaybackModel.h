#pragma once
// Playback of a course recording in the course review window: the recording
// bar's play/pause button, caption and seekable progress bar, seeking to a
// sentence when its row is clicked, and which sentence is being heard. The player comes from the platform (vox::platform().players);
// the position is refreshed every 0.25 s through vox::timeSource().
// A course with an archive file is shown as that file holds it now, and a
// re-translation is written back into the same file (CourseArchive::save).
#include "course/CourseRecords.h"
#include "engine/SpeechEngine.h"
#include "glossary/GlossaryManager.h"
#include "platform/AudioPlayer.h"
#include "platform/Time.h"
#include "review/CourseReviewModel.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <memory>

namespace vox {

class CoursePlaybackModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    // The course shown (a CourseSession); setting it stops any playback.
    Q_PROPERTY(QVariant course READ courseVariant WRITE setCourseVariant NOTIFY courseChanged)
    Q_PROPERTY(bool hasCourse READ hasCourse NOTIFY courseChanged)
    // The glossary (a GlossaryManager) whose terms go with a new course into
    // its review model.
    Q_PROPERTY(vox::GlossaryManager *glossary READ glossary WRITE setGlossary NOTIFY glossaryChanged)
    // The CourseReviewModel of the course shown: header, entries, review,
    // re-translation and export. Made anew with every course.
    Q_PROPERTY(QObject *review READ review NOTIFY reviewChanged)
    Q_PROPERTY(bool recordingExists READ recordingExists NOTIFY courseChanged)
    Q_PROPERTY(QString recordingPath READ recordingPath NOTIFY courseChanged)
    Q_PROPERTY(QString recordingFileName READ recordingFileName NOTIFY courseChanged)
    Q_PROPERTY(bool isPlayingRecording READ isPlayingRecording NOTIFY stateChanged)
    Q_PROPERTY(double playbackPosition READ playbackPosition NOTIFY stateChanged)
    Q_PROPERTY(double playbackDuration READ playbackDuration NOTIFY stateChanged)
    // "00:00:05 / 00:00:10" once a duration is known, else the file name.
    Q_PROPERTY(QString caption READ caption NOTIFY stateChanged)
    // Position over duration, 0…1.
    Q_PROPERTY(double progress READ progress NOTIFY stateChanged)
    // The entry being heard: the last one whose audio time is not after the
    // position (entries are in spoken order, each lasting until the next);
    // -1 when not playing or before the first entry.
    Q_PROPERTY(int playingEntryIndex READ playingEntryIndex NOTIFY playingEntryIndexChanged)
    Q_PROPERTY(QString playButtonText READ playButtonText NOTIFY stateChanged)
    Q_PROPERTY(QString statusSymbol READ statusSymbol NOTIFY stateChanged)
    // The live key points kept with the course.
    Q_PROPERTY(QStringList summaryPoints READ summaryPoints NOTIFY courseChanged)
    // Why the re-translated course could not be written back, else empty.
    Q_PROPERTY(QString saveError READ saveError NOTIFY saveErrorChanged)

public:
    static constexpr double kTimerInterval = 0.25;
    static constexpr double kEndMargin = 0.5;

    explicit CoursePlaybackModel(QObject *parent = nullptr);
    ~CoursePlaybackModel() override;

    // Shows another course: any playback of the previous one stops. When
    // the course names its archive file and that file reads back as a
    // finished course, the file's content is shown.
    void setCourse(const CourseSession &course);
    const CourseSession &course() const { return m_course; }
    // Replaces the entries shown (after a re-translation) without touching
    // playback.
    void updateCourse(const CourseSession &course);
    QVariant courseVariant() const;
    void setCourseVariant(const QVariant &v);
    // The engine's completed course (nothing when it has none).
    Q_INVOKABLE bool loadCompletedCourse(vox::SpeechEngine *engine);
    bool hasCourse() const { return m_hasCourse; }
    GlossaryManager *glossary() const { return m_glossary; }
    void setGlossary(GlossaryManager *glossary);
    QObject *review() const;
    CourseReviewModel *reviewModel() const { return m_review.get(); }

    bool recordingExists() const;
    QString recordingPath() const { return m_course.recordingPath(); }
    QString recordingFileName() const;
    bool isPlayingRecording() const { return m_isPlaying; }
    double playbackPosition() const { return m_position; }
    double playbackDuration() const { return m_duration; }
    QString caption() const;
    double progress() const;
    int playingEntryIndex() const { return m_playingEntry; }
    QString playButtonText() const;
    QString statusSymbol() const;
    QStringList summaryPoints() const { return m_course.summaryPoints; }
    QString saveError() const { return m_saveError; }
    AudioPlayer *player() const { return m_player.get(); }
    bool isTimerRunning() const { return m_timer.isActive(); }

    // Pauses when playing; otherwise plays the recording from the start with
    // a new player.
    Q_INVOKABLE void togglePlayback();
    // Plays from the entry's position (at most half a second before the end).
    Q_INVOKABLE void seekToEntry(int index);
    void seekToTime(double audioTime);
    // Plays from that fraction (0…1) of the recording, at most half a second
    // before the end; the progress bar's click and drag.
    Q_INVOKABLE void seekToFraction(double fraction);
    // The window closes: the player and the timer stop.
    Q_INVOKABLE void stopPlayback();
    // Selects the recording in the file manager.
    Q_INVOKABLE bool revealRecording();

Q_SIGNALS:
    void courseChanged();
    void glossaryChanged();
    void reviewChanged();
    void stateChanged();
    void playingEntryIndexChanged();
    // Opening the recording failed (also reported to the review model,
    // which shows "无法播放录音：" + description).
    void failed(const QString &description);
    void saveErrorChanged();
    // The course (re-translated) was written to course.archivePath.
    void courseSaved(const vox::CourseSession &course);

private:
    void makeReviewModel();
    void saveCourse();
    void setSaveError(const QString &message);
    bool openPlayer();
    void startPlaybackTimer();
    void stopTimer();
    void tick();
    void playFrom(double position);
    void setState(bool playing, double position, double duration);
    void updatePlayingEntry();

    CourseSession m_course;
    bool m_hasCourse = false;
    QPointer<GlossaryManager> m_glossary;
    std::unique_ptr<CourseReviewModel> m_review;
    std::unique_ptr<AudioPlayer> m_player;
    TaskHandle m_timer;
    bool m_isPlaying = false;
    double m_position = 0;
    double m_duration = 0;
    int m_playingEntry = -1;
    QString m_saveError;
};

} // namespace vox

#pragma once
// The central engine object the windows bind to: it publishes the capture
// session, the recognized and translated text and the course, and ties the
// pieces that do the work together: the start (SessionStarter), the watch for
// a lost microphone (CaptureWatch), recognition (RecognitionSession), the
// recording file (SessionRecording), translation (TranslationPipeline) and
// the course (CourseKeeper). Lives on the main thread; every delayed action
// goes through vox::timeSource() and holds the engine weakly (scheduled with
// the engine as context, or hopping through a QPointer).
#include "course/CourseRecords.h"
#include "engine/AudioForwarder.h"
#include "engine/CaptureWatch.h"
#include "engine/CourseKeeper.h"
#include "engine/LiveCourse.h"
#include "engine/LiveSummary.h"
#include "engine/Notices.h"
#include "engine/RecognitionSession.h"
#include "engine/RecognitionTextAssembler.h"
#include "engine/SentencePass.h"
#include "engine/SessionRecording.h"
#include "engine/SessionStarter.h"
#include "platform/Platform.h"
#include "platform/Time.h"
#include "translation/TranslationPipeline.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <memory>
#include <optional>
#include <vector>

namespace vox {

class GlossaryManager;

class SpeechEngine : public QObject,
                     public PipelineHost,
                     public LiveSummaryHost,
                     public RecognitionHost,
                     public CourseHost,
                     public StartHost,
                     public CaptureWatchHost {
    Q_OBJECT
    Q_PROPERTY(QString recognizedText READ recognizedText NOTIFY recognizedTextChanged)
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(double level READ level NOTIFY levelChanged)
    Q_PROPERTY(bool audioActive READ audioActive NOTIFY audioActiveChanged)
    // Empty when there is no error.
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)
    Q_PROPERTY(QString translatedText READ translatedText NOTIFY translatedTextChanged)
    Q_PROPERTY(bool isTranslating READ isTranslating NOTIFY isTranslatingChanged)
    Q_PROPERTY(bool translationUnavailable READ translationUnavailable WRITE setTranslationUnavailable NOTIFY
                   translationUnavailableChanged)
    Q_PROPERTY(bool isTranslationEnabled READ isTranslationEnabled WRITE setTranslationEnabled NOTIFY
                   isTranslationEnabledChanged)
    // Raw value: "system" or "deepseek".
    Q_PROPERTY(QString translationEngine READ translationEngineRaw WRITE setTranslationEngineRaw NOTIFY
                   translationEngineChanged)
    // The state of the translation service in use, shown from the start.
    Q_PROPERTY(vox::TranslationServiceStatus *translationService READ translationService CONSTANT)
    Q_PROPERTY(double sessionDuration READ sessionDuration NOTIFY sessionDurationChanged)
    Q_PROPERTY(bool isCourseActive READ isCourseActive NOTIFY isCourseActiveChanged)
    // Invalid when no course runs.
    Q_PROPERTY(QDateTime courseStartDate READ courseStartDateTime NOTIFY courseStartDateChanged)
    Q_PROPERTY(double courseDuration READ courseDuration NOTIFY courseDurationChanged)
    Q_PROPERTY(bool hasCompletedCourse READ hasCompletedCourse NOTIFY completedCourseChanged)
    // Between endCourse and the moment the course's last sentences have
    // landed and its file is finished.
    Q_PROPERTY(bool isEndingCourse READ isEndingCourse NOTIFY isEndingCourseChanged)
    // The microphone went away (or fell silent) while recording; capture
    // resumes by itself when it is back. lastError says what happened.
    Q_PROPERTY(bool captureInterrupted READ captureInterrupted NOTIFY captureInterruptedChanged)
    // Sentences kept by the running (or ending) course.
    Q_PROPERTY(int courseEntryCount READ courseEntryCount NOTIFY courseEntryCountChanged)
    // The running course's file, empty when none.
    Q_PROPERTY(QString courseArchivePath READ courseArchivePath NOTIFY courseArchivePathChanged)
    Q_PROPERTY(QStringList summaryPoints READ summaryPoints NOTIFY summaryPointsChanged)
    Q_PROPERTY(bool isSummarizing READ isSummarizing NOTIFY isSummarizingChanged)
    // Paths, empty when absent.
    Q_PROPERTY(QString currentRecordingURL READ currentRecordingPath NOTIFY recordingPathsChanged)
    Q_PROPERTY(QString lastRecordingURL READ lastRecordingPath NOTIFY recordingPathsChanged)
    // The recognizer whose text is translated: "PocketSphinx", or the
    // sentence decoder's name ("Whisper base.en") when one is set.
    Q_PROPERTY(QString recognizerName READ recognizerName NOTIFY recognizerNameChanged)

public:
    // Rotation thresholds and the other timing rules of recognition.
    static constexpr double kSettleTime = RecognitionSession::kSettleTime;
    static constexpr double kPauseLength = RecognitionSession::kPauseLength;
    static constexpr double kBacklogLimit = RecognitionSession::kBacklogLimit;
    static constexpr double kRotationAtPause = RecognitionSession::kRotationAtPause;
    static constexpr double kHardRotation = RecognitionSession::kHardRotation;
    static constexpr double kFinalizationFallback = RecognitionSession::kFinalizationFallback;
    static constexpr double kAutoRestartDelay = RecognitionSession::kAutoRestartDelay;
    static constexpr int kAutoRestartLimit = RecognitionSession::kAutoRestartLimit;
    static constexpr int kContextualStringLimit = 100;
    static constexpr double kSpeechAuthorizationWait = SessionStarter::kSpeechAuthorizationWait;
    static constexpr double kDeviceSettle = SessionStarter::kDeviceSettle;
    static constexpr double kFormatRetry = SessionStarter::kFormatRetry;
    static constexpr double kCaptureSilenceLimit = CaptureWatch::kSilenceLimit;
    static constexpr double kDeviceReturnPoll = CaptureWatch::kDeviceReturnPoll;

    // Uses the process-wide platform.
    explicit SpeechEngine(QObject *parent = nullptr);
    explicit SpeechEngine(const Platform &platform, QObject *parent = nullptr);
    ~SpeechEngine() override;

    // ---- published values --------------------------------------------------
    QString recognizedText() const { return m_recognizedText; }
    bool isRecording() const override { return m_isRecording; }
    double level() const { return m_level; }
    bool audioActive() const { return m_audioActive; }
    // The newest warning whose cause is still there (see Notices).
    QString lastError() const { return m_notices.current().value_or(QString()); }
    const std::optional<QString> &lastErrorValue() const { return m_notices.current(); }
    const Notices &notices() const { return m_notices; }
    QString translatedText() const;
    bool isTranslating() const;
    bool translationUnavailable() const { return m_translationUnavailable; }
    void setTranslationUnavailable(bool on);
    bool isTranslationEnabled() const override { return m_isTranslationEnabled; }
    void setTranslationEnabled(bool on);
    TranslationEngine translationEngine() const;
    void setTranslationEngine(TranslationEngine e);
    QString translationEngineRaw() const;
    void setTranslationEngineRaw(const QString &raw);
    double sessionDuration() const { return m_sessionDuration; }
    const TranscriptEntries &translationEntries() const;
    TranscriptModel *transcript() const { return m_pipeline->transcript(); }
    bool isCourseActive() const override { return m_courses->isActive(); }
    std::optional<Date> courseStartDate() const { return m_courses->startDate(); }
    QDateTime courseStartDateTime() const;
    double courseDuration() const { return m_courses->duration(); }
    const std::optional<CourseSession> &completedCourse() const { return m_courses->completed(); }
    bool hasCompletedCourse() const { return m_courses->completed().has_value(); }
    bool isEndingCourse() const { return m_courses->isEnding(); }
    bool captureInterrupted() const { return m_watch->isInterrupted(); }
    // How long a running capture may deliver nothing before its device
    // counts as lost (kCaptureSilenceLimit unless set).
    void setCaptureSilenceLimit(double seconds) { m_watch->setSilenceLimit(seconds); }
    int courseEntryCount() const { return m_courses->live() ? int(m_courses->live()->entries().size()) : 0; }
    QString courseArchivePath() const { return m_courses->live() ? m_courses->live()->archivePath() : QString(); }
    // The running or ending course, if any.
    const LiveCourse *liveCourse() const { return m_courses->live(); }
    QStringList summaryPoints() const;
    bool isSummarizing() const;
    QString currentRecordingPath() const { return m_recording.current().value_or(QString()); }
    QString lastRecordingPath() const { return m_recording.last().value_or(QString()); }
    const std::optional<QString> &currentRecordingURL() const { return m_recording.current(); }
    const std::optional<QString> &lastRecordingURL() const { return m_recording.last(); }

    // ---- collaborators -------------------------------------------------------
    GlossaryManager *glossaryManager() const { return m_glossaryManager; }
    void setGlossaryManager(GlossaryManager *g);
    void setTranslationSession(std::shared_ptr<TranslationSession> s);
    std::shared_ptr<TranslationSession> translationSession() const;
    TranslationPipeline &pipeline() { return *m_pipeline; }
    TranslationServiceStatus *translationService() const { return &m_pipeline->serviceStatus(); }
    LiveSummary &liveSummary() { return *m_liveSummary; }
    // Finished sentences are decoded again by `decoder` before translation;
    // nullptr goes back to the live recognizer's text.
    void setSentenceDecoder(std::shared_ptr<SentenceDecoder> decoder);
    QString recognizerName() const { return m_sentencePass->recognizerName(); }
    SentencePass &sentencePass() { return *m_sentencePass; }

    // ---- operations ----------------------------------------------------------
    // Starts a capture session on the capture device `deviceID`. Permission
    // and device waits are awaited steps: the session runs (or has failed)
    // once they are over. A stop or a new start meanwhile abandons this one.
    Q_INVOKABLE void start(const QString &deviceID);
    Q_INVOKABLE void stop();
    Q_INVOKABLE void startCourse();
    // Ends the course: recognition stops, the last result and the batches
    // still waiting land (bounded by the finalization fallback and the
    // translation time-outs), then the finished file is written and
    // courseEnded is emitted. Returns at once.
    Q_INVOKABLE void endCourse();
    // Ends the course without waiting: what has not landed is kept with the
    // placeholder translation. For leaving in a hurry (a second signal, the
    // engine going away).
    void endCourseNow();
    static constexpr double kEndingPoll = CourseKeeper::kEndingPoll;
    // True between start() and the end of its awaited steps.
    bool isStarting() const override { return m_starter->isStarting(); }

    // The system audio device id of a capture device (UID first, then name).
    static std::optional<AudioObjectID> audioDeviceID(const QString &deviceID, const Platform &platform);
    static std::vector<AudioObjectID> inputDeviceIDs(HardwareAudio &hw);
    static std::vector<AudioObjectID> allAudioDeviceIDs(HardwareAudio &hw);
    // Desktop/课程记录/课堂录音/<start> 课堂录音.caf, or none.
    std::optional<QString> recordingURL(const Date &start) const;

    // ---- PipelineHost --------------------------------------------------------
    // A warning without a cause that ends by itself (cleared by the next start).
    void setLastError(const QString &message);
    void raiseNotice(PipelineNotice cause, const QString &message) override;
    void settleNotice(PipelineNotice cause) override;
    double requestStartRecordingTime() const override { return m_recognition->requestStartRecordingTime(); }
    void clearPendingSince() override { m_recognition->clearPendingSince(); }
    void refreshRecognizedText() override;
    void logRecognizedTextBeforeClear(const QString &reason) override;

    // ---- LiveSummaryHost -----------------------------------------------------
    const TranscriptEntries &summaryEntries() const override { return translationEntries(); }
    bool summaryCourseActive() const override { return m_courses->isActive(); }
    std::optional<Date> summaryCourseStartDate() const override { return m_courses->startDate(); }
    void summaryProblem(const QString &message, bool needsKey) override;
    void summaryAnswered() override { m_notices.settle(NoticeCause::Summary); }

    // ---- inspection (tests, benchmarks) --------------------------------------
    qint64 recognitionGeneration() const { return m_recognition->generation(); }
    qint64 rotationCount() const { return m_recognition->rotationCount(); }
    qint64 autoRestartFailures() const { return m_recognition->autoRestartFailures(); }
    bool isRotating() const { return m_recognition->isRotating(); }
    bool isFinalizingStop() const { return m_recognition->isFinalizingStop(); }
    bool hasRecognitionRequest() const { return m_recognition->hasRequest(); }
    bool hasRecognitionTask() const { return m_recognition->hasTask(); }
    std::optional<Date> pendingSince() const { return m_recognition->pendingSince(); }
    const RecognitionTextAssembler &assembler() const { return m_recognition->assembler(); }
    AudioForwarder *forwarder() const override { return m_forwarder.get(); }
    AudioObjectID previousDefaultInputID() const { return m_starter->defaultInput().previousID(); }
    double recordingPosition() const override;
    QStringList contextualStrings() const override;
    // What the user reads for a recognition failure.
    static QString friendlyMessage(const RecognitionError &error);
    // File that remembers the default input while it is switched.
    QString savedDefaultInputPath() const { return m_starter->defaultInput().notePath(); }

Q_SIGNALS:
    void recognizedTextChanged();
    void isRecordingChanged();
    void levelChanged();
    void audioActiveChanged();
    void lastErrorChanged();
    void translatedTextChanged();
    void isTranslatingChanged();
    void translationUnavailableChanged();
    void isTranslationEnabledChanged();
    void translationEngineChanged();
    void sessionDurationChanged();
    void translationEntriesChanged();
    void isCourseActiveChanged();
    void courseStartDateChanged();
    void courseDurationChanged();
    void completedCourseChanged();
    void summaryPointsChanged();
    void isSummarizingChanged();
    void recordingPathsChanged() override;
    void isEndingCourseChanged();
    void captureInterruptedChanged();
    void courseEntryCountChanged();
    void courseArchivePathChanged();
    void recognizerNameChanged();
    // The course ended and its file is finished (completedCourse holds it;
    // its archivePath is empty when it could not be written).
    void courseEnded();
    // Every hand-over to translation, before the pipeline receives it.
    void chunksSubmitted(const std::vector<vox::RecognitionChunk> &chunks, const QString &reason);

private:
    void init();
    // Engine release or application exit: a start under way is abandoned,
    // the session stopped, the course written, the default input given back.
    void shutDown(const QString &why);

    // StartHost.
    void prepareSession() override;
    void connectForwarder(const std::shared_ptr<AudioForwarder> &forwarder) override;
    void startFailed(const QString &message) override;
    void started(StartedCapture capture) override;
    // CaptureWatchHost.
    void captureLostNotice(const QString &message) override { m_notices.raise(NoticeCause::Capture, message); }
    void resumeCapture(const QString &deviceID) override;

    void openRecordingFile();
    void finalizeRecording();
    void startSessionTimer();
    // CourseHost.
    void stopRecording() override;
    bool sentencesUnderWay() const override;
    std::vector<TranslationEntry> waitingSentences() const override;
    const TranscriptEntries &landedSentences() const override { return translationEntries(); }
    void courseWriteProblem(const QString &message, const QString &previous) override;

    // RecognitionHost.
    void handOver(const std::vector<RecognitionChunk> &chunks, const QString &reason) override;
    void recognitionProblem(const QString &message) override;
    void pendingTextChanged() override;
    void onActivity(AudioActivity a);
    void toTranslation(const std::vector<SentencePass::Sentence> &sentences, const QString &reason);

    void setRecognizedText(const QString &t);
    void setRecording(bool on);
    void setLevel(double v);
    void setAudioActive(bool on);
    void setSessionDuration(double v);

    Platform m_platform;
    std::unique_ptr<TranslationPipeline> m_pipeline;
    std::unique_ptr<LiveSummary> m_liveSummary;
    std::unique_ptr<SentencePass> m_sentencePass;
    GlossaryManager *m_glossaryManager = nullptr;

    // Published.
    QString m_recognizedText;
    bool m_isRecording = false;
    double m_level = 0;
    bool m_audioActive = false;
    Notices m_notices{[this] { emit lastErrorChanged(); }};
    bool m_translationUnavailable = false;
    bool m_isTranslationEnabled = true;
    double m_sessionDuration = 0;

    // The session.
    std::unique_ptr<RecognitionSession> m_recognition;
    std::unique_ptr<AudioEngine> m_audioEngine;
    std::shared_ptr<AudioForwarder> m_forwarder;
    SessionRecording m_recording;
    std::optional<Date> m_sessionStartDate;
    TaskHandle m_sessionTimerTask;
    std::unique_ptr<CourseKeeper> m_courses;
    std::unique_ptr<SessionStarter> m_starter;
    std::unique_ptr<CaptureWatch> m_watch;
};

} // namespace vox

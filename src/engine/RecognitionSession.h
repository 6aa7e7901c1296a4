#pragma once
// Recognition over one capture session: requests to the recognizer, their
// results (stale generations ignored), sentence hand-over at a pause or when
// the backlog grows, rotation of long requests, the finalization fallback and
// automatic restarts after errors. Main thread only; what it needs of the
// engine goes through RecognitionHost.
#include "engine/RecognitionTextAssembler.h"
#include "platform/Platform.h"
#include "platform/Time.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace vox {

class AudioForwarder;

class RecognitionHost {
public:
    virtual ~RecognitionHost() = default;
    virtual bool isRecording() const = 0;
    virtual bool isTranslationEnabled() const = 0;
    // Seconds recorded so far (where a new request's audio starts).
    virtual double recordingPosition() const = 0;
    virtual AudioForwarder *forwarder() const = 0;
    virtual QStringList contextualStrings() const = 0;
    // Finished sentences for translation.
    virtual void handOver(const std::vector<RecognitionChunk> &chunks, const QString &reason) = 0;
    virtual void recognitionProblem(const QString &message) = 0;
    // The text still being recognized changed.
    virtual void pendingTextChanged() = 0;
};

class RecognitionSession : public QObject {
    Q_OBJECT
public:
    static constexpr double kSettleTime = 0.35;
    static constexpr double kPauseLength = 0.9;
    static constexpr double kBacklogLimit = 12.0;
    static constexpr double kRotationAtPause = 45.0;
    static constexpr double kHardRotation = 60.0;
    static constexpr double kFinalizationFallback = 3.0;
    static constexpr double kAutoRestartDelay = 3.0;
    static constexpr int kAutoRestartLimit = 5;

    RecognitionSession(Platform platform, RecognitionHost &host, QObject *parent = nullptr);
    ~RecognitionSession() override;

    // A capture session is starting: forget the last one's state.
    void reset();
    // The session is live: counters from zero, the first request.
    void begin();
    // The session stopped: the request gets no more audio; the recognizer
    // delivers its final result (or the fallback takes what is there).
    void finishForStop();
    // New audio level information: decide on sentence ends and rotation.
    void onSilence(double silenceDuration);
    // The one-second tick of the session.
    void evaluate();

    QString pendingText() const { return m_assembler.pendingText(); }
    double requestStartRecordingTime() const { return m_requestStartRecordingTime; }
    void clearPendingSince() { m_pendingSince.reset(); }

    qint64 generation() const { return m_generation; }
    qint64 rotationCount() const { return m_rotationCount; }
    qint64 autoRestartFailures() const { return m_autoRestartFailures; }
    bool isRotating() const { return m_isRotating; }
    bool isFinalizingStop() const { return m_isFinalizingStop; }
    bool hasRequest() const { return bool(m_request); }
    bool hasTask() const { return bool(m_task); }
    std::optional<Date> pendingSince() const { return m_pendingSince; }
    const RecognitionTextAssembler &assembler() const { return m_assembler; }

    // What the user reads for a recognition failure.
    static QString friendlyMessage(const RecognitionError &error);

private:
    void startRequest();
    void handleResult(const std::optional<RecognitionResult> &result, const std::optional<RecognitionError> &error,
                      qint64 generation);
    void applyTranscription(const RecognitionTranscription &t);
    void evaluateSentenceBoundary();
    void evaluateRotation();
    void rotate(const QString &reason);
    void scheduleFinalizationFallback(qint64 generation);
    void scheduleAutoRestart();
    void handOver(const std::vector<RecognitionChunk> &chunks, const QString &reason);

    Platform m_platform;
    RecognitionHost &m_host;
    std::shared_ptr<RecognitionRequest> m_request;
    std::shared_ptr<RecognitionTask> m_task;
    qint64 m_generation = 0;
    bool m_isFinalizingStop = false;
    bool m_isRotating = false;
    RecognitionTextAssembler m_assembler;
    double m_requestStartRecordingTime = 0;
    std::optional<double> m_rotationStartRecordingTime;
    Date m_requestStartedAt;
    Date m_transcriptChangedAt;
    std::optional<Date> m_pendingSince;
    double m_silenceDuration = 0;
    qint64 m_rotationCount = 0;
    qint64 m_autoRestartFailures = 0;
};

} // namespace vox

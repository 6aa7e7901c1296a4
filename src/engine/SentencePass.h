#pragma once
// The accurate pass between recognition and translation. The live recognizer
// cuts the sentences; when a sentence decoder is set, every hand-over waits
// here while each of its sentences is decoded again from its own audio on a
// worker thread, one at a time and in order, and the new text replaces the
// live one. A hand-over leaves no later than its deadline (1.5 × its audio
// + 1 s) with the live text for what was not decoded by then, and when more
// than a few hand-overs wait, new ones pass with their live text until the
// queue has drained: translation never stalls behind the decoder. Without a
// decoder every hand-over passes through at once.
//
// Main thread, except the decoder, which only ever runs on the worker.
#include "engine/RecognizerAudioTap.h"
#include "platform/SentenceDecoder.h"
#include "platform/Time.h"
#include "translation/RecognitionChunk.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vox {

class SentencePass : public QObject {
    Q_OBJECT
public:
    static constexpr int kBacklogLimit = 3;       // hand-overs waiting for the decoder
    static constexpr double kDeadlineFactor = 1.5;
    static constexpr double kDeadlineExtra = 1.0; // seconds
    static constexpr double kMarginBefore = 0.25; // audio taken before a sentence's first word
    static constexpr double kMarginAfter = 0.15;  // and after its end, when nothing follows
    static constexpr double kLongestSentence = 28.0; // longer ones keep the live text
    static constexpr double kShortestSentence = 0.3;

    // A sentence as it leaves: its text and where it starts in the recording.
    struct Sentence {
        QString text;
        std::optional<double> audioTime;
    };
    using Release = std::function<void(const std::vector<Sentence> &, const QString &reason)>;

    explicit SentencePass(Release release, QObject *parent = nullptr);
    ~SentencePass() override;

    // The recognizer to give the live recognition session: the platform's,
    // with its audio kept while a decoder is set.
    std::shared_ptr<SpeechRecognizer> tap(std::shared_ptr<SpeechRecognizer> recognizer);

    // Sets or removes the decoder; what waits for the old one leaves first.
    void setDecoder(std::shared_ptr<SentenceDecoder> decoder);
    bool hasDecoder() const { return bool(m_decoder); }
    // "PocketSphinx" or the decoder's name.
    QString recognizerName() const;
    // No deadline and no backlog switch: for file transcription, where the
    // clock follows the audio and would run out every deadline.
    void setPatient(bool on) { m_patient = on; }

    // A hand-over of the live recognizer: chunks timed from the request's
    // first audio, the request's place in the recording, and where the words
    // still being recognized begin (their audio is not this hand-over's).
    void submit(const std::vector<RecognitionChunk> &chunks, double requestStart, const QString &reason,
                const QString &prompt, std::optional<double> followingStart = std::nullopt);

    // Sentences waiting here, in spoken order, with their live text.
    std::vector<Sentence> waiting() const;
    bool isIdle() const { return m_jobs.empty(); }
    // True while new hand-overs pass with their live text (backlog).
    bool isBypassing() const { return m_bypassing; }
    // Everything waiting leaves now (decoded text where there is one).
    void releaseAllNow();

    // Figures for benchmarks and the log: decodes finished and the audio they
    // covered, decoder time (seconds), fallbacks by deadline.
    struct Stats {
        int decoded = 0;
        int deadlineFallbacks = 0;
        int backlogPassed = 0;
        double audioSeconds = 0;
        double decodeSeconds = 0;
    };
    const Stats &stats() const { return m_stats; }

Q_SIGNALS:
    void recognizerNameChanged();
    void bypassingChanged();

private:
    struct Job;
    struct Worker;
    void pump();
    void onDecoded(quint64 job, size_t index, std::optional<QString> text, double seconds, double audio);
    void setBypassing(bool on);
    void releaseJob(Job &job, bool timedOut);

    Release m_release;
    std::shared_ptr<RecognizerAudioTap> m_tap;
    std::shared_ptr<SentenceDecoder> m_decoder;
    std::unique_ptr<Worker> m_worker;
    std::deque<Job> m_jobs;
    quint64 m_nextJob = 1;
    bool m_bypassing = false;
    bool m_patient = false;
    Stats m_stats;
};

} // namespace vox

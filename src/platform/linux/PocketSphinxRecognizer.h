#pragma once
// Offline English recognizer over PocketSphinx.
//
// One decoder, loaded once on the recognizer's own thread when preload() or
// the first task asks for it (not at construction, so that building the
// recognizer costs nothing while the window comes up); every request's
// audio is queued to that thread and decoded there, in the order the tasks
// were started (a finishing task's queued audio and final result come before
// the next task's audio). Results reach the task handler on that thread.
//
// Per request: one decoder stream (times count from the request's first
// audio, 10 ms frames). The decoder's speech detector splits the stream into
// utterances; with automatic punctuation each ended utterance becomes a
// sentence (first word capitalised, "." after the last word) and the request's
// transcript grows sentence by sentence. An utterance of unbroken speech is cut
// after `maxUtteranceSeconds` without punctuation.
#include "platform/SpeechRecognizer.h"

#include <QString>
#include <memory>
#include <optional>

namespace vox {

struct PocketSphinxOptions {
    // Folder holding en-us/en-us (acoustic model), en-us/en-us.lm.bin and
    // en-us/cmudict-en-us.dict. Empty: the system model folder.
    QString modelDir;
    // Second (flat-lexicon) pass at every utterance end. Unset: the
    // environment variable VOXLEAF_SPHINX_FWDFLAT ("yes" or "no") decides,
    // otherwise single pass (no), which ends utterances in a few milliseconds
    // instead of up to a second and never rewrites the last partial result.
    std::optional<bool> fwdflat;
    double maxUtteranceSeconds = 25.0;
};

class SphinxCore;

class PocketSphinxRecognizer : public SpeechRecognizer {
public:
    explicit PocketSphinxRecognizer(PocketSphinxOptions options = {});
    ~PocketSphinxRecognizer() override;
    PocketSphinxRecognizer(const PocketSphinxRecognizer &) = delete;
    PocketSphinxRecognizer &operator=(const PocketSphinxRecognizer &) = delete;

    // The model files are present and the decoder has not failed to load.
    bool isAvailable() const override;
    void preload() override;
    std::shared_ptr<RecognitionRequest> makeRequest(const RecognitionRequestOptions &options) override;
    // The handler is called on the recognizer thread. After cancel() returns
    // it is not called again for that task; it must therefore never wait for
    // the thread that calls cancel().
    std::shared_ptr<RecognitionTask> startTask(std::shared_ptr<RecognitionRequest> request,
                                               RecognitionHandler handler) override;

    // Starts the load if nobody has yet, then waits until the decoder is
    // loaded (true) or failed to load (false).
    bool waitUntilLoaded(int timeoutMs) const;
    bool usesFwdflat() const;
    // Limit of unbroken speech in one utterance, in seconds; takes effect
    // with the next buffer.
    void setMaxUtteranceSeconds(double seconds);

    // Back-pressure for producers faster than real time (a file): audio
    // queued to the recognizer and not yet decoded, in seconds of 16 kHz.
    double queuedSeconds() const;
    // Waits up to timeoutMs for room: less than maxQueuedSeconds queued and a
    // request open for audio (or no request made yet). True when there is room.
    bool waitForRoom(double maxQueuedSeconds, int timeoutMs) const;
    // Waits until every queued piece of work is done. True when idle.
    bool waitUntilIdle(int timeoutMs) const;

    struct Stats {
        qint64 samplesDecoded = 0;
        double decodeCpuSeconds = 0;   // thread CPU in the decoder, all calls
        qint64 utteranceEnds = 0;      // utterances ended (speech fall, cut, end of audio)
        qint64 utteranceCuts = 0;      // of those, cut for unbroken speech
        double utteranceEndCpuSeconds = 0;
        double maxUtteranceEndCpuSeconds = 0;
        qint64 finalsRewritten = 0;    // utterance finals that differ from their last partial
        double loadSeconds = 0;
        int loads = 0;                 // decoder loads begun (at most one)
    };
    Stats stats() const;

private:
    std::shared_ptr<SphinxCore> m_core;
};

std::shared_ptr<PocketSphinxRecognizer> makePocketSphinxRecognizer(PocketSphinxOptions options = {});

} // namespace vox

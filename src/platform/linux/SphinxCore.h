#pragma once
// The PocketSphinx decoding thread behind PocketSphinxRecognizer: one
// decoder, loaded on the thread once a load or a task is asked for; requests' audio queued to it and decoded in
// the order their tasks were started; results delivered on the thread.
#include "PocketSphinxRecognizer.h"
#include "SphinxModel.h"
#include "SphinxTranscript.h"

#include <QSet>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vox {

// One request's audio on its way to the decoder.
struct SphinxStream {
    RecognitionRequestOptions options;
    // Guarded by the core's mutex.
    std::deque<std::vector<int16_t>> audio;
    qint64 queuedSamples = 0;
    bool audioEnded = false;
    bool taskStarted = false;
    bool done = false;
    bool formatError = false;
    double badRate = 0;
    RecognitionHandler handler;
    // Delivery and cancel exclude each other, so nothing arrives after cancel().
    std::recursive_mutex deliveryMutex;
    std::atomic<bool> cancelled{false};
};

class SphinxCore : public std::enable_shared_from_this<SphinxCore> {
public:
    explicit SphinxCore(PocketSphinxOptions options);
    ~SphinxCore();

    void startThread();
    void shutdown();
    bool filesPresent() const { return m_model.filesPresent; }
    bool loadFailed() const { return m_loadFailed.load(); }
    // Any thread: the thread loads the decoder now rather than at the first task.
    void requestLoad();
    bool waitUntilLoaded(int timeoutMs);
    bool fwdflat() const { return m_model.fwdflat; }
    std::atomic<double> maxUtteranceSeconds{25.0};

    // Any thread.
    void append(const std::shared_ptr<SphinxStream> &s, const PcmBuffer &buffer);
    void endAudio(const std::shared_ptr<SphinxStream> &s);
    void cancel(const std::shared_ptr<SphinxStream> &s);
    void start(const std::shared_ptr<SphinxStream> &s, RecognitionHandler handler);
    void registerRequest();

    double queuedSeconds();
    bool waitForRoom(double maxQueuedSeconds, int timeoutMs);
    bool waitUntilIdle(int timeoutMs);
    PocketSphinxRecognizer::Stats stats();

private:
    // Worker-only state of the stream being decoded.
    struct Decoding {
        std::shared_ptr<SphinxStream> stream;
        bool uttOpen = false;
        bool heardSpeech = false;
        qint64 speechRunSamples = 0;
        SphinxTranscript transcript;
    };

    void run();
    bool readyFront() const;
    void deliver(const std::shared_ptr<SphinxStream> &s, std::optional<RecognitionResult> r,
                 std::optional<RecognitionError> e);
    void fail(const std::shared_ptr<SphinxStream> &s, RecognitionFailure kind, const QString &message);
    void finishStream(const std::shared_ptr<SphinxStream> &s); // marks done, removes from order
    bool beginStream(const std::shared_ptr<SphinxStream> &s);
    bool process(const std::shared_ptr<SphinxStream> &s, const std::vector<int16_t> &samples);
    bool endUtterance(bool punctuate, bool restart);
    void finalize(const std::shared_ptr<SphinxStream> &s);
    void abandon();
    void deliverPartial();
    void checkContextualStrings(const QStringList &strings);

    PocketSphinxOptions m_options;
    SphinxModel m_model;

    ps_decoder_s *m_ps = nullptr;
    Decoding m_dec;
    QSet<QString> m_reportedUnknown;

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;        // work for the worker
    std::condition_variable m_progress;  // queue drained, load finished, idle
    std::deque<std::shared_ptr<SphinxStream>> m_order;
    qint64 m_totalQueued = 0;
    bool m_busy = false;
    bool m_stopping = false;
    bool m_loadRequested = false;
    bool m_loaded = false;
    std::atomic<bool> m_loadFailed{false};
    qint64 m_requestsMade = 0;
    qint64 m_openRequests = 0;
    PocketSphinxRecognizer::Stats m_stats;
    std::thread m_thread;
};

} // namespace vox

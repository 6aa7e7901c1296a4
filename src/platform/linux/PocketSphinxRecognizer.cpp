#include "PocketSphinxRecognizer.h"

#include "SphinxCore.h"

namespace vox {

namespace {

class SphinxRequest : public RecognitionRequest {
public:
    SphinxRequest(std::weak_ptr<SphinxCore> core, const RecognitionRequestOptions &options)
        : m_core(std::move(core)), m_stream(std::make_shared<SphinxStream>())
    {
        m_stream->options = options;
    }
    // Nobody can add audio any more: the task may finish.
    ~SphinxRequest() override { endAudio(); }
    void append(const PcmBuffer &buffer) override
    {
        if (auto c = m_core.lock())
            c->append(m_stream, buffer);
    }
    void endAudio() override
    {
        if (auto c = m_core.lock())
            c->endAudio(m_stream);
    }
    const RecognitionRequestOptions &options() const override { return m_stream->options; }
    const std::shared_ptr<SphinxStream> &stream() const { return m_stream; }
    const std::weak_ptr<SphinxCore> &core() const { return m_core; }

private:
    std::weak_ptr<SphinxCore> m_core;
    std::shared_ptr<SphinxStream> m_stream;
};

class SphinxTask : public RecognitionTask {
public:
    SphinxTask(std::weak_ptr<SphinxCore> core, std::shared_ptr<SphinxStream> stream)
        : m_core(std::move(core)), m_stream(std::move(stream))
    {
    }
    void finish() override
    {
        if (auto c = m_core.lock())
            c->endAudio(m_stream);
    }
    void cancel() override
    {
        if (auto c = m_core.lock())
            c->cancel(m_stream);
        else
            m_stream->cancelled = true;
    }

private:
    std::weak_ptr<SphinxCore> m_core;
    std::shared_ptr<SphinxStream> m_stream;
};

} // namespace

PocketSphinxRecognizer::PocketSphinxRecognizer(PocketSphinxOptions options)
    : m_core(std::make_shared<SphinxCore>(std::move(options)))
{
    m_core->startThread();
}

PocketSphinxRecognizer::~PocketSphinxRecognizer() { m_core->shutdown(); }

bool PocketSphinxRecognizer::isAvailable() const { return m_core->filesPresent() && !m_core->loadFailed(); }

void PocketSphinxRecognizer::preload() { m_core->requestLoad(); }

std::shared_ptr<RecognitionRequest> PocketSphinxRecognizer::makeRequest(const RecognitionRequestOptions &options)
{
    m_core->registerRequest();
    return std::make_shared<SphinxRequest>(m_core, options);
}

std::shared_ptr<RecognitionTask> PocketSphinxRecognizer::startTask(std::shared_ptr<RecognitionRequest> request,
                                                                   RecognitionHandler handler)
{
    auto *req = dynamic_cast<SphinxRequest *>(request.get());
    if (!req || req->core().lock() != m_core) {
        // Not one of ours: fail it on a stream of its own, on the recognizer thread.
        RecognitionRequestOptions opts = request ? request->options() : RecognitionRequestOptions{};
        auto stream = std::make_shared<SphinxStream>();
        stream->options = opts;
        stream->formatError = true;
        stream->audioEnded = true; // never counted as an open request
        auto h = std::move(handler);
        m_core->start(stream, [h](std::optional<RecognitionResult>, std::optional<RecognitionError>) {
            if (h)
                h(std::nullopt, RecognitionError{RecognitionFailure::Internal, QStringLiteral("识别请求不属于此识别器")});
        });
        return std::make_shared<SphinxTask>(m_core, stream);
    }
    m_core->start(req->stream(), std::move(handler));
    return std::make_shared<SphinxTask>(m_core, req->stream());
}

bool PocketSphinxRecognizer::waitUntilLoaded(int timeoutMs) const { return m_core->waitUntilLoaded(timeoutMs); }
bool PocketSphinxRecognizer::usesFwdflat() const { return m_core->fwdflat(); }
void PocketSphinxRecognizer::setMaxUtteranceSeconds(double seconds) { m_core->maxUtteranceSeconds = seconds; }
double PocketSphinxRecognizer::queuedSeconds() const { return m_core->queuedSeconds(); }
bool PocketSphinxRecognizer::waitForRoom(double maxQueuedSeconds, int timeoutMs) const
{
    return m_core->waitForRoom(maxQueuedSeconds, timeoutMs);
}
bool PocketSphinxRecognizer::waitUntilIdle(int timeoutMs) const { return m_core->waitUntilIdle(timeoutMs); }
PocketSphinxRecognizer::Stats PocketSphinxRecognizer::stats() const { return m_core->stats(); }

std::shared_ptr<PocketSphinxRecognizer> makePocketSphinxRecognizer(PocketSphinxOptions options)
{
    return std::make_shared<PocketSphinxRecognizer>(std::move(options));
}

} // namespace vox

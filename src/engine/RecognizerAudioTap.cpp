#include "RecognizerAudioTap.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <mutex>

namespace vox {

namespace {
constexpr double kRate = 16000.0;
}

struct RecognizerAudioTap::Store {
    mutable std::mutex lock;
    bool keeping = false;
    quint64 request = 0;    // the newest request's number
    qint64 firstFrame = 0;  // frame index of samples.front() in that request
    std::deque<float> samples;

    void append(quint64 from, const PcmBuffer &buffer)
    {
        if (buffer.format().channels < 1 || buffer.format().sampleRate != kRate)
            return;
        std::lock_guard guard(lock);
        if (!keeping || from != request)
            return;
        const float *c = buffer.channel(0);
        samples.insert(samples.end(), c, c + buffer.frameLength());
        const size_t limit = size_t(kKeptSeconds * kRate);
        if (samples.size() > limit) {
            const size_t drop = samples.size() - limit;
            samples.erase(samples.begin(), samples.begin() + qint64(drop));
            firstFrame += qint64(drop);
        }
    }
};

namespace {

class TapRequest final : public RecognitionRequest {
public:
    TapRequest(std::shared_ptr<RecognitionRequest> inner, std::shared_ptr<RecognizerAudioTap::Store> store,
               quint64 number)
        : m_inner(std::move(inner)), m_store(std::move(store)), m_number(number)
    {
    }
    void append(const PcmBuffer &buffer) override
    {
        m_store->append(m_number, buffer);
        m_inner->append(buffer);
    }
    void endAudio() override { m_inner->endAudio(); }
    const RecognitionRequestOptions &options() const override { return m_inner->options(); }
    const std::shared_ptr<RecognitionRequest> &inner() const { return m_inner; }

private:
    std::shared_ptr<RecognitionRequest> m_inner;
    std::shared_ptr<RecognizerAudioTap::Store> m_store;
    quint64 m_number;
};

} // namespace

RecognizerAudioTap::RecognizerAudioTap(std::shared_ptr<SpeechRecognizer> inner)
    : m_inner(std::move(inner)), m_store(std::make_shared<Store>())
{
}

RecognizerAudioTap::~RecognizerAudioTap() = default;

void RecognizerAudioTap::setKeeping(bool on)
{
    std::lock_guard guard(m_store->lock);
    m_store->keeping = on;
    if (!on)
        m_store->samples = {};
}

std::vector<float> RecognizerAudioTap::samples(double from, double to) const
{
    std::lock_guard guard(m_store->lock);
    const qint64 first = m_store->firstFrame;
    const qint64 end = first + qint64(m_store->samples.size());
    const qint64 a = std::clamp(qint64(std::floor(from * kRate)), first, end);
    const qint64 b = std::clamp(qint64(std::ceil(to * kRate)), a, end);
    return std::vector<float>(m_store->samples.begin() + (a - first), m_store->samples.begin() + (b - first));
}

double RecognizerAudioTap::heardSeconds() const
{
    std::lock_guard guard(m_store->lock);
    return double(m_store->firstFrame + qint64(m_store->samples.size())) / kRate;
}

bool RecognizerAudioTap::isAvailable() const
{
    return m_inner && m_inner->isAvailable();
}

void RecognizerAudioTap::preload()
{
    if (m_inner)
        m_inner->preload();
}

std::shared_ptr<RecognitionRequest> RecognizerAudioTap::makeRequest(const RecognitionRequestOptions &options)
{
    auto inner = m_inner ? m_inner->makeRequest(options) : nullptr;
    if (!inner)
        return nullptr;
    quint64 number = 0;
    {
        std::lock_guard guard(m_store->lock);
        number = ++m_store->request;
        m_store->samples.clear();
        m_store->firstFrame = 0;
    }
    return std::make_shared<TapRequest>(std::move(inner), m_store, number);
}

std::shared_ptr<RecognitionTask> RecognizerAudioTap::startTask(std::shared_ptr<RecognitionRequest> request,
                                                             RecognitionHandler handler)
{
    if (auto tap = std::dynamic_pointer_cast<TapRequest>(request))
        request = tap->inner();
    return m_inner ? m_inner->startTask(std::move(request), std::move(handler)) : nullptr;
}

} // namespace vox

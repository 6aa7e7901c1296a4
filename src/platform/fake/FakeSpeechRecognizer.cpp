#include "FakeSpeechRecognizer.h"

namespace vox::fake {

void FakeRecognitionRequest::append(const PcmBuffer &buffer)
{
    std::lock_guard lock(m_mutex);
    m_frames += buffer.frameLength();
    m_count++;
    if (m_keep)
        m_buffers.push_back(buffer);
}

void FakeRecognitionRequest::endAudio()
{
    std::lock_guard lock(m_mutex);
    m_ended = true;
}

qint64 FakeRecognitionRequest::appendedFrames() const
{
    std::lock_guard lock(m_mutex);
    return m_frames;
}

int FakeRecognitionRequest::appendedBuffers() const
{
    std::lock_guard lock(m_mutex);
    return m_count;
}

bool FakeRecognitionRequest::audioEnded() const
{
    std::lock_guard lock(m_mutex);
    return m_ended;
}

void FakeRecognitionRequest::setKeepBuffers(bool keep)
{
    std::lock_guard lock(m_mutex);
    m_keep = keep;
}

std::vector<PcmBuffer> FakeRecognitionRequest::buffers() const
{
    std::lock_guard lock(m_mutex);
    return m_buffers;
}

RecognitionResult FakeRecognitionTask::makeResult(const QString &text, bool isFinal, double firstTime, double spacing)
{
    RecognitionResult r;
    r.isFinal = isFinal;
    r.bestTranscription.formattedString = text;
    qint64 i = 0;
    const qint64 n = text.size();
    int index = 0;
    while (i < n) {
        while (i < n && text.at(i).isSpace())
            ++i;
        if (i >= n)
            break;
        qint64 start = i;
        while (i < n && !text.at(i).isSpace())
            ++i;
        RecognitionSegment s;
        s.location = start;
        s.length = i - start;
        s.timestamp = firstTime + index * spacing;
        s.duration = spacing;
        r.bestTranscription.segments.push_back(s);
        ++index;
    }
    return r;
}

void FakeRecognitionTask::deliver(std::optional<RecognitionResult> result, std::optional<RecognitionError> error)
{
    if (m_handler)
        m_handler(std::move(result), std::move(error));
}

void FakeRecognitionTask::deliverPartial(const QString &text, double firstTime)
{
    deliver(makeResult(text, false, firstTime), std::nullopt);
}

void FakeRecognitionTask::deliverFinal(const QString &text, double firstTime)
{
    deliver(makeResult(text, true, firstTime), std::nullopt);
}

void FakeRecognitionTask::deliverError(const RecognitionError &error)
{
    deliver(std::nullopt, error);
}

std::shared_ptr<RecognitionRequest> FakeSpeechRecognizer::makeRequest(const RecognitionRequestOptions &options)
{
    auto r = std::make_shared<FakeRecognitionRequest>(options);
    r->setKeepBuffers(keepBuffers);
    requests.push_back(r);
    return r;
}

std::shared_ptr<RecognitionTask> FakeSpeechRecognizer::startTask(std::shared_ptr<RecognitionRequest> request,
                                                                 RecognitionHandler handler)
{
    auto fr = std::dynamic_pointer_cast<FakeRecognitionRequest>(request);
    auto t = std::make_shared<FakeRecognitionTask>(fr, std::move(handler));
    tasks.push_back(t);
    return t;
}

void FakeSpeechRecognizer::forgetHistory()
{
    if (requests.size() > 1)
        requests.erase(requests.begin(), requests.end() - 1);
    if (tasks.size() > 1)
        tasks.erase(tasks.begin(), tasks.end() - 1);
}

} // namespace vox::fake

#include "FakeSentenceDecoder.h"

#include <QFileInfo>
#include <chrono>

namespace vox::fake {

std::optional<QString> FakeSentenceDecoder::decode(const std::vector<float> &samples,
                                                   const SentenceDecodeOptions &options)
{
    std::unique_lock lock(m_mutex);
    const size_t index = m_calls.size();
    m_calls.push_back(Call{samples.size(), options.prompt, options.maxTokens, false});
    m_changed.notify_all();
    while (m_held) {
        if (options.shouldStop && options.shouldStop()) {
            m_calls[index].stopped = true;
            return std::nullopt;
        }
        m_changed.wait_for(lock, std::chrono::milliseconds(2));
    }
    if (m_texts.empty())
        return std::nullopt;
    auto text = m_texts.front();
    m_texts.pop_front();
    return text;
}

void FakeSentenceDecoder::script(std::deque<std::optional<QString>> texts)
{
    std::lock_guard lock(m_mutex);
    m_texts = std::move(texts);
}

void FakeSentenceDecoder::hold()
{
    std::lock_guard lock(m_mutex);
    m_held = true;
}

void FakeSentenceDecoder::release()
{
    std::lock_guard lock(m_mutex);
    m_held = false;
    m_changed.notify_all();
}

std::vector<FakeSentenceDecoder::Call> FakeSentenceDecoder::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

bool FakeSentenceDecoder::waitForCalls(size_t n) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_calls.size() >= n; });
}

Result<std::shared_ptr<SentenceDecoder>> FakeSentenceDecoderLoader::load(const QString &path)
{
    const QFileInfo file(path);
    if (!file.isFile())
        return Error{kModelErrorDomain, int(ModelFailure::Missing), QStringLiteral("找不到识别模型文件：%1").arg(path)};
    return std::shared_ptr<SentenceDecoder>(
        std::make_shared<FakeSentenceDecoder>(QStringLiteral("Whisper ") + file.completeBaseName()));
}

} // namespace vox::fake

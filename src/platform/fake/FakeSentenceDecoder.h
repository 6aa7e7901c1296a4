#pragma once
// A scriptable sentence re-decoder for tests and benchmarks. decode() runs on
// the caller's worker thread; it answers with the next scripted text, or waits
// while the test holds it (until released or told to stop).
#include "platform/SentenceDecoder.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace vox::fake {

class FakeSentenceDecoder : public SentenceDecoder {
public:
    explicit FakeSentenceDecoder(QString name = QStringLiteral("Whisper fake")) : m_name(std::move(name)) {}

    QString displayName() const override { return m_name; }
    std::optional<QString> decode(const std::vector<float> &samples, const SentenceDecodeOptions &options) override;

    // Texts answered in order; with none left the sentence is "not heard".
    void script(std::deque<std::optional<QString>> texts);
    // While held, every decode waits.
    void hold();
    void release();

    struct Call {
        size_t samples = 0;
        QString prompt;
        int maxTokens = 0;
        bool stopped = false; // ended by shouldStop
    };
    std::vector<Call> calls() const;
    // Waits until `n` decodes have begun (a test's handshake with the
    // worker); false after ten seconds without.
    bool waitForCalls(size_t n) const;

private:
    QString m_name;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::deque<std::optional<QString>> m_texts;
    bool m_held = false;
    std::vector<Call> m_calls;
};

// Loads a FakeSentenceDecoder named "Whisper <file's base name>" for any
// existing file; a missing one is refused as a real loader does.
class FakeSentenceDecoderLoader : public SentenceDecoderLoader {
public:
    Result<std::shared_ptr<SentenceDecoder>> load(const QString &path) override;
};

} // namespace vox::fake

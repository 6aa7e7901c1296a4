#include "WhisperDecoder.h"

#include "platform/Diag.h"
#include "platform/WhisperModelFile.h"

#include <whisper.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <mutex>
#include <thread>

namespace vox {

namespace {

constexpr int kSampleRate = 16000;
// Encoder positions per second of audio (10 ms mel frames, halved by the
// second convolution), and a little room past the last one.
constexpr int kAudioCtxPerSecond = 50;
constexpr int kAudioCtxSlack = 32;

// whisper.cpp's own log: warnings and errors go to the diagnostics log, the
// chatter of every load and decode does not.
void logToDiag(ggml_log_level level, const char *text, void *)
{
    if (level != GGML_LOG_LEVEL_WARN && level != GGML_LOG_LEVEL_ERROR)
        return;
    const QString line = QString::fromUtf8(text).trimmed();
    if (!line.isEmpty())
        diag(QStringLiteral("Whisper: %1").arg(line));
}

// Non-speech output of an empty or noisy sentence: "[BLANK_AUDIO]", "(music)".
bool isAnnotationOnly(const QString &text)
{
    return (text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']')))
        || (text.startsWith(QLatin1Char('(')) && text.endsWith(QLatin1Char(')')));
}

class WhisperDecoder final : public SentenceDecoder {
public:
    WhisperDecoder(whisper_context *ctx, QString name) : m_ctx(ctx), m_name(std::move(name)) {}
    ~WhisperDecoder() override { whisper_free(m_ctx); }

    QString displayName() const override { return QStringLiteral("Whisper ") + m_name; }

    std::optional<QString> decode(const std::vector<float> &samples, const SentenceDecodeOptions &o) override
    {
        std::lock_guard lock(m_lock);
        if (samples.empty())
            return std::nullopt;
        whisper_full_params p = whisper_full_default_params(WHISPER_SAMPLING_GREEDY);
        p.n_threads = whisperThreadCount();
        p.language = "en";
        p.translate = false;
        p.no_context = true;
        p.no_timestamps = true;
        p.single_segment = true;
        p.print_special = p.print_progress = p.print_realtime = p.print_timestamps = false;
        p.suppress_blank = true;
        p.suppress_nst = true;
        p.temperature = 0.0f;
        p.temperature_inc = 0.0f; // no second, hotter decode of a hard sentence
        p.greedy.best_of = 1;
        p.max_tokens = std::max(0, o.maxTokens);
        const double seconds = double(samples.size()) / kSampleRate;
        p.audio_ctx = std::min(whisper_model_n_audio_ctx(m_ctx),
                               int(std::ceil(seconds * kAudioCtxPerSecond)) + kAudioCtxSlack);
        const QByteArray prompt = o.prompt.toUtf8();
        p.initial_prompt = prompt.isEmpty() ? nullptr : prompt.constData();
        const std::function<bool()> *stop = o.shouldStop ? &o.shouldStop : nullptr;
        p.abort_callback = [](void *data) {
            return data && (*static_cast<const std::function<bool()> *>(data))();
        };
        p.abort_callback_user_data = const_cast<std::function<bool()> *>(stop);
        p.encoder_begin_callback = [](whisper_context *, whisper_state *, void *data) {
            return !(data && (*static_cast<const std::function<bool()> *>(data))());
        };
        p.encoder_begin_callback_user_data = p.abort_callback_user_data;

        // whisper.cpp reports some failures by exception, never to pass here.
        try {
            if (whisper_full(m_ctx, p, samples.data(), int(samples.size())) != 0)
                return std::nullopt;
        } catch (const std::exception &e) {
            diag(QStringLiteral("Whisper 识别失败: %1").arg(QString::fromUtf8(e.what())));
            return std::nullopt;
        }
        if (stop && (*stop)())
            return std::nullopt;
        QString text;
        const int n = whisper_full_n_segments(m_ctx);
        for (int i = 0; i < n; ++i)
            text += QString::fromUtf8(whisper_full_get_segment_text(m_ctx, i));
        text = text.simplified();
        if (text.isEmpty() || isAnnotationOnly(text))
            return std::nullopt;
        return text;
    }

private:
    std::mutex m_lock;
    whisper_context *m_ctx;
    QString m_name;
};

class WhisperLoader final : public SentenceDecoderLoader {
public:
    Result<std::shared_ptr<SentenceDecoder>> load(const QString &path) override
    {
        static std::once_flag logOnce;
        std::call_once(logOnce, [] { whisper_log_set(logToDiag, nullptr); });

        auto described = WhisperModelFile::inspect(path);
        if (!described)
            return described.error();
        whisper_context_params cp = whisper_context_default_params();
        cp.use_gpu = false;
        cp.flash_attn = false;
        whisper_context *ctx = nullptr;
        try {
            ctx = whisper_init_from_file_with_params(QFile::encodeName(path).constData(), cp);
        } catch (const std::exception &e) {
            diag(QStringLiteral("Whisper 模型载入失败: %1").arg(QString::fromUtf8(e.what())));
        }
        if (!ctx)
            return Error{kModelErrorDomain, int(ModelFailure::LoadFailed),
                         QStringLiteral("Whisper 模型无法载入：%1").arg(QFileInfo(path).fileName())};
        diag(QStringLiteral("Whisper 模型已载入：%1（%2，%3 线程）")
                 .arg(path, described.value().name)
                 .arg(whisperThreadCount()));
        return std::shared_ptr<SentenceDecoder>(std::make_shared<WhisperDecoder>(ctx, described.value().name));
    }
};

} // namespace

int whisperThreadCount()
{
    bool ok = false;
    const int fromEnv = qEnvironmentVariableIntValue("VOXLEAF_WHISPER_THREADS", &ok);
    if (ok && fromEnv > 0)
        return std::min(fromEnv, 16);
    return std::clamp(int(std::thread::hardware_concurrency()) / 2, 1, 4);
}

std::shared_ptr<SentenceDecoderLoader> makeWhisperLoader()
{
    return std::make_shared<WhisperLoader>();
}

} // namespace vox

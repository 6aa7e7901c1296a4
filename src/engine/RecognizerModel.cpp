#include "RecognizerModel.h"

#include "engine/SpeechEngine.h"
#include "platform/Diag.h"
#include "platform/Settings.h"

#include <QThread>
#include <memory>

namespace vox {

RecognizerModel::RecognizerModel(SpeechEngine &engine, Platform platform, QObject *parent)
    : QObject(parent), m_engine(&engine), m_platform(std::move(platform))
{
}

RecognizerModel::~RecognizerModel() = default;

void RecognizerModel::loadStored()
{
    const QString stored = settings().string(QLatin1String(Keys::WhisperModelPath));
    if (!stored.isEmpty())
        load(stored);
}

void RecognizerModel::use(const QString &path)
{
    settings().setValue(QLatin1String(Keys::WhisperModelPath), path);
    load(path);
}

void RecognizerModel::clear()
{
    ++m_attempt;
    settings().remove(QLatin1String(Keys::WhisperModelPath));
    m_path.clear();
    if (m_engine)
        m_engine->setSentenceDecoder(nullptr);
    set(QString(), false, false);
}

void RecognizerModel::load(const QString &path)
{
    m_path = path;
    const quint64 attempt = ++m_attempt;
    if (!m_platform.sentenceDecoders) {
        set(QStringLiteral("此版本未包含 Whisper，继续使用 PocketSphinx。"), false, true);
        return;
    }
    set(QStringLiteral("正在载入模型…"), true, false);
    // Loading reads the whole file: a worker thread does it, the answer
    // comes back here unless a newer choice was made meanwhile.
    auto loader = m_platform.sentenceDecoders;
    auto result = std::make_shared<std::optional<Result<std::shared_ptr<SentenceDecoder>>>>();
    QThread *thread = QThread::create([loader, path, result] { result->emplace(loader->load(path)); });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, attempt, result] {
        if (attempt != m_attempt || !result->has_value())
            return;
        auto &r = **result;
        if (!r) {
            diag(QStringLiteral("识别模型不可用：%1").arg(r.error().message));
            const QString message = r.error().message + QStringLiteral("；继续使用 PocketSphinx。");
            // Said in the window too: the settings may not be open.
            if (m_engine)
                m_engine->setLastError(message);
            set(message, false, true);
            return;
        }
        if (m_engine)
            m_engine->setSentenceDecoder(r.value());
        set(QStringLiteral("已载入：%1").arg(r.value()->displayName()), false, false);
    });
    thread->start(QThread::LowPriority);
}

void RecognizerModel::set(QString status, bool loading, bool failed)
{
    m_status = std::move(status);
    m_loading = loading;
    m_failed = failed;
    emit changed();
}

} // namespace vox

#include "RecognizerSettingsModel.h"

#include "platform/Platform.h"
#include "platform/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace vox {

RecognizerSettingsModel::RecognizerSettingsModel(QObject *parent)
    : QObject(parent), m_models(modelsFolder(), this)
{
}

RecognizerSettingsModel::~RecognizerSettingsModel() = default;

void RecognizerSettingsModel::setRecognizer(RecognizerModel *r)
{
    if (m_recognizer == r)
        return;
    m_recognizer = r;
    emit recognizerChanged();
}

QString RecognizerSettingsModel::modelsFolder() const
{
    const auto &desktop = platform().desktop;
    return SentenceModelCatalog::folder(desktop ? desktop->applicationDataFolder() : QDir::homePath());
}

QString RecognizerSettingsModel::downloadUrl() const
{
    return settings().string(QLatin1String(Keys::WhisperDownloadUrl));
}

void RecognizerSettingsModel::setDownloadUrl(const QString &url)
{
    const QString trimmed = url.trimmed();
    if (trimmed == downloadUrl())
        return;
    if (trimmed.isEmpty())
        settings().remove(QLatin1String(Keys::WhisperDownloadUrl));
    else
        settings().setValue(QLatin1String(Keys::WhisperDownloadUrl), trimmed);
    emit downloadUrlChanged();
}

QString RecognizerSettingsModel::downloadingId() const
{
    return m_download && m_download->isRunning() ? m_download->model().id : QString();
}

void RecognizerSettingsModel::download(const QString &id)
{
    const SentenceModelInfo *model = SentenceModelCatalog::find(id);
    if (!model || (m_download && m_download->isRunning()))
        return;
    m_download = std::make_unique<ModelDownload>(*model, QUrl(downloadUrl()), modelsFolder());
    connect(m_download.get(), &ModelDownload::finished, this, [this](bool ok, const QString &text) {
        if (ok) {
            m_message = QStringLiteral("下载完成：%1").arg(QFileInfo(text).fileName());
            if (m_recognizer)
                m_recognizer->use(text);
        } else {
            m_message = text;
        }
        emit downloadChanged();
    });
    m_message = QStringLiteral("正在下载 %1…").arg(WhisperModelList::title(*model));
    m_download->start();
    m_models.follow(m_download.get());
    emit downloadChanged();
}

void RecognizerSettingsModel::cancelDownload()
{
    if (m_download)
        m_download->cancel();
}

void RecognizerSettingsModel::useFile(const QUrl &file)
{
    const QString path = file.isLocalFile() ? file.toLocalFile() : file.toString();
    if (!path.isEmpty() && m_recognizer)
        m_recognizer->use(path);
}

void RecognizerSettingsModel::useModel(const QString &id)
{
    if (const SentenceModelInfo *m = SentenceModelCatalog::find(id); m && m_recognizer)
        m_recognizer->use(QDir(modelsFolder()).filePath(m->fileName));
}

void RecognizerSettingsModel::usePocketSphinx()
{
    if (m_recognizer)
        m_recognizer->clear();
}

} // namespace vox

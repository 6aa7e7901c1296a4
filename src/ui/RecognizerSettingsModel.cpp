#include "RecognizerSettingsModel.h"

#include "platform/Platform.h"
#include "platform/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace vox {

namespace {
QString title(const SentenceModelInfo &m)
{
    if (m.id.endsWith(QLatin1String("-q5_1")))
        return m.id.left(m.id.size() - 5) + QStringLiteral("（量化 q5_1）");
    return m.id;
}
} // namespace

RecognizerSettingsModel::RecognizerSettingsModel(QObject *parent) : QObject(parent) {}

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

QVariantList RecognizerSettingsModel::models() const
{
    QVariantList out;
    for (const auto &m : SentenceModelCatalog::models()) {
        const QString path = QDir(modelsFolder()).filePath(m.fileName);
        out.append(QVariantMap{{QStringLiteral("id"), m.id},
                               {QStringLiteral("title"), title(m)},
                               {QStringLiteral("sizeText"),
                                QStringLiteral("约 %1 MB").arg(qRound(double(m.approxBytes) / (1 << 20)))},
                               {QStringLiteral("downloaded"), QFileInfo(path).isFile()},
                               {QStringLiteral("path"), path}});
    }
    return out;
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

double RecognizerSettingsModel::progress() const
{
    if (!m_download || m_download->total() <= 0)
        return 0;
    return double(m_download->received()) / double(m_download->total());
}

QString RecognizerSettingsModel::progressText() const
{
    if (!m_download || !m_download->isRunning())
        return {};
    const double mb = double(m_download->received()) / (1 << 20);
    if (m_download->total() <= 0)
        return QStringLiteral("%1 MB").arg(mb, 0, 'f', 1);
    return QStringLiteral("%1 / %2 MB").arg(mb, 0, 'f', 1).arg(double(m_download->total()) / (1 << 20), 0, 'f', 1);
}

void RecognizerSettingsModel::download(const QString &id)
{
    const SentenceModelInfo *model = SentenceModelCatalog::find(id);
    if (!model || (m_download && m_download->isRunning()))
        return;
    m_download = std::make_unique<ModelDownload>(*model, QUrl(downloadUrl()), modelsFolder());
    connect(m_download.get(), &ModelDownload::progress, this, &RecognizerSettingsModel::downloadChanged);
    connect(m_download.get(), &ModelDownload::finished, this, [this](bool ok, const QString &text) {
        if (ok) {
            m_message = QStringLiteral("下载完成：%1").arg(QFileInfo(text).fileName());
            if (m_recognizer)
                m_recognizer->use(text);
        } else {
            m_message = text;
        }
        emit downloadChanged();
        emit modelsChanged();
    });
    m_message = QStringLiteral("正在下载 %1…").arg(title(*model));
    m_download->start();
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

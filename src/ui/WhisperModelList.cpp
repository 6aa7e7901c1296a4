#include "WhisperModelList.h"

#include <QDir>
#include <QFileInfo>

namespace vox {

WhisperModelList::WhisperModelList(QString folder, QObject *parent)
    : QAbstractListModel(parent), m_folder(std::move(folder))
{
}

QString WhisperModelList::title(const SentenceModelInfo &m)
{
    if (m.id.endsWith(QLatin1String("-q5_1")))
        return m.id.left(m.id.size() - 5) + QStringLiteral("（量化 q5_1）");
    return m.id;
}

void WhisperModelList::follow(ModelDownload *download)
{
    m_download = download;
    const QString id = download->model().id;
    connect(download, &ModelDownload::progress, this,
            [this, id] { changed(id, {ProgressRole, ProgressTextRole}); });
    connect(download, &ModelDownload::finished, this, [this, id] {
        changed(id, {DownloadedRole, DownloadingRole, ProgressRole, ProgressTextRole});
    });
    changed(id, {DownloadingRole, ProgressRole, ProgressTextRole});
}

int WhisperModelList::rowOf(const QString &id) const
{
    const auto &all = SentenceModelCatalog::models();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].id == id)
            return int(i);
    return -1;
}

void WhisperModelList::changed(const QString &id, const QList<int> &roles)
{
    if (const int row = rowOf(id); row >= 0)
        emit dataChanged(index(row), index(row), roles);
}

bool WhisperModelList::isDownloading(const SentenceModelInfo &model) const
{
    return m_download && m_download->isRunning() && m_download->model().id == model.id;
}

int WhisperModelList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(SentenceModelCatalog::models().size());
}

QVariant WhisperModelList::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const SentenceModelInfo &m = SentenceModelCatalog::models()[size_t(index.row())];
    const bool downloading = isDownloading(m);
    switch (role) {
    case IdRole:
        return m.id;
    case TitleRole:
    case Qt::DisplayRole:
        return title(m);
    case SizeTextRole:
        return QStringLiteral("约 %1 MB").arg(qRound(double(m.approxBytes) / (1 << 20)));
    case DownloadedRole:
        return QFileInfo(QDir(m_folder).filePath(m.fileName)).isFile();
    case PathRole:
        return QDir(m_folder).filePath(m.fileName);
    case DownloadingRole:
        return downloading;
    case ProgressRole:
        return downloading && m_download->total() > 0 ? double(m_download->received()) / double(m_download->total())
                                                       : 0.0;
    case ProgressTextRole: {
        if (!downloading)
            return QString();
        const double mb = double(m_download->received()) / (1 << 20);
        if (m_download->total() <= 0)
            return QStringLiteral("%1 MB").arg(mb, 0, 'f', 1);
        return QStringLiteral("%1 / %2 MB").arg(mb, 0, 'f', 1).arg(double(m_download->total()) / (1 << 20), 0, 'f', 1);
    }
    default:
        return {};
    }
}

QHash<int, QByteArray> WhisperModelList::roleNames() const
{
    return {{IdRole, "id"},
            {TitleRole, "title"},
            {SizeTextRole, "sizeText"},
            {DownloadedRole, "downloaded"},
            {PathRole, "path"},
            {DownloadingRole, "downloading"},
            {ProgressRole, "progress"},
            {ProgressTextRole, "progressText"}};
}

} // namespace vox

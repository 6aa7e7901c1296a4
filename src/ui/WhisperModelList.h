#pragma once
// The catalogue of downloadable Whisper models as rows: "id", "title",
// "sizeText", "downloaded", "path", and while one is being fetched
// "downloading", "progress" (0…1) and "progressText". A download changes its
// own row only.
#include "engine/ModelDownload.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

namespace vox {

class WhisperModelList : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("RecognizerSettingsModel.models")
public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        TitleRole,
        SizeTextRole,
        DownloadedRole,
        PathRole,
        DownloadingRole,
        ProgressRole,
        ProgressTextRole,
    };
    // `folder`: where the models are kept.
    explicit WhisperModelList(QString folder, QObject *parent = nullptr);

    // The started download whose row shows progress; its end refreshes that row.
    void follow(ModelDownload *download);
    // The row of a catalogue id, -1 when absent.
    int rowOf(const QString &id) const;
    static QString title(const SentenceModelInfo &model);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    void changed(const QString &id, const QList<int> &roles);
    bool isDownloading(const SentenceModelInfo &model) const;

    QString m_folder;
    QPointer<ModelDownload> m_download;
};

} // namespace vox

#pragma once
// The "识别模型" section of the settings sheet: which recognizer's text is
// translated, a model file of the user's choosing, and downloads of the
// standard English Whisper models (progress, cancel, resume) from the
// publisher or a mirror ("whisper_download_url").
#include "engine/ModelDownload.h"
#include "engine/RecognizerModel.h"
#include "ui/WhisperModelList.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <memory>

namespace vox {

class RecognizerSettingsModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(vox::RecognizerModel *recognizer READ recognizer WRITE setRecognizer NOTIFY recognizerChanged)
    // The catalogue in its order; a row carries its own download progress.
    Q_PROPERTY(vox::WhisperModelList *models READ models CONSTANT)
    Q_PROPERTY(QString downloadUrl READ downloadUrl WRITE setDownloadUrl NOTIFY downloadUrlChanged)
    // Empty unless a download runs.
    Q_PROPERTY(QString downloadingId READ downloadingId NOTIFY downloadChanged)
    Q_PROPERTY(QString downloadMessage READ downloadMessage NOTIFY downloadChanged)

public:
    explicit RecognizerSettingsModel(QObject *parent = nullptr);
    ~RecognizerSettingsModel() override;

    RecognizerModel *recognizer() const { return m_recognizer; }
    void setRecognizer(RecognizerModel *r);
    WhisperModelList *models() { return &m_models; }
    QString downloadUrl() const;
    void setDownloadUrl(const QString &url);
    QString downloadingId() const;
    QString downloadMessage() const { return m_message; }

    Q_INVOKABLE void download(const QString &id);
    Q_INVOKABLE void cancelDownload();
    // A model file chosen by the user (a local path or file URL).
    Q_INVOKABLE void useFile(const QUrl &file);
    Q_INVOKABLE void useModel(const QString &id);
    Q_INVOKABLE void usePocketSphinx();

    QString modelsFolder() const;

Q_SIGNALS:
    void recognizerChanged();
    void downloadUrlChanged();
    void downloadChanged();

private:
    QPointer<RecognizerModel> m_recognizer;
    WhisperModelList m_models;
    std::unique_ptr<ModelDownload> m_download;
    QString m_message;
};

} // namespace vox

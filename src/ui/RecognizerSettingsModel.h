#pragma once
// The "识别模型" section of the settings sheet: which recognizer's text is
// translated, a model file of the user's choosing, and downloads of the
// standard English Whisper models (progress, cancel, resume) from the
// publisher or a mirror ("whisper_download_url").
#include "engine/ModelDownload.h"
#include "engine/RecognizerModel.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <memory>

namespace vox {

class RecognizerSettingsModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(vox::RecognizerModel *recognizer READ recognizer WRITE setRecognizer NOTIFY recognizerChanged)
    // [{id, title, sizeText, downloaded, path}] in catalogue order.
    Q_PROPERTY(QVariantList models READ models NOTIFY modelsChanged)
    Q_PROPERTY(QString downloadUrl READ downloadUrl WRITE setDownloadUrl NOTIFY downloadUrlChanged)
    Q_PROPERTY(QString downloadingId READ downloadingId NOTIFY downloadChanged)
    Q_PROPERTY(double progress READ progress NOTIFY downloadChanged)
    Q_PROPERTY(QString progressText READ progressText NOTIFY downloadChanged)
    Q_PROPERTY(QString downloadMessage READ downloadMessage NOTIFY downloadChanged)

public:
    explicit RecognizerSettingsModel(QObject *parent = nullptr);
    ~RecognizerSettingsModel() override;

    RecognizerModel *recognizer() const { return m_recognizer; }
    void setRecognizer(RecognizerModel *r);
    QVariantList models() const;
    QString downloadUrl() const;
    void setDownloadUrl(const QString &url);
    QString downloadingId() const;
    double progress() const;
    QString progressText() const;
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
    void modelsChanged();
    void downloadUrlChanged();
    void downloadChanged();

private:
    QPointer<RecognizerModel> m_recognizer;
    std::unique_ptr<ModelDownload> m_download;
    QString m_message;
};

} // namespace vox

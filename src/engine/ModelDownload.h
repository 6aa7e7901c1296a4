#pragma once
// Downloads one model file into a folder: resumable (what a cut connection
// left in "<file>.part" is asked for again from where it stopped, by HTTP
// Range), the size checked against what the server announced, the SHA-1
// checked where the catalogue knows it, and the file checked to be a whole
// Whisper model before it takes its final name. Cancelling keeps the part for
// a later resume. Main thread; started by the user only.
#include "engine/SentenceModelCatalog.h"

#include <QCryptographicHash>
#include <QFile>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QNetworkAccessManager;

namespace vox {

class ModelDownload : public QObject {
    Q_OBJECT
public:
    // A connection that delivers nothing this long is given up (resumable).
    static constexpr int kStallTimeoutMs = 30000;

    ModelDownload(SentenceModelInfo model, QUrl baseUrl, QString folder, QObject *parent = nullptr);
    ~ModelDownload() override;

    void start();
    void cancel();
    bool isRunning() const { return bool(m_reply); }
    qint64 received() const { return m_received; }
    qint64 total() const { return m_total; } // 0 until the server said
    QString targetPath() const;
    QString partPath() const { return targetPath() + QStringLiteral(".part"); }
    const SentenceModelInfo &model() const { return m_model; }

Q_SIGNALS:
    void progress(qint64 received, qint64 total);
    // ok: `text` is the model's path; otherwise what the user reads.
    void finished(bool ok, const QString &text);

private:
    void onHeaders();
    void onData();
    void onFinished();
    void fail(const QString &message, bool keepPart);
    // Ends the transfer; `message` is what finished() then says.
    void stop(const QString &message);
    QString verifyAndPlace();

    SentenceModelInfo m_model;
    QUrl m_base;
    QString m_folder;
    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QFile m_part;
    QCryptographicHash m_hash{QCryptographicHash::Sha1};
    qint64 m_received = 0;
    qint64 m_total = 0;
    bool m_headersSeen = false;
    bool m_cancelled = false;
    QString m_failure;
};

} // namespace vox

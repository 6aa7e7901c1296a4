#include "ModelDownload.h"

#include "platform/Diag.h"
#include "platform/WhisperModelFile.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <utility>

namespace vox {

namespace {
QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / (1 << 20), 'f', 1) + QStringLiteral(" MB");
}
} // namespace

ModelDownload::ModelDownload(SentenceModelInfo model, QUrl baseUrl, QString folder, QObject *parent)
    : QObject(parent), m_model(std::move(model)), m_base(std::move(baseUrl)), m_folder(std::move(folder)),
      m_network(new QNetworkAccessManager(this))
{
}

ModelDownload::~ModelDownload()
{
    if (m_reply) {
        m_cancelled = true;
        m_reply->abort();
    }
}

QString ModelDownload::targetPath() const
{
    return QDir(m_folder).filePath(m_model.fileName);
}

void ModelDownload::start()
{
    if (m_reply)
        return;
    m_cancelled = false;
    m_failure.clear();
    m_headersSeen = false;
    m_total = 0;
    m_hash.reset();
    if (!QDir().mkpath(m_folder)) {
        emit finished(false, QStringLiteral("无法创建模型文件夹：%1").arg(m_folder));
        return;
    }
    m_part.setFileName(partPath());
    if (!m_part.open(QIODevice::ReadWrite)) {
        emit finished(false, QStringLiteral("无法写入模型文件：%1（%2）").arg(partPath(), m_part.errorString()));
        return;
    }
    // What an earlier attempt left is hashed again and asked for no more.
    m_received = 0;
    while (!m_part.atEnd()) {
        const QByteArray chunk = m_part.read(1 << 20);
        if (chunk.isEmpty())
            break;
        m_hash.addData(chunk);
        m_received += chunk.size();
    }
    QNetworkRequest request(SentenceModelCatalog::fileUrl(m_base, m_model));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(kStallTimeoutMs);
    if (m_received > 0)
        request.setRawHeader("Range", "bytes=" + QByteArray::number(m_received) + '-');
    diag(QStringLiteral("模型下载开始：%1（已有 %2）").arg(request.url().toString(), megabytes(m_received)));
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &ModelDownload::onHeaders);
    connect(m_reply, &QNetworkReply::readyRead, this, &ModelDownload::onData);
    connect(m_reply, &QNetworkReply::finished, this, &ModelDownload::onFinished);
}

void ModelDownload::cancel()
{
    if (!m_reply)
        return;
    m_cancelled = true;
    m_reply->abort();
}

void ModelDownload::onHeaders()
{
    if (m_headersSeen || !m_reply)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 0 || (status >= 300 && status < 400))
        return; // not yet, or a redirect being followed
    m_headersSeen = true;
    const qint64 length = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if (status == 206) {
        static const QRegularExpression range(QStringLiteral("^bytes (\\d+)-(\\d+)/(\\d+)$"));
        const auto m = range.match(QString::fromLatin1(m_reply->rawHeader("Content-Range")));
        if (!m.hasMatch() || m.captured(1).toLongLong() != m_received) {
            // Not the part asked for: the next attempt starts over.
            m_part.resize(0);
            stop(QStringLiteral("模型下载失败：服务器没有按请求续传，请重新下载。"));
            return;
        }
        m_total = m.captured(3).toLongLong();
    } else if (status == 200) {
        // The whole file (the server ignored the range).
        m_part.resize(0);
        m_part.seek(0);
        m_hash.reset();
        m_received = 0;
        m_total = length;
    } else if (status == 416 && m_received > 0) {
        m_total = m_received; // the part is already whole
    } else {
        stop(QStringLiteral("模型下载失败：服务器回答 HTTP %1（%2）").arg(status).arg(m_reply->url().toString()));
        return;
    }
    m_part.seek(m_received);
    emit progress(m_received, m_total);
}

void ModelDownload::onData()
{
    if (!m_reply || !m_headersSeen || !m_part.isOpen())
        return;
    const QByteArray data = m_reply->readAll();
    if (data.isEmpty())
        return;
    if (m_part.write(data) != data.size()) {
        fail(QStringLiteral("无法写入模型文件（磁盘已满？）：%1").arg(partPath()), true);
        return;
    }
    m_hash.addData(data);
    m_received += data.size();
    emit progress(m_received, m_total);
}

void ModelDownload::onFinished()
{
    if (!m_reply)
        return;
    onData();
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    if (!m_failure.isEmpty()) {
        m_part.close();
        const QString message = std::exchange(m_failure, QString());
        diag(message);
        emit finished(false, message);
        return;
    }
    if (m_cancelled) {
        m_part.close();
        diag(QStringLiteral("模型下载已取消（保留 %1，可继续）").arg(megabytes(m_received)));
        emit finished(false, QStringLiteral("下载已取消；再次下载会从 %1 处继续。").arg(megabytes(m_received)));
        return;
    }
    if (!m_part.isOpen())
        return; // failed already
    const bool complete = m_headersSeen && m_total > 0 && m_received == m_total;
    if (!complete) {
        const QString why = reply->error() != QNetworkReply::NoError ? reply->errorString()
                                                                      : QStringLiteral("连接提前断开");
        fail(QStringLiteral("模型下载中断：%1。已下载 %2，再次下载会从此处继续。").arg(why, megabytes(m_received)), true);
        return;
    }
    m_part.close();
    const QString problem = verifyAndPlace();
    if (!problem.isEmpty()) {
        diag(QStringLiteral("模型下载未通过检查：%1").arg(problem));
        emit finished(false, problem);
        return;
    }
    diag(QStringLiteral("模型已下载：%1").arg(targetPath()));
    emit finished(true, targetPath());
}

void ModelDownload::stop(const QString &message)
{
    m_failure = message;
    m_reply->abort(); // finished() follows and says it
}

void ModelDownload::fail(const QString &message, bool keepPart)
{
    if (m_reply) {
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        reply->abort();
        reply->deleteLater();
    }
    m_part.close();
    if (!keepPart)
        QFile::remove(partPath());
    diag(message);
    emit finished(false, message);
}

QString ModelDownload::verifyAndPlace()
{
    if (!m_model.sha1Hex.isEmpty() && m_hash.result().toHex() != m_model.sha1Hex.toLower()) {
        QFile::remove(partPath());
        return QStringLiteral("下载的模型校验和不符（文件已损坏或被替换），已删除，请重新下载。");
    }
    const auto described = WhisperModelFile::inspect(partPath());
    if (!described) {
        QFile::remove(partPath());
        return QStringLiteral("下载的文件不是完整的 Whisper 模型，已删除：%1").arg(described.error().message);
    }
    QFile::remove(targetPath());
    if (!QFile::rename(partPath(), targetPath()))
        return QStringLiteral("无法保存模型文件：%1").arg(targetPath());
    return {};
}

} // namespace vox

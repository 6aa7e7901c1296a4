#include "ChatCompletions.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPointer>
#include <QStringDecoder>
#include <QTextBoundaryFinder>
#include <QTimer>
#include <cmath>

namespace vox::ChatCompletions {

namespace {

std::optional<QUrl> g_baseOverride;
std::optional<double> g_timeoutOverride;

QUrl stripSlash(QString s)
{
    while (s.endsWith(QLatin1Char('/')))
        s.chop(1);
    return QUrl(s);
}

const QUrl &envBaseUrl()
{
    static const QUrl url = [] {
        const QString env = qEnvironmentVariable("VOXLEAF_DEEPSEEK_BASE_URL").trimmed();
        return stripSlash(env.isEmpty() ? QString::fromLatin1(kDefaultBaseUrl) : env);
    }();
    return url;
}

double effectiveTimeout(const Request &r)
{
    return g_timeoutOverride ? *g_timeoutOverride : r.timeoutSeconds;
}

} // namespace

QUrl baseUrl()
{
    return g_baseOverride ? *g_baseOverride : envBaseUrl();
}

QUrl endpoint()
{
    QUrl base = baseUrl();
    return QUrl(base.toString() + QLatin1String(kPath));
}

QString model()
{
    static const QString m = [] {
        const QString env = qEnvironmentVariable("VOXLEAF_DEEPSEEK_MODEL").trimmed();
        return env.isEmpty() ? QString::fromLatin1(kDefaultModel) : env;
    }();
    return m;
}

QNetworkRequest buildNetworkRequest(const Request &r)
{
    QNetworkRequest nr(endpoint());
    nr.setRawHeader("Content-Type", "application/json");
    nr.setRawHeader("Authorization", "Bearer " + r.apiKey.toUtf8());
    nr.setTransferTimeout(int(std::lround(effectiveTimeout(r) * 1000)));
    return nr;
}

QJsonObject buildBody(const Request &r)
{
    QJsonArray messages;
    messages.append(QJsonObject{{QStringLiteral("role"), QStringLiteral("system")},
                                {QStringLiteral("content"), r.systemPrompt}});
    messages.append(QJsonObject{{QStringLiteral("role"), QStringLiteral("user")},
                                {QStringLiteral("content"), r.userMessage}});
    return QJsonObject{
        {QStringLiteral("model"), model()},
        {QStringLiteral("messages"), messages},
        {QStringLiteral("temperature"), r.temperature},
        {QStringLiteral("response_format"), QJsonObject{{QStringLiteral("type"), QStringLiteral("json_object")}}},
    };
}

QString bodyHead(const QByteArray &body, int n)
{
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = dec.decode(body);
    if (dec.hasError())
        return {};
    // Count user-perceived characters so that a cut never splits one.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    qsizetype pos = 0;
    while (count < n) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            return text;
        pos = next;
        ++count;
    }
    return text.left(pos);
}

Error decodingError(int code, const QString &detail)
{
    QString message;
    switch (code) {
    case MissingKey:
        message = QStringLiteral("未能读取数据，因为数据缺失。");
        break;
    default:
        message = QStringLiteral("未能读取数据，因为它的格式不正确。");
        break;
    }
    if (!detail.isEmpty())
        message += QStringLiteral("（") + detail + QStringLiteral("）");
    return Error{QString::fromLatin1(kDecodingDomain), code, message};
}

Result<QJsonObject> parsePayload(const QByteArray &content)
{
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(content, &pe);
    if (pe.error != QJsonParseError::NoError)
        return decodingError(NotJson, pe.errorString());
    if (!doc.isObject())
        return decodingError(WrongType, QStringLiteral("顶层不是对象"));
    return doc.object();
}

Result<QJsonArray> requireArray(const QJsonObject &o, const QString &key)
{
    const auto it = o.constFind(key);
    if (it == o.constEnd())
        return decodingError(MissingKey, key);
    if (!it->isArray())
        return decodingError(WrongType, key);
    return it->toArray();
}

Result<QString> requireString(const QJsonObject &o, const QString &key)
{
    const auto it = o.constFind(key);
    if (it == o.constEnd())
        return decodingError(MissingKey, key);
    if (!it->isString())
        return decodingError(WrongType, key);
    return it->toString();
}

Result<QStringList> requireStringArray(const QJsonObject &o, const QString &key)
{
    auto arr = requireArray(o, key);
    if (!arr)
        return arr.error();
    QStringList out;
    out.reserve(arr.value().size());
    for (const QJsonValue &v : arr.value()) {
        if (!v.isString())
            return decodingError(WrongType, key);
        out.append(v.toString());
    }
    return out;
}

Result<QByteArray> decodeReply(std::optional<int> httpStatus, const QByteArray &body, const ErrorStyle &style)
{
    if (!httpStatus)
        return Error{style.domain, style.notHttpCode, style.notHttpMessage};
    if (*httpStatus != 200) {
        return Error{style.domain, *httpStatus,
                     style.httpPrefix + QString::number(*httpStatus) + QStringLiteral("）：") +
                         bodyHead(body, style.bodyChars)};
    }
    auto envelope = parsePayload(body);
    if (!envelope)
        return envelope.error();
    auto choices = requireArray(envelope.value(), QStringLiteral("choices"));
    if (!choices)
        return choices.error();
    // Every choice must decode, as a strict decoder of the whole envelope would.
    QString firstContent;
    for (qsizetype i = 0; i < choices.value().size(); ++i) {
        const QJsonValue c = choices.value().at(i);
        if (!c.isObject())
            return decodingError(WrongType, QStringLiteral("choices"));
        const QJsonValue msg = c.toObject().value(QStringLiteral("message"));
        if (msg.isUndefined())
            return decodingError(MissingKey, QStringLiteral("message"));
        if (!msg.isObject())
            return decodingError(WrongType, QStringLiteral("message"));
        auto content = requireString(msg.toObject(), QStringLiteral("content"));
        if (!content)
            return content.error();
        if (i == 0)
            firstContent = content.value();
    }
    if (choices.value().isEmpty())
        return Error{style.domain, style.noResultCode, style.noResultMessage};
    return firstContent.toUtf8();
}

Error networkError(int qtNetworkError, bool timedOut, const QString &detail)
{
    const QString domain = QString::fromLatin1(kNetworkDomain);
    if (timedOut || qtNetworkError == QNetworkReply::TimeoutError)
        return Error{domain, TimedOut, QStringLiteral("请求超时。")};
    switch (qtNetworkError) {
    case QNetworkReply::HostNotFoundError:
        return Error{domain, CannotFindHost, QStringLiteral("未能找到使用指定主机名的服务器。")};
    case QNetworkReply::ConnectionRefusedError:
        return Error{domain, CannotConnect, QStringLiteral("未能连接到服务器。")};
    case QNetworkReply::RemoteHostClosedError:
        return Error{domain, ConnectionLost, QStringLiteral("网络连接已中断。")};
    default:
        break;
    }
    QString message = QStringLiteral("网络连接失败。");
    if (!detail.isEmpty())
        message += QStringLiteral("（") + detail + QStringLiteral("）");
    return Error{domain, OtherNetworkFailure, message};
}

QString fullDescription(const Error &e)
{
    return QStringLiteral("Error Domain=%1 Code=%2 \"%3\"").arg(e.domain).arg(e.code).arg(e.message);
}

QNetworkAccessManager &network()
{
    static QPointer<QNetworkAccessManager> nam;
    if (!nam) {
        nam = new QNetworkAccessManager(QCoreApplication::instance());
        // Local imitations and the real service are reached directly.
        nam->setProxy(QNetworkProxy::NoProxy);
    }
    return *nam;
}

void armDeadline(QNetworkReply *reply, double seconds)
{
    // The transfer time-out only catches silence; this one bounds the whole
    // call, so a server that trickles bytes cannot hold it either.
    auto *deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, reply, [reply] {
        reply->setProperty("voxTimedOut", true);
        reply->abort();
    });
    deadline->start(int(std::lround(seconds * 1000)));
}

void send(const Request &r, const ErrorStyle &style, QObject *context,
          std::function<void(Result<QByteArray>)> done)
{
    const QByteArray body = QJsonDocument(buildBody(r)).toJson(QJsonDocument::Compact);
    QNetworkReply *reply = network().post(buildNetworkRequest(r), body);
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    armDeadline(reply, effectiveTimeout(r));

    QObject *receiver = context ? context : reply;
    QObject::connect(reply, &QNetworkReply::finished, receiver, [reply, style, done = std::move(done)] {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const bool timedOut = reply->property("voxTimedOut").toBool();
        if (!status.isValid() || timedOut) {
            if (reply->error() != QNetworkReply::NoError || timedOut) {
                done(networkError(reply->error(), timedOut, reply->errorString()));
                return;
            }
            done(decodeReply(std::nullopt, {}, style));
            return;
        }
        done(decodeReply(status.toInt(), reply->readAll(), style));
    });
}

void setBaseUrlForTesting(std::optional<QUrl> url)
{
    if (url)
        g_baseOverride = stripSlash(url->toString());
    else
        g_baseOverride.reset();
}

void setTimeoutForTesting(std::optional<double> seconds)
{
    g_timeoutOverride = seconds;
}

} // namespace vox::ChatCompletions

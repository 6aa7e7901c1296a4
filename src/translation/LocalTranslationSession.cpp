#include "LocalTranslationSession.h"

#include "ChatCompletions.h"
#include "platform/Diag.h"
#include "platform/Settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <cmath>

namespace vox {

namespace {

std::optional<double> g_translateTimeoutOverride;
constexpr double kTranslateTimeout = 30;

QUrl stripSlash(QString s)
{
    s = s.trimmed();
    while (s.endsWith(QLatin1Char('/')))
        s.chop(1);
    return QUrl(s);
}

QUrl join(const QUrl &base, const char *path)
{
    return QUrl(base.toString() + QLatin1String(path));
}

struct HttpOutcome {
    std::optional<int> status;
    QByteArray body;
    std::optional<Error> transportError;
};

// One HTTP exchange on the shared network manager with a hard deadline.
void exchange(QNetworkRequest request, const QByteArray &method, const QByteArray &body, double timeoutSeconds,
              QObject *context, std::function<void(HttpOutcome)> done)
{
    request.setTransferTimeout(int(std::lround(timeoutSeconds * 1000)));
    QNetworkReply *reply = method == "GET" ? ChatCompletions::network().get(request)
                                           : ChatCompletions::network().post(request, body);
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    ChatCompletions::armDeadline(reply, timeoutSeconds);
    const bool hasContext = context != nullptr;
    QPointer<QObject> guard = context;
    QObject::connect(reply, &QNetworkReply::finished, context ? context : reply,
                     [reply, hasContext, guard, done = std::move(done)] {
                         if (hasContext && !guard)
                             return;
                         HttpOutcome out;
                         const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
                         const bool timedOut = reply->property("voxTimedOut").toBool();
                         if (status.isValid() && !timedOut) {
                             out.status = status.toInt();
                             out.body = reply->readAll();
                         } else {
                             out.transportError =
                                 ChatCompletions::networkError(reply->error(), timedOut, reply->errorString());
                         }
                         done(std::move(out));
                     });
}

Error badReply(const QString &detail)
{
    return Error{QString::fromLatin1(kLocalTranslationDomain), LocalBadReply,
                 QStringLiteral("本地翻译服务的回复无法识别（") + detail + QStringLiteral("）")};
}

Error languagePackError()
{
    return Error{QString::fromLatin1(kLocalTranslationDomain), LocalLanguagePackMissing,
                 QStringLiteral("本地翻译服务未安装英中翻译模型")};
}

// The server's {"error": "..."} message, if the body carries one.
std::optional<QString> serverErrorMessage(const QByteArray &body)
{
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    if (!doc.isObject())
        return std::nullopt;
    const QJsonValue e = doc.object().value(QStringLiteral("error"));
    if (e.isUndefined() || e.isNull())
        return std::nullopt;
    return e.isString() ? e.toString() : QString::fromUtf8(QJsonDocument(QJsonObject{{"error", e}}).toJson(QJsonDocument::Compact));
}

} // namespace

bool isLanguagePackMissing(const Error &e)
{
    return e.domain == QLatin1String(kLocalTranslationDomain) && e.code == LocalLanguagePackMissing;
}

bool localTranslationUrlFromEnvironment()
{
    return !qEnvironmentVariable("VOXLEAF_LOCAL_TRANSLATION_URL").trimmed().isEmpty();
}

QUrl localTranslationUrl()
{
    if (localTranslationUrlFromEnvironment())
        return stripSlash(qEnvironmentVariable("VOXLEAF_LOCAL_TRANSLATION_URL"));
    QString stored = settings().string(QLatin1String(Keys::LocalTranslationUrl));
    if (stored.trimmed().isEmpty())
        stored = Settings::defaultValue(QLatin1String(Keys::LocalTranslationUrl)).toString();
    return stripSlash(stored);
}

Result<LanguageProbe> parseLanguages(const QByteArray &body)
{
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isArray())
        return badReply(QStringLiteral("languages"));
    bool hasEnglish = false, hasHans = false, hasZh = false;
    std::optional<QStringList> englishTargets;
    for (const QJsonValue &v : doc.array()) {
        const QJsonObject o = v.toObject();
        const QString code = o.value(QStringLiteral("code")).toString();
        if (code == QLatin1String("en")) {
            hasEnglish = true;
            if (o.value(QStringLiteral("targets")).isArray()) {
                QStringList t;
                for (const QJsonValue &x : o.value(QStringLiteral("targets")).toArray())
                    t.append(x.toString());
                englishTargets = t;
            }
        }
        hasHans = hasHans || code == QLatin1String("zh-Hans");
        hasZh = hasZh || code == QLatin1String("zh");
    }
    LanguageProbe p;
    if (!hasEnglish)
        return p;
    // Servers that list targets per language must offer Chinese from English.
    auto reachable = [&](const QString &c) { return !englishTargets || englishTargets->contains(c); };
    if (hasHans && reachable(QStringLiteral("zh-Hans")))
        p.targetCode = QStringLiteral("zh-Hans");
    else if (hasZh && reachable(QStringLiteral("zh")))
        p.targetCode = QStringLiteral("zh");
    p.chineseAvailable = !p.targetCode.isEmpty();
    return p;
}

void probeLanguages(const QUrl &base, QObject *context, std::function<void(Result<LanguageProbe>)> done,
                    double timeoutSeconds)
{
    QNetworkRequest req(join(base, "/languages"));
    req.setRawHeader("Accept", "application/json");
    exchange(req, "GET", {}, timeoutSeconds, context, [done = std::move(done)](HttpOutcome out) {
        if (out.transportError) {
            done(*out.transportError);
            return;
        }
        if (*out.status != 200) {
            const auto msg = serverErrorMessage(out.body);
            done(Error{QString::fromLatin1(kLocalTranslationDomain), *out.status,
                       msg ? *msg : QStringLiteral("本地翻译服务返回错误（%1）").arg(*out.status)});
            return;
        }
        done(parseLanguages(out.body));
    });
}

// ---------------------------------------------------------------- session

LocalTranslationSession::LocalTranslationSession(QUrl base, QString targetCode)
    : m_base(stripSlash(base.toString()))
    , m_target(std::move(targetCode))
{
}

void LocalTranslationSession::setTimeoutForTesting(std::optional<double> seconds)
{
    g_translateTimeoutOverride = seconds;
}

void LocalTranslationSession::translate(const QStringList &texts, std::function<void(Result<QStringList>)> done)
{
    if (texts.isEmpty()) {
        done(QStringList{});
        return;
    }
    if (!m_target.isEmpty()) {
        send(texts, std::move(done));
        return;
    }
    // No Chinese when probed: ask again, the user may have installed it since.
    std::weak_ptr<LocalTranslationSession> weak = weak_from_this();
    probeLanguages(m_base, nullptr, [weak, texts, done = std::move(done)](Result<LanguageProbe> p) {
        auto self = weak.lock();
        if (!self || !p || !p.value().chineseAvailable) {
            done(languagePackError());
            return;
        }
        self->m_target = p.value().targetCode;
        self->send(texts, done);
    });
}

void LocalTranslationSession::send(const QStringList &texts, std::function<void(Result<QStringList>)> done)
{
    QNetworkRequest req(join(m_base, "/translate"));
    req.setRawHeader("Content-Type", "application/json");
    req.setRawHeader("Accept", "application/json");
    const QJsonObject body{{QStringLiteral("q"), QJsonArray::fromStringList(texts)},
                           {QStringLiteral("source"), QStringLiteral("en")},
                           {QStringLiteral("target"), m_target},
                           {QStringLiteral("format"), QStringLiteral("text")}};
    const double timeout = g_translateTimeoutOverride ? *g_translateTimeoutOverride : kTranslateTimeout;
    exchange(req, "POST", QJsonDocument(body).toJson(QJsonDocument::Compact), timeout, nullptr,
             [done = std::move(done)](HttpOutcome out) {
                 if (out.transportError) {
                     done(*out.transportError);
                     return;
                 }
                 if (const auto msg = serverErrorMessage(out.body)) {
                     const int code = *out.status == 200 ? int(LocalServerError) : *out.status;
                     done(Error{QString::fromLatin1(kLocalTranslationDomain), code, *msg});
                     return;
                 }
                 if (*out.status != 200) {
                     done(Error{QString::fromLatin1(kLocalTranslationDomain), *out.status,
                                QStringLiteral("本地翻译服务返回错误（%1）").arg(*out.status)});
                     return;
                 }
                 const QJsonDocument doc = QJsonDocument::fromJson(out.body);
                 const QJsonValue t = doc.object().value(QStringLiteral("translatedText"));
                 QStringList results;
                 if (t.isArray()) {
                     for (const QJsonValue &v : t.toArray())
                         results.append(v.toString());
                 } else if (t.isString()) {
                     results.append(t.toString());
                 } else {
                     done(badReply(QStringLiteral("translatedText")));
                     return;
                 }
                 done(std::move(results));
             });
}

// ---------------------------------------------------------------- probe

LocalTranslationProbe::LocalTranslationProbe(QObject *parent)
    : QObject(parent)
{
}

LocalTranslationProbe::~LocalTranslationProbe()
{
    m_retry.cancel();
}

void LocalTranslationProbe::start()
{
    if (m_probing)
        return;
    m_probing = true;
    m_nextDelay = kFirstRetry;
    probeNow();
}

void LocalTranslationProbe::stop()
{
    m_probing = false;
    m_retry.cancel();
    ++*m_generation;
}

void LocalTranslationProbe::probeNow()
{
    const QUrl base = m_baseOverride ? *m_baseOverride : localTranslationUrl();
    const int generation = *m_generation;
    probeLanguages(base, this, [this, base, generation](Result<LanguageProbe> p) {
        if (!m_probing || generation != *m_generation)
            return;
        if (p) {
            m_probing = false;
            m_lastError.reset();
            m_session = std::make_shared<LocalTranslationSession>(base, p.value().targetCode);
            diag(QStringLiteral("本地翻译服务就绪: %1 (%2)")
                     .arg(base.toString(), p.value().chineseAvailable ? p.value().targetCode
                                                                       : QStringLiteral("缺少中文模型")));
            Q_EMIT sessionReady(m_session);
            return;
        }
        m_lastError = p.error();
        Q_EMIT probeFailed(p.error());
        const double delay = m_nextDelay;
        m_nextDelay = std::min(m_nextDelay * 2, kMaxRetry);
        m_retry = timeSource().after(delay, this, [this, generation] {
            if (m_probing && generation == *m_generation)
                probeNow();
        });
    });
}

} // namespace vox

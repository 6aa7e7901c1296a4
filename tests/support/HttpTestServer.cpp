#include "HttpTestServer.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>

namespace vox::test {

namespace {

HttpTestReply reply(HttpTestReply::Action action, int status = 200, QByteArray body = {})
{
    HttpTestReply r;
    r.action = action;
    r.status = status;
    r.body = std::move(body);
    return r;
}

} // namespace

HttpTestReply HttpTestReply::json(int status, const QJsonObject &o)
{
    return reply(Action::Respond, status, QJsonDocument(o).toJson(QJsonDocument::Compact));
}

HttpTestReply HttpTestReply::json(int status, const QJsonArray &a)
{
    return reply(Action::Respond, status, QJsonDocument(a).toJson(QJsonDocument::Compact));
}

HttpTestReply HttpTestReply::text(int status, const QByteArray &body)
{
    HttpTestReply r = reply(Action::Respond, status, body);
    r.contentType = "text/plain; charset=utf-8";
    return r;
}

HttpTestReply HttpTestReply::hold() { return reply(Action::Hold); }
HttpTestReply HttpTestReply::never() { return reply(Action::NeverAnswer); }
HttpTestReply HttpTestReply::close() { return reply(Action::CloseConnection); }

HttpTestReply HttpTestReply::chatContent(const QString &content)
{
    QJsonObject message{{QStringLiteral("role"), QStringLiteral("assistant")},
                        {QStringLiteral("content"), content}};
    QJsonObject choice{{QStringLiteral("index"), 0},
                       {QStringLiteral("message"), message},
                       {QStringLiteral("finish_reason"), QStringLiteral("stop")}};
    return json(200, QJsonObject{{QStringLiteral("id"), QStringLiteral("test")},
                                 {QStringLiteral("object"), QStringLiteral("chat.completion")},
                                 {QStringLiteral("choices"), QJsonArray{choice}}});
}

HttpTestReply HttpTestReply::chatTranslations(const QStringList &translations)
{
    const QJsonObject payload{{QStringLiteral("translations"), QJsonArray::fromStringList(translations)}};
    return chatContent(QString::fromUtf8(QJsonDocument(payload).toJson(QJsonDocument::Compact)));
}

struct HttpTestServer::Connection {
    QTcpSocket *socket = nullptr; // owned by the QTcpServer's children / deleted on close
    QByteArray buffer;
    bool dispatched = false;
};

HttpTestServer::HttpTestServer()
    : m_server(std::make_unique<QTcpServer>())
{
    m_server->listen(QHostAddress::LocalHost, 0);
    QObject::connect(m_server.get(), &QTcpServer::newConnection, m_server.get(), [this] { onNewConnection(); });
}

HttpTestServer::~HttpTestServer()
{
    shutdown();
}

bool HttpTestServer::isListening() const
{
    return m_server && m_server->isListening();
}

QUrl HttpTestServer::url() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server ? m_server->serverPort() : 0));
}

void HttpTestServer::route(const QByteArray &method, const QString &path, Handler h)
{
    m_routes[{method.toUpper(), path}] = std::move(h);
}

void HttpTestServer::enqueue(const QByteArray &method, const QString &path, HttpTestReply reply)
{
    m_queued[{method.toUpper(), path}].push_back(std::move(reply));
}

int HttpTestServer::requestCount(const QString &path) const
{
    if (path.isEmpty())
        return int(m_requests.size());
    int n = 0;
    for (const auto &r : m_requests)
        n += r.path == path ? 1 : 0;
    return n;
}

bool HttpTestServer::release(const HttpTestReply &reply)
{
    while (!m_held.empty()) {
        auto c = m_held.front();
        m_held.pop_front();
        if (c->socket) {
            answer(c, reply);
            return true;
        }
    }
    return false;
}

void HttpTestServer::shutdown()
{
    if (m_server)
        m_server->close();
    for (auto &c : m_connections) {
        if (c->socket) {
            QTcpSocket *s = c->socket;
            c->socket = nullptr;
            s->disconnect();
            s->abort();
            s->deleteLater();
        }
    }
    m_connections.clear();
    m_held.clear();
}

void HttpTestServer::onNewConnection()
{
    while (QTcpSocket *s = m_server->nextPendingConnection()) {
        auto c = std::make_shared<Connection>();
        c->socket = s;
        m_connections.push_back(c);
        std::weak_ptr<Connection> weak = c;
        QObject::connect(s, &QTcpSocket::readyRead, s, [this, weak] {
            if (auto c = weak.lock())
                onReadyRead(c);
        });
        QObject::connect(s, &QTcpSocket::disconnected, s, [this, weak] {
            auto c = weak.lock();
            if (!c || !c->socket)
                return;
            c->socket->deleteLater();
            c->socket = nullptr;
            std::erase(m_connections, c);
        });
    }
}

void HttpTestServer::onReadyRead(const std::shared_ptr<Connection> &c)
{
    if (!c->socket)
        return;
    c->buffer += c->socket->readAll();
    if (c->dispatched)
        return;
    const qsizetype headerEnd = c->buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    const QList<QByteArray> lines = c->buffer.left(headerEnd).split('\n');
    HttpTestRequest req;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    req.method = first.value(0).toUpper();
    req.path = QString::fromUtf8(first.value(1).split('?').value(0));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            req.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    const qsizetype length = req.headers.value("content-length", "0").toLongLong();
    if (c->buffer.size() - (headerEnd + 4) < length)
        return; // body not complete yet
    req.body = c->buffer.mid(headerEnd + 4, length);
    c->dispatched = true;
    m_requests.push_back(req);
    dispatch(c, req);
}

void HttpTestServer::dispatch(const std::shared_ptr<Connection> &c, const HttpTestRequest &req)
{
    const QPair<QByteArray, QString> key{req.method, req.path};
    HttpTestReply reply;
    auto queued = m_queued.find(key);
    if (queued != m_queued.end() && !queued->second.empty()) {
        reply = queued->second.front();
        queued->second.pop_front();
    } else if (auto r = m_routes.find(key); r != m_routes.end()) {
        reply = r->second(req);
    } else {
        reply = HttpTestReply::text(404, "not found");
    }
    if (reply.action == HttpTestReply::Action::Hold)
        m_held.push_back(c);
    else if (reply.action != HttpTestReply::Action::NeverAnswer)
        answer(c, reply);
}

void HttpTestServer::answer(const std::shared_ptr<Connection> &c, const HttpTestReply &reply)
{
    QTcpSocket *s = c->socket;
    if (!s)
        return;
    if (reply.action == HttpTestReply::Action::Respond || reply.action == HttpTestReply::Action::Hold) {
        QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.status) + " Status\r\n"; // clients read the code only
        out += "Content-Type: " + reply.contentType + "\r\n";
        out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
        for (const auto &h : reply.headers)
            out += h.first + ": " + h.second + "\r\n";
        out += "Connection: close\r\n\r\n";
        out += reply.dropAfter >= 0 ? reply.body.left(reply.dropAfter) : reply.body;
        s->write(out);
        s->flush();
    }
    s->disconnectFromHost();
}

QStringList HttpTestServer::numberedSentences(const HttpTestRequest &r)
{
    const QJsonArray messages = r.json().value(QStringLiteral("messages")).toArray();
    QString user;
    for (const auto &m : messages)
        if (m.toObject().value(QStringLiteral("role")).toString() == QLatin1String("user"))
            user = m.toObject().value(QStringLiteral("content")).toString();
    static const QRegularExpression line(QStringLiteral("^\\[(\\d+)\\] (.*)$"));
    QStringList out;
    for (const QString &l : user.split(QLatin1Char('\n'))) {
        const auto m = line.match(l);
        if (m.hasMatch())
            out.append(m.captured(2));
    }
    return out;
}

void HttpTestServer::installDeepSeek(std::function<QString(const QString &)> translate)
{
    route("POST", QStringLiteral("/chat/completions"), [translate](const HttpTestRequest &r) {
        QStringList out;
        for (const QString &s : numberedSentences(r))
            out.append(translate(s));
        return HttpTestReply::chatTranslations(out);
    });
}

void HttpTestServer::installLibreTranslate(const QStringList &targets,
                                           std::function<QString(const QString &)> translate)
{
    route("GET", QStringLiteral("/languages"), [targets](const HttpTestRequest &) {
        QJsonArray english = QJsonArray::fromStringList(QStringList{QStringLiteral("en")} + targets);
        QJsonArray langs;
        langs.append(QJsonObject{{QStringLiteral("code"), QStringLiteral("en")},
                                 {QStringLiteral("name"), QStringLiteral("English")},
                                 {QStringLiteral("targets"), english}});
        for (const QString &t : targets)
            langs.append(QJsonObject{{QStringLiteral("code"), t},
                                     {QStringLiteral("name"), QStringLiteral("Chinese")},
                                     {QStringLiteral("targets"), QJsonArray{QStringLiteral("en"), t}}});
        return HttpTestReply::json(200, langs);
    });
    route("POST", QStringLiteral("/translate"), [translate](const HttpTestRequest &r) {
        const QJsonValue q = r.json().value(QStringLiteral("q"));
        if (q.isString())
            return HttpTestReply::json(200, QJsonObject{{QStringLiteral("translatedText"), translate(q.toString())}});
        QJsonArray out;
        for (const auto &v : q.toArray())
            out.append(translate(v.toString()));
        return HttpTestReply::json(200, QJsonObject{{QStringLiteral("translatedText"), out}});
    });
}

} // namespace vox::test

#pragma once
// A small scriptable HTTP/1.1 server on 127.0.0.1 for tests of network code:
// it stands in for DeepSeek's chat-completions service and a local
// LibreTranslate server, and records every request it receives.
//
// A request is answered by the first reply queued for its method and path,
// else by the route's handler, else with 404. A reply can also be held until
// the test releases it, never be answered, or be a connection closed without
// a response. Every answer carries "Connection: close". The server runs on
// the thread that made it: replies go out while the test processes events
// (vox::test::waitFor, VirtualTime).
#include "TestEnv.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace vox::test {

struct HttpTestRequest {
    QByteArray method;                  // "GET", "POST"
    QString path;                       // without the query, e.g. "/translate"
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;

    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    // The content of a chat-completions request's message `index` (0 the
    // system prompt, 1 the user message).
    QString message(int index) const
    {
        return json()[QStringLiteral("messages")].toArray()[index].toObject()[QStringLiteral("content")].toString();
    }
};

struct HttpTestReply {
    enum class Action {
        Respond,         // send status and body
        Hold,            // keep the request open until release()
        NeverAnswer,     // keep the connection open and silent
        CloseConnection, // close without any response
    };
    Action action = Action::Respond;
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    QList<QPair<QByteArray, QByteArray>> headers; // extra headers
    // When set, the connection drops after this many bytes of the body
    // (Content-Length still announces the whole): a download cut short.
    int dropAfter = -1;

    static HttpTestReply json(int status, const QJsonObject &o);
    static HttpTestReply json(int status, const QJsonArray &a);
    static HttpTestReply text(int status, const QByteArray &body);
    static HttpTestReply hold();
    static HttpTestReply never();
    static HttpTestReply close();
    // A chat-completions envelope whose first choice's content is `content`.
    static HttpTestReply chatContent(const QString &content);
    // A chat-completions envelope with {"translations": [...]} as content.
    static HttpTestReply chatTranslations(const QStringList &translations);
};

class HttpTestServer {
public:
    using Handler = std::function<HttpTestReply(const HttpTestRequest &)>;

    HttpTestServer(); // listens on 127.0.0.1, a free port
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer &) = delete;
    HttpTestServer &operator=(const HttpTestServer &) = delete;

    bool isListening() const;
    QUrl url() const; // "http://127.0.0.1:<port>"

    void route(const QByteArray &method, const QString &path, Handler h);
    void enqueue(const QByteArray &method, const QString &path, HttpTestReply reply);

    // Every request received so far, in order of arrival.
    const std::vector<HttpTestRequest> &requests() const { return m_requests; }
    int requestCount(const QString &path = {}) const;
    // Processes events until `n` requests have arrived (wall-clock limit).
    bool waitForRequests(int n, int timeoutMs = 5000)
    {
        return waitFor([&] { return int(m_requests.size()) >= n; }, timeoutMs);
    }

    // Held requests: answered later, oldest first.
    bool release(const HttpTestReply &reply);

    // Stops listening and drops every open connection.
    void shutdown();

    // DeepSeek imitation on POST /chat/completions: each "[n] sentence" line
    // of the user message becomes translate(sentence).
    void installDeepSeek(std::function<QString(const QString &)> translate);
    // LibreTranslate imitation: GET /languages lists English with `targets`
    // (e.g. {"zh-Hans"}, {"zh"}, {}), POST /translate maps every "q" item
    // through translate().
    void installLibreTranslate(const QStringList &targets,
                               std::function<QString(const QString &)> translate);

    // The numbered sentences of a chat-completions request's user message.
    static QStringList numberedSentences(const HttpTestRequest &r);

private:
    struct Connection;
    void onNewConnection();
    void onReadyRead(const std::shared_ptr<Connection> &c);
    void answer(const std::shared_ptr<Connection> &c, const HttpTestReply &reply);
    void dispatch(const std::shared_ptr<Connection> &c, const HttpTestRequest &req);

    std::unique_ptr<QTcpServer> m_server;
    std::vector<std::shared_ptr<Connection>> m_connections;
    std::map<QPair<QByteArray, QString>, Handler> m_routes;
    std::map<QPair<QByteArray, QString>, std::deque<HttpTestReply>> m_queued;
    std::vector<HttpTestRequest> m_requests;
    std::deque<std::shared_ptr<Connection>> m_held;
};

} // namespace vox::test

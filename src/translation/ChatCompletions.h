#pragma once
// The DeepSeek chat-completions wire format, shared by every DeepSeek call of
// the application (live translation, live summary, course review,
// re-translation). Each caller states only what differs: its prompts, its
// temperature, its time-out and the wording of its errors.
//
// Request: POST <base>/chat/completions with
//   "Content-Type: application/json", "Authorization: Bearer <key>",
//   body {"model": model(), "messages": [{"role":"system",...},
//         {"role":"user",...}], "temperature": t,
//         "response_format": {"type": "json_object"}}.
// Reply: not an HTTP response  -> Error{domain, notHttpCode, notHttpMessage}
//        HTTP status != 200     -> Error{domain, status,
//                                        httpPrefix + status + "）：" + first
//                                        bodyChars characters of the body}
//        envelope not decodable -> decoding error (kDecodingDomain)
//        "choices": []          -> Error{domain, noResultCode, noResultMessage}
//        otherwise              -> the first choice's message content (UTF-8
//                                  bytes); the caller decodes its own payload
//                                  with parsePayload() and the helpers below.
// Transport failures (time-out, refused or dropped connection) are errors of
// kNetworkDomain with a Chinese description.
//
// Base address: "https://api.deepseek.com", or $VOXLEAF_DEEPSEEK_BASE_URL;
// model: "deepseek-v4-flash", or $VOXLEAF_DEEPSEEK_MODEL. Both are read once.
// Everything here runs on the main thread.
#include "platform/Error.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QObject;

namespace vox::ChatCompletions {

inline constexpr auto kDefaultBaseUrl = "https://api.deepseek.com";
inline constexpr auto kDefaultModel = "deepseek-v4-flash";
inline constexpr auto kPath = "/chat/completions";
inline constexpr auto kNetworkDomain = "Network";
inline constexpr auto kDecodingDomain = "JSONDecoding";

// Codes of kNetworkDomain (the values the platform's URL loading uses).
enum NetworkCode {
    TimedOut = -1001,
    CannotFindHost = -1003,
    CannotConnect = -1004,
    ConnectionLost = -1005,
    OtherNetworkFailure = -1009,
};
// Codes of kDecodingDomain.
enum DecodingCode { NotJson = 1, MissingKey = 2, WrongType = 3 };

// How one kind of call words its own errors.
struct ErrorStyle {
    QString domain;            // "DeepSeekTranslation", "DeepSeekReview", "DeepSeek"
    int notHttpCode = -2;      // reply is not an HTTP response
    QString notHttpMessage = QStringLiteral("网络请求失败");
    int noResultCode = -3;     // no choices / content not UTF-8
    QString noResultMessage;   // "未收到有效翻译结果", ...
    QString httpPrefix;        // "DeepSeek 翻译 API 错误（"
    int bodyChars = 160;       // how much of a failed reply's body is quoted
};

struct Request {
    QString systemPrompt;
    QString userMessage;
    QString apiKey;
    double temperature = 0.3;
    double timeoutSeconds = 45;
};

// $VOXLEAF_DEEPSEEK_BASE_URL or the public address, without a trailing "/".
QUrl baseUrl();
// baseUrl() + "/chat/completions".
QUrl endpoint();
// $VOXLEAF_DEEPSEEK_MODEL or "deepseek-v4-flash".
QString model();

// The network request: URL, headers and transfer time-out.
QNetworkRequest buildNetworkRequest(const Request &r);
// The JSON body (model, messages, temperature, response_format).
QJsonObject buildBody(const Request &r);

// Interprets a finished reply. `httpStatus` is empty when the reply was not
// an HTTP response. Pure; the network path and the tests share it.
Result<QByteArray> decodeReply(std::optional<int> httpStatus, const QByteArray &body, const ErrorStyle &style);

// Sends one request with the process-wide network access manager and calls
// `done` once on the main thread with the first choice's content. When
// `context` is destroyed first, `done` is never called. A request that gets
// no complete answer within its time-out is aborted (TimedOut).
void send(const Request &r, const ErrorStyle &style, QObject *context,
          std::function<void(Result<QByteArray>)> done);

// send(), then `decode` on the content: `done` gets the decoded payload or
// the first error.
template <typename T, typename Decode>
void sendDecoded(const Request &r, const ErrorStyle &style, QObject *context, Decode decode,
                 std::function<void(Result<T>)> done)
{
    send(r, style, context, [decode = std::move(decode), done = std::move(done)](Result<QByteArray> content) {
        if (!content)
            done(content.error());
        else
            done(decode(content.value()));
    });
}

// Helpers for decoding the content payload strictly (every listed key
// required, other keys ignored).
Result<QJsonObject> parsePayload(const QByteArray &content);
Result<QJsonArray> requireArray(const QJsonObject &o, const QString &key);
Result<QString> requireString(const QJsonObject &o, const QString &key);
Result<QStringList> requireStringArray(const QJsonObject &o, const QString &key);
Error decodingError(int code, const QString &detail);

// A transport error from a Qt network error code.
Error networkError(int qtNetworkError, bool timedOut, const QString &detail);
// The error's full textual description for the diagnostics log:
// `Error Domain=<domain> Code=<code> "<message>"`.
QString fullDescription(const Error &e);
// The first `n` user-perceived characters of `body` read as UTF-8; empty when
// the bytes are not valid UTF-8.
QString bodyHead(const QByteArray &body, int n);

// Aborts `reply` after `seconds` in all, marking it timed out (property
// "voxTimedOut"), however slowly its bytes keep arriving.
void armDeadline(QNetworkReply *reply, double seconds);
// The process-wide network access manager (created on first use).
QNetworkAccessManager &network();

// Test hooks: point every call at another base address / replace every
// request's time-out (nullopt restores the normal behaviour).
void setBaseUrlForTesting(std::optional<QUrl> url);
void setTimeoutForTesting(std::optional<double> seconds);

} // namespace vox::ChatCompletions

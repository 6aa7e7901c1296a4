#pragma once
// The "system" translation engine on Linux: a translation server speaking the
// LibreTranslate API on the user's own machine (for example
// `libretranslate --load-only en,zh`, listening on 127.0.0.1:5000), so no text
// leaves the machine.
//
// LocalTranslationSession translates a batch with one POST /translate
// ({"q": [...], "source": "en", "target": <zh code>, "format": "text"}) and
// reads "translatedText" in order. LocalTranslationProbe asks GET /languages
// (short time-out, retried with back-off through the scheduler, never
// blocking) and hands out a session once the server answers: Chinese is
// "zh-Hans" when listed, otherwise "zh". A server without Chinese still gives
// a session, whose calls fail with the language-pack error until the zh model
// is installed.
#include "platform/Error.h"
#include "platform/Time.h"
#include "platform/TranslationSession.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

namespace vox {

inline constexpr auto kLocalTranslationDomain = "LocalTranslation";

enum LocalTranslationCode {
    LocalLanguagePackMissing = 1, // the server has no English→Chinese model
    LocalBadReply = 2,            // the reply is not what the API promises
    LocalServerError = 3,         // the server answered {"error": ...} with status 200
};

// True for the error a server without the Chinese model produces.
bool isLanguagePackMissing(const Error &e);

// $VOXLEAF_LOCAL_TRANSLATION_URL, else the stored "local_translation_url"
// (default "http://127.0.0.1:5000"), without a trailing "/".
QUrl localTranslationUrl();
// True when $VOXLEAF_LOCAL_TRANSLATION_URL sets the address (the stored one
// is then not used).
bool localTranslationUrlFromEnvironment();

// What GET /languages says about English→Chinese.
struct LanguageProbe {
    bool chineseAvailable = false;
    QString targetCode; // "zh-Hans" or "zh" when available
};
// Reads a /languages reply body.
Result<LanguageProbe> parseLanguages(const QByteArray &body);
// One GET /languages with a short time-out.
void probeLanguages(const QUrl &base, QObject *context, std::function<void(Result<LanguageProbe>)> done,
                    double timeoutSeconds = 3);

class LocalTranslationSession final : public TranslationSession,
                                      public std::enable_shared_from_this<LocalTranslationSession> {
public:
    // `targetCode` empty: the server had no Chinese when probed.
    LocalTranslationSession(QUrl base, QString targetCode);

    void translate(const QStringList &texts, std::function<void(Result<QStringList>)> done) override;

    QUrl baseUrl() const { return m_base; }
    QString targetCode() const { return m_target; }
    bool chineseAvailable() const { return !m_target.isEmpty(); }

    // Time-out of one /translate call (a batch on a CPU-only server may take
    // a few seconds; a hung server must not hold the queue for ever).
    static void setTimeoutForTesting(std::optional<double> seconds);

private:
    void send(const QStringList &texts, std::function<void(Result<QStringList>)> done);

    QUrl m_base;
    QString m_target;
};

// Looks for the local server until it answers, then offers a session.
class LocalTranslationProbe : public QObject {
    Q_OBJECT
public:
    explicit LocalTranslationProbe(QObject *parent = nullptr);
    ~LocalTranslationProbe() override;

    // Starts probing now (no effect while a probe cycle is running). Failed
    // probes are retried after 1, 2, 4 ... at most 60 s.
    void start();
    void stop();
    bool isProbing() const { return m_probing; }
    // The last session found (nullptr before).
    std::shared_ptr<LocalTranslationSession> session() const { return m_session; }
    // Last failure of a probe, for the settings window ("not answering").
    std::optional<Error> lastError() const { return m_lastError; }

    // Overrides the address (normally localTranslationUrl() at each probe).
    void setBaseUrl(std::optional<QUrl> url) { m_baseOverride = std::move(url); }

    static constexpr double kFirstRetry = 1.0;
    static constexpr double kMaxRetry = 60.0;

Q_SIGNALS:
    void sessionReady(std::shared_ptr<vox::TranslationSession> session);
    void probeFailed(const vox::Error &error);

private:
    void probeNow();

    bool m_probing = false;
    double m_nextDelay = kFirstRetry;
    TaskHandle m_retry;
    std::optional<QUrl> m_baseOverride;
    std::shared_ptr<LocalTranslationSession> m_session;
    std::optional<Error> m_lastError;
    std::shared_ptr<int> m_generation = std::make_shared<int>(0);
};

} // namespace vox

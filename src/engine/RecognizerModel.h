#pragma once
// Which model decodes finished sentences again: the stored choice
// ("whisper_model_path"), loaded off the main thread and handed to the
// engine. A file that cannot be used is said in `status` and the engine keeps
// the live recognizer's text.
#include "platform/Platform.h"

#include <QObject>
#include <QPointer>
#include <QString>

namespace vox {

class SpeechEngine;

class RecognizerModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString modelPath READ modelPath NOTIFY changed)
    // What the user reads about the model: loading, loaded, or why not.
    Q_PROPERTY(QString status READ status NOTIFY changed)
    Q_PROPERTY(bool loading READ loading NOTIFY changed)
    Q_PROPERTY(bool failed READ failed NOTIFY changed)
    Q_PROPERTY(bool available READ available CONSTANT)

public:
    RecognizerModel(SpeechEngine &engine, Platform platform, QObject *parent = nullptr);
    ~RecognizerModel() override;

    QString modelPath() const { return m_path; }
    QString status() const { return m_status; }
    bool loading() const { return m_loading; }
    bool failed() const { return m_failed; }
    // False when this build has no second recognizer.
    bool available() const { return bool(m_platform.sentenceDecoders); }

    // The stored model, if any (at start-up).
    void loadStored();
    // Stores `path` as the model and loads it.
    Q_INVOKABLE void use(const QString &path);
    // Back to the live recognizer alone.
    Q_INVOKABLE void clear();

Q_SIGNALS:
    void changed();

private:
    void load(const QString &path);
    void set(QString status, bool loading, bool failed);

    QPointer<SpeechEngine> m_engine;
    Platform m_platform;
    QString m_path;
    QString m_status;
    bool m_loading = false;
    bool m_failed = false;
    quint64 m_attempt = 0;
};

} // namespace vox

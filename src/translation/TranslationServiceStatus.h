#pragma once
// What the main window says about the translation service in use, as soon as
// it is known: the local server answering (with or without its Chinese
// model) or not answering at its address, the online service with or
// without a key. Fed by the pipeline that owns it (engine choice, sessions,
// outcomes of translations) and by the local server's probe.
#include "platform/Error.h"

#include <QObject>
#include <QString>
#include <QUrl>

namespace vox {

class TranslationServiceStatus : public QObject {
    Q_OBJECT
    Q_PROPERTY(State state READ state NOTIFY changed)
    Q_PROPERTY(QString text READ text NOTIFY changed)
    // True when the state asks the user to do something in the settings.
    Q_PROPERTY(bool needsAttention READ needsAttention NOTIFY changed)
public:
    enum State { Checking, Connected, WithoutChinese, NotAnswering, Online, NoApiKey };
    Q_ENUM(State)

    explicit TranslationServiceStatus(QObject *parent = nullptr);

    State state() const { return m_state; }
    QString text() const { return m_text; }
    bool needsAttention() const;

    // The texts, shared with the settings window's own check.
    static QString checkingText();
    static QString connectedText(const QUrl &address);
    static QString withoutChineseText(const QUrl &address);
    static QString notAnsweringText(const QUrl &address, const QString &why = {});

    // The online service is chosen (or not); its key is read from the settings.
    void setOnline(bool online);
    // The local server answered its probe.
    void localAnswered(const QUrl &address, bool chineseAvailable);
    // The local server did not answer its probe, or a translation.
    void localNotAnswering(const QUrl &address);
    // A translation landed through the local server.
    void localTranslated(const QUrl &address);

Q_SIGNALS:
    void changed();

private:
    void refresh();
    void set(State state, const QString &text);

    bool m_online = false;
    State m_localState = Checking;
    QUrl m_localAddress;
    State m_state = Checking;
    QString m_text;
};

} // namespace vox

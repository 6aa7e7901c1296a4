#pragma once
// The translation settings sheet: visible translation count, course subject,
// DeepSeek key, the local translation service address and the glossary
// (add with conflict warnings, suggestions from the current lecture, delete,
// clear, Markdown import). Values are written to the store as they change;
// there is no save step. The engine choice is bound straight to the engine's
// "translationEngine" property by the view and never stored.
#include "engine/SpeechEngine.h"
#include "glossary/GlossaryManager.h"
#include "ui/GlossaryCandidateList.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QtQml/qqmlregistration.h>
#include <memory>

namespace vox {

class TranslationSettingsModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    // The speech engine whose sentences suggest glossary candidates.
    Q_PROPERTY(vox::SpeechEngine *engine READ engine WRITE setEngine NOTIFY engineChanged)
    Q_PROPERTY(vox::GlossaryManager *glossary READ glossary WRITE setGlossary NOTIFY glossaryChanged)

    Q_PROPERTY(int visibleTranslationCount READ visibleTranslationCount WRITE setVisibleTranslationCount NOTIFY
                   visibleTranslationCountChanged)
    Q_PROPERTY(QString subject READ subject WRITE setSubject NOTIFY subjectChanged)
    Q_PROPERTY(QString apiKey READ apiKey WRITE setApiKey NOTIFY apiKeyChanged)

    Q_PROPERTY(QString newSource READ newSource WRITE setNewSource NOTIFY newTermChanged)
    Q_PROPERTY(QString newTarget READ newTarget WRITE setNewTarget NOTIFY newTermChanged)
    Q_PROPERTY(bool canAdd READ canAdd NOTIFY newTermChanged)
    Q_PROPERTY(QString conflictMessage READ conflictMessage NOTIFY conflictMessageChanged)
    Q_PROPERTY(QString importMessage READ importMessage NOTIFY importMessageChanged)

    // The terms are the glossary's rows.
    Q_PROPERTY(int termCount READ termCount NOTIFY termsChanged)
    // At most 8, from the engine's translations.
    Q_PROPERTY(vox::GlossaryCandidateList *candidates READ candidates CONSTANT)

    Q_PROPERTY(QString localTranslationUrl READ localTranslationUrl WRITE setLocalTranslationUrl NOTIFY
                   localTranslationUrlChanged)
    // The address comes from the environment: shown, not editable.
    Q_PROPERTY(bool localUrlFromEnvironment READ localUrlFromEnvironment CONSTANT)
    // Where the glossary import starts looking.
    Q_PROPERTY(QUrl homeFolder READ homeFolder CONSTANT)
    Q_PROPERTY(ServiceState serviceState READ serviceState NOTIFY serviceStateChanged)
    Q_PROPERTY(QString serviceStatus READ serviceStatus NOTIFY serviceStateChanged)

public:
    // Checking, answering with Chinese, answering without Chinese, not answering.
    enum ServiceState { Checking, Answering, AnsweringWithoutChinese, NotAnswering };
    Q_ENUM(ServiceState)
    static constexpr int kCandidateLimit = 8;

    // Reads the key and the subject from the store and clamps the stored
    // visible count to 1…100 (writing it back).
    explicit TranslationSettingsModel(QObject *parent = nullptr);
    ~TranslationSettingsModel() override;

    SpeechEngine *engine() const { return m_engine; }
    void setEngine(SpeechEngine *engine);
    GlossaryManager *glossary() const { return m_glossary; }
    void setGlossary(GlossaryManager *glossary);

    int visibleTranslationCount() const;
    void setVisibleTranslationCount(int n);
    QString subject() const { return m_subject; }
    void setSubject(const QString &s);
    QString apiKey() const { return m_apiKey; }
    void setApiKey(const QString &k);

    QString newSource() const { return m_newSource; }
    void setNewSource(const QString &s);
    QString newTarget() const { return m_newTarget; }
    void setNewTarget(const QString &s);
    bool canAdd() const;
    QString conflictMessage() const { return m_conflictMessage; }
    QString importMessage() const { return m_importMessage; }

    int termCount() const;
    GlossaryCandidateList *candidates() { return &m_candidates; }

    QString localTranslationUrl() const;
    bool localUrlFromEnvironment() const;
    static QUrl homeFolder();
    void setLocalTranslationUrl(const QString &url);
    ServiceState serviceState() const { return m_serviceState; }
    QString serviceStatus() const { return m_serviceStatus; }

    Q_INVOKABLE void addTerm();
    // A suggestion chip: fills the English field and clears the warning.
    Q_INVOKABLE void chooseCandidate(const QString &word);
    Q_INVOKABLE void removeTerm(const QString &id);
    Q_INVOKABLE void clearAll();
    // The file chosen in the import dialog; an empty URL (cancelled) does nothing.
    Q_INVOKABLE void importGlossary(const QUrl &file);
    // Asks the local translation service whether it answers.
    Q_INVOKABLE void checkService();

    // The English sources of the engine's translations.
    QStringList entrySources() const;

Q_SIGNALS:
    void engineChanged();
    void glossaryChanged();
    void visibleTranslationCountChanged();
    void subjectChanged();
    void apiKeyChanged();
    void newTermChanged();
    void conflictMessageChanged();
    void importMessageChanged();
    void termsChanged();
    void localTranslationUrlChanged();
    void serviceStateChanged();

private:
    void refreshCandidates();
    void setConflictMessage(const QString &m);
    void setServiceState(ServiceState state, const QString &text);
    void onSettingChanged(const QString &key);

    QPointer<SpeechEngine> m_engine;
    QPointer<GlossaryManager> m_glossary;
    QMetaObject::Connection m_engineConnection;
    QMetaObject::Connection m_glossaryConnection;
    QString m_subject;
    QString m_apiKey;
    QString m_newSource;
    QString m_newTarget;
    QString m_conflictMessage;
    QString m_importMessage;
    GlossaryCandidateList m_candidates{this};
    ServiceState m_serviceState = Checking;
    QString m_serviceStatus;
    std::shared_ptr<int> m_probeGeneration = std::make_shared<int>(0);
};

} // namespace vox

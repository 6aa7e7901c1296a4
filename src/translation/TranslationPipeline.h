#pragma once
// Live translation of recognized sentences: one batch per hand-over, batches
// strictly in submission order, cache first, then the chosen engine with up to
// three attempts, placeholders when every attempt failed. Lives inside the
// speech engine and runs on the main thread; the engine forwards the
// published values below as its own properties.
#include "course/CourseRecords.h"
#include "platform/TranslationSession.h"
#include "translation/RecognitionChunk.h"
#include "translation/TranscriptModel.h"
#include "translation/TranslationServiceStatus.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <memory>
#include <optional>
#include <vector>

namespace vox {

class GlossaryManager;

enum class TranslationEngine { System, DeepSeek };
QString rawValue(TranslationEngine e);                       // "system" / "deepseek"
std::optional<TranslationEngine> translationEngineFromRaw(const QString &raw);

// What a warning of the pipeline stands for, so that it can go when its
// cause ends.
enum class PipelineNotice {
    Translation, // translating failed; ends when a translation lands or a session is ready
    DeepSeek,    // the online service failed; ends when it answers or is no longer chosen
    ApiKey,      // online translation without a key; ends when one is stored
};

// What the pipeline reads from and writes to the engine that owns it.
class PipelineHost {
public:
    virtual ~PipelineHost() = default;
    virtual void raiseNotice(PipelineNotice cause, const QString &message) = 0;
    virtual void settleNotice(PipelineNotice cause) = 0;
    // Recording time at which the current recognition request started.
    virtual double requestStartRecordingTime() const = 0;
    virtual void clearPendingSince() = 0;
    // Rebuilds the live English text (assembler + in-flight batches).
    virtual void refreshRecognizedText() = 0;
    virtual void logRecognizedTextBeforeClear(const QString &reason) = 0;
};

struct InFlightBatch {
    QUuid id;
    QString sourceText;
    Date submittedAt;
};

class TranslationPipeline : public QObject {
    Q_OBJECT
public:
    explicit TranslationPipeline(PipelineHost &host, QObject *parent = nullptr);
    ~TranslationPipeline() override;

    void submitChunks(const std::vector<RecognitionChunk> &chunks, const QString &reason);

    // The landed sentences, oldest first (the newest 10,000 are kept).
    const TranscriptEntries &translationEntries() const;
    // The same as rows for the windows.
    TranscriptModel *transcript() const;
    const QString &translatedText() const;
    bool isTranslating() const;
    TranslationEngine translationEngine() const;
    void setTranslationEngine(TranslationEngine e);
    const std::vector<InFlightBatch> &inFlightBatches() const;
    void clearInFlightBatches();

    // What the main window says about the service in use.
    TranslationServiceStatus &serviceStatus();

    void setGlossaryManager(GlossaryManager *g);
    // The on-device ("system") session; nullptr while none is ready.
    void setTranslationSession(std::shared_ptr<TranslationSession> s);
    std::shared_ptr<TranslationSession> translationSession() const;

    // Keeps every sentence as an entry with an empty translation instead of
    // translating it (transcription only).
    void setRecordOnly(bool on);

    // True when every submitted batch has ended (landed or given up).
    bool isIdle() const;
    // The sentences submitted but not landed yet, in spoken order, each with
    // the placeholder translation: what a course keeps of them if the process
    // ends before they land.
    std::vector<TranslationEntry> waitingSentences() const;
    // Lands every waiting sentence at once with the placeholder translation
    // and stops waiting for the batch under way (its late answer is ignored).
    void landWaitingNow();

    // The translation of a sentence that could not be translated.
    static const QString &placeholder();

    // Sentences kept with the placeholder are translated again, oldest
    // first, one at a time and only while no new batch waits, after a
    // translation lands again, when a session becomes ready and every
    // kRetryInterval seconds while any is left.
    static constexpr double kRetryInterval = 30.0;
    // Number of landed entries still holding the placeholder and waiting to
    // be translated again.
    qsizetype placeholdersToRetry() const;

Q_SIGNALS:
    void translationEntriesChanged();
    void translatedTextChanged();
    void isTranslatingChanged();
    void translationEngineChanged();
    // Emitted once per appended entry (the headless tool prints them).
    void entryAppended(const vox::TranslationEntry &entry);
    // A landed entry got a new translation (a placeholder translated again):
    // `index` is its row in translationEntries().
    void entryReplaced(const vox::TranslationEntry &entry, qsizetype index);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace vox

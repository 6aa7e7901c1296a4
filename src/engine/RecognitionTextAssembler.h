#pragma once
// Keeps the latest transcription of one recognition request and cuts the words
// not yet handed on into sentence chunks. A plain value: the engine owns one per
// request and resets it (assigns a default-constructed value) when the request
// ends.
//
// Word ranges are UTF-16 offsets into the formatted text. They come from the
// recognizer and are not trusted: ranges outside the text, negative or huge
// values and ranges that split a surrogate pair are all handled without fault.
#include "translation/RecognitionChunk.h"

#include <QString>
#include <optional>
#include <vector>

namespace vox {

// A word's place in the formatted text, and when it was spoken.
struct TextRange {
    qint64 location = 0; // UTF-16 units
    qint64 length = 0;
    bool operator==(const TextRange &) const = default;
};

struct RecognitionWord {
    TextRange range;
    double timestamp = 0; // seconds from the request's first audio; 0 = no time yet
    double duration = 0;
    bool operator==(const RecognitionWord &) const = default;
};

class RecognitionTextAssembler {
public:
    // Installs a new transcription. With `salvageRevoked`, words that were
    // waiting and are now revoked by the recognizer are handed on first; the
    // returned chunks are those rescued words (usually none).
    std::vector<RecognitionChunk> update(const QString &formattedText, std::vector<RecognitionWord> words,
                                         bool salvageRevoked);

    // Every complete sentence after the cursor, and with `includeIncomplete`
    // also the unfinished tail. Advances the cursor past what was handed on.
    std::vector<RecognitionChunk> take(bool includeIncomplete);

    // Text from the first word after the cursor to the end of the transcription.
    QString pendingText() const { return text(m_emittedWordCount, std::nullopt); }
    // Text from the first word to the end of the transcription.
    QString fullText() const { return text(0, std::nullopt); }

    const QString &formattedText() const { return m_formattedText; }
    const std::vector<RecognitionWord> &words() const { return m_words; }
    qsizetype emittedWordCount() const { return m_emittedWordCount; }
    bool isEmpty() const { return m_formattedText.isEmpty() && m_words.empty() && m_emittedWordCount == 0; }
    void reset() { *this = RecognitionTextAssembler(); }

    // True when `c` (one whole character) ends a sentence.
    static bool isSentenceTerminator(QStringView c);

private:
    QString text(qsizetype from, std::optional<qsizetype> through) const;
    void append(std::vector<RecognitionChunk> &chunks, qsizetype from, qsizetype through) const;
    bool isRevocation(const QString &newText, const std::vector<RecognitionWord> &newWords) const;
    static QString normalizedWord(qsizetype at, const QString &text, const std::vector<RecognitionWord> &words);
    std::optional<double> startTime(qsizetype wordIndex) const;

    QString m_formattedText;
    std::vector<RecognitionWord> m_words;
    qsizetype m_emittedWordCount = 0;
};

} // namespace vox

#pragma once
// A request's transcript as the decoder builds it: the words of the
// utterances ended so far (with automatic punctuation each is a sentence:
// first word capitalised, "." after the last) followed by the current
// utterance's newest hypothesis. Decoder thread only.
#include "platform/SpeechRecognizer.h"

#include <QString>
#include <vector>

struct ps_decoder_s;

namespace vox {

namespace sphinx {
// "<s>", "</s>", "<sil>", "[NOISE]", "++UH++": not words.
bool isFiller(const QString &word);
// "read(2)" → "read".
QString stripAlternate(const QString &word);

// A word of a hypothesis, in 10 ms frames from the stream's start.
struct Word {
    QString text;
    int startFrame = 0;
    int endFrame = 0;
    bool operator==(const Word &) const = default;
};

// The words of the decoder's current hypothesis (fillers dropped).
std::vector<Word> hypothesisWords(ps_decoder_s *ps);
} // namespace sphinx

class SphinxTranscript {
public:
    SphinxTranscript() = default;
    explicit SphinxTranscript(bool punctuate);

    // The current utterance's newest hypothesis.
    const std::vector<sphinx::Word> &live() const { return m_live; }
    void setLive(std::vector<sphinx::Word> words) { m_live = std::move(words); }
    // The utterance ended with `words`: they join the transcript, a sentence
    // with its period when `sentenceEnd` (and punctuation is on).
    void endUtterance(const std::vector<sphinx::Word> &words, bool sentenceEnd);

    // Everything so far, the live hypothesis included.
    RecognitionResult partialResult() const { return assemble(m_live, false); }
    // The ended utterances only, as the final result.
    RecognitionResult finalResult() const { return assemble({}, true); }
    // True when `r` differs from the partial result delivered last (or none
    // was); remembers `r` as delivered.
    bool markDelivered(const RecognitionResult &r);

private:
    std::vector<sphinx::Word> formatted(const std::vector<sphinx::Word> &raw, bool capitalizeFirst, bool period) const;
    RecognitionResult assemble(const std::vector<sphinx::Word> &live, bool isFinal) const;

    bool m_punctuate = false;
    bool m_capitalizeNext = false;
    std::vector<sphinx::Word> m_fixed; // ended utterances, formatted
    std::vector<sphinx::Word> m_live;  // current utterance (raw)
    bool m_deliveredAny = false;
    QString m_lastText;
    std::vector<RecognitionSegment> m_lastSegments;
};

} // namespace vox

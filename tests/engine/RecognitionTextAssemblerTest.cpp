#include "engine/RecognitionTextAssembler.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <limits>

using namespace vox;

namespace {

// Words located in `text` one after another, with time stamps 1, 2, 3, ...
// unless given.
std::vector<RecognitionWord> wordsOf(const QString &text, const QStringList &tokens, std::vector<double> times = {})
{
    std::vector<RecognitionWord> out;
    qsizetype from = 0;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const qsizetype at = text.indexOf(tokens[i], from);
        EXPECT_GE(at, 0) << tokens[i].toStdString();
        from = at + tokens[i].size();
        const double t = size_t(i) < times.size() ? times[size_t(i)] : double(i + 1);
        out.push_back(RecognitionWord{TextRange{at, tokens[i].size()}, t, 0.2});
    }
    return out;
}

RecognitionTextAssembler assembled(const QString &text, const QStringList &tokens, std::vector<double> times = {})
{
    RecognitionTextAssembler a;
    a.update(text, wordsOf(text, tokens, std::move(times)), false);
    return a;
}

QStringList texts(const std::vector<RecognitionChunk> &chunks)
{
    QStringList out;
    for (const auto &c : chunks)
        out << c.text;
    return out;
}

} // namespace

TEST(RecognitionTextAssembler, TakesCompleteSentencesThenTheTail)
{
    const QString t = QStringLiteral("Hello world. How are");
    auto a = assembled(t, {"Hello", "world.", "How", "are"});
    EXPECT_EQ(texts(a.take(false)), QStringList{"Hello world."});
    EXPECT_EQ(a.emittedWordCount(), 2);
    EXPECT_EQ(a.pendingText(), "How are");
    // No complete sentence left: nothing, the cursor stays.
    EXPECT_TRUE(a.take(false).empty());
    EXPECT_EQ(a.emittedWordCount(), 2);
    EXPECT_EQ(texts(a.take(true)), QStringList{"How are"});
    EXPECT_EQ(a.emittedWordCount(), 4);
    EXPECT_EQ(a.pendingText(), "");
    // Cursor at the end: nothing, cursor unchanged.
    EXPECT_TRUE(a.take(true).empty());
    EXPECT_EQ(a.emittedWordCount(), 4);
}

TEST(RecognitionTextAssembler, TerminatorsAndPunctuationSegments)
{
    // A lone full stop ends the sentence before it; abbreviations end sentences;
    // every terminator counts, including the full-width and ellipsis ones.
    const QString t = QStringLiteral("It works . The U.S. is big! Why? Well… 好。 对！ 吗？ end");
    auto a = assembled(
        t, {"It", "works", ".", "The", "U.S.", "is", "big!", "Why?", "Well…", "好。", "对！", "吗？", "end"});
    EXPECT_EQ(texts(a.take(false)),
        QStringList({"It works .", "The U.S.", "is big!", "Why?", "Well…", "好。", "对！", "吗？"}));
    EXPECT_EQ(a.pendingText(), "end");

    // A word ending in a comma, a colon, a full stop with a combining mark or a
    // full stop joined to a preceding prepended mark is no terminator.
    const QString u = QStringLiteral("one, two: thre.\u0301 x\u0600. four");
    auto b = assembled(u, {"one,", "two:", "thre.\u0301", "x\u0600.", "four"});
    EXPECT_TRUE(b.take(false).empty());
    EXPECT_EQ(b.emittedWordCount(), 0);
}

TEST(RecognitionTextAssembler, StartTimes)
{
    const QString t = QStringLiteral("Zero time. Later zero. Real start.");
    auto a = assembled(t, {"Zero", "time.", "Later", "zero.", "Real", "start."}, {0, 0.4, 0, 1.1, 2.5, 2.9});
    const auto c = a.take(false);
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].startTimestamp, 0.0); // word 0 keeps its 0
    EXPECT_FALSE(c[1].startTimestamp.has_value());
    EXPECT_EQ(c[2].startTimestamp, 2.5);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto b = assembled(QStringLiteral("Odd."), {"Odd."}, {nan});
    const auto d = b.take(false);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_FALSE(d[0].startTimestamp.has_value());
}

TEST(RecognitionTextAssembler, RevocationRescuesWhatWaited)
{
    // The recognizer sends a new transcription after the complete sentences
    // were handed on (or not yet). Of a revoked tail, four or more waiting
    // words are rescued whole, fewer only as complete sentences.
    const struct {
        const char *name;
        QString oldText;
        QStringList oldTokens;
        bool handedOn;
        QString newText;
        QStringList newTokens;
        bool salvage;
        QStringList rescued;
        int emittedAfter; // clamped to the new word count
    } cases[] = {
        {"four waiting words", "Done. alpha beta gamma delta", {"Done.", "alpha", "beta", "gamma", "delta"}, true,
            "Done. other words", {"Done.", "other", "words"}, true, {"alpha beta gamma delta"}, 3},
        {"not asked to salvage", "Done. alpha beta gamma delta", {"Done.", "alpha", "beta", "gamma", "delta"}, true,
            "Done. other words", {"Done.", "other", "words"}, false, {}, 1},
        {"a two-word fragment", "so the. mitochondria is", {"so", "the.", "mitochondria", "is"}, true, "so the my toe",
            {"so", "the", "my", "toe"}, true, {}, 2},
        {"a short complete sentence, letters outside the basic plane", QStringLiteral("𝐀 ends."), {"𝐀", "ends."}, false,
            QStringLiteral("𝐁 ends."), {"𝐁", "ends."}, true, {QStringLiteral("𝐀 ends.")}, 2},
        {"a prefix grown longer is no revocation", "First. transla is going on",
            {"First.", "transla", "is", "going", "on"}, true, "First. Translation, is going on",
            {"First.", "Translation,", "is", "going", "on"}, true, {}, 1},
        {"no longer than what was handed on", "One. Two. Three. four", {"One.", "Two.", "Three.", "four"}, true, "One.",
            {"One."}, true, {}, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto a = assembled(c.oldText, c.oldTokens);
        if (c.handedOn)
            a.take(false);
        EXPECT_EQ(texts(a.update(c.newText, wordsOf(c.newText, c.newTokens), c.salvage)), c.rescued);
        EXPECT_EQ(a.emittedWordCount(), c.emittedAfter);
        EXPECT_EQ(a.formattedText(), c.newText);
    }
}

TEST(RecognitionTextAssembler, HostileRangesNeverCrash)
{
    const qint64 big = std::numeric_limits<qint64>::max();
    const qint64 small = std::numeric_limits<qint64>::min();
    const QString t = QStringLiteral("Alpha beta. Gamma");
    std::vector<RecognitionWord> words = {
        {{0, 5}, 1, 0}, // Alpha
        {{6, 5}, 2, 0}, // beta.
        {{big, big}, 3, 0}, // overflow in location + length
        {{small, small}, 4, 0}, // negative overflow
        {{3, -2}, 5, 0}, // negative length
        {{12, big}, 6, 0}, // huge length
        {{-1, 3}, 7, 0}, // negative location
        {{12, 5}, 8, 0}, // Gamma
    };
    RecognitionTextAssembler a;
    a.update(t, words, false);
    EXPECT_EQ(texts(a.take(false)), QStringList({"Alpha beta."}));
    // The tail starts at a word far outside the text: no chunk, words passed over.
    EXPECT_TRUE(a.take(true).empty());
    EXPECT_EQ(a.emittedWordCount(), 8);

    // Revocation checks with out-of-range words on both sides.
    EXPECT_NO_FATAL_FAILURE(a.update(t, words, true));
    RecognitionTextAssembler b;
    b.update(t, {{{big, 1}, 0, 0}, {{-5, big}, 0, 0}}, false);
    EXPECT_EQ(b.pendingText(), "");
    EXPECT_TRUE(b.update(QString(), {}, true).empty());
    EXPECT_EQ(b.emittedWordCount(), 0);

    // A range ending beyond the text never ends a sentence; it is covered by
    // the sentence it lies in.
    RecognitionTextAssembler c;
    c.update(QStringLiteral("One two."), {{{0, 3}, 0, 0}, {{4, 40}, 0, 0}, {{4, 4}, 0, 0}}, false);
    EXPECT_EQ(texts(c.take(false)), QStringList({"One two."}));
}

TEST(RecognitionTextAssembler, CharactersOutsideTheBasicPlaneStayWhole)
{
    // Ranges count UTF-16 units; "ab 😀cd. x": the emoji occupies units 3 and 4.
    const QString t = QStringLiteral("ab 😀cd. x");
    ASSERT_TRUE(t.at(3).isHighSurrogate());
    RecognitionTextAssembler a;
    a.update(t, {{{4, 4}, 1, 0}, {{9, 1}, 2, 0}}, false); // starts on the low half
    EXPECT_EQ(texts(a.take(true)), QStringList({QStringLiteral("😀cd."), "x"}));

    RecognitionTextAssembler b;
    b.update(t, {{{0, 2}, 1, 0}, {{3, 1}, 2, 0}}, false); // tail ends inside the pair
    EXPECT_EQ(texts(b.take(true)), QStringList({QStringLiteral("ab 😀")}));
    RecognitionTextAssembler d;
    d.update(QStringLiteral("😀😀. z"), {{{1, 2}, 1, 0}, {{3, 2}, 1, 0}, {{6, 1}, 1, 0}}, false);
    EXPECT_EQ(texts(d.take(true)), QStringList({QStringLiteral("😀😀."), "z"}));
}

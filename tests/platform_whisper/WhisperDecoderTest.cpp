// whisper.cpp loading and decoding generated models: f16 and q5_1 weights
// load and decode a sentence within its token limit, a stop request ends a
// decode, and unusable files are refused before whisper.cpp reads them.
#include "platform/whisper/WhisperDecoder.h"
#include "support/WhisperModelWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cmath>
#include <gtest/gtest.h>

using namespace vox;

namespace {

std::vector<float> tone(double seconds)
{
    std::vector<float> s(size_t(seconds * 16000));
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = 0.2f * float(std::sin(double(i) * 0.07));
    return s;
}

TEST(WhisperDecoderTest, GeneratedModelsLoadAndDecodeASentence)
{
    QTemporaryDir dir;
    auto loader = makeWhisperLoader();
    for (int32_t ftype : {1, 9}) {
        const QString path = dir.filePath(QStringLiteral("model-%1.bin").arg(ftype));
        ASSERT_GT(test::writeWhisperModel(path, test::tinyTestGeometry(ftype)), 0);
        auto decoder = loader->load(path);
        ASSERT_TRUE(decoder.ok()) << decoder.error().message.toStdString();
        EXPECT_TRUE(decoder.value()->displayName().startsWith(QStringLiteral("Whisper custom-1x64.en")));

        SentenceDecodeOptions o;
        o.prompt = QStringLiteral("eigenvalue, Fourier transform");
        o.maxTokens = 8;
        // Constant weights say nothing sensible; the decode runs to its end.
        const auto text = decoder.value()->decode(tone(2.0), o);
        if (text)
            EXPECT_FALSE(text->isEmpty());

        std::atomic<int> polls{0};
        o.shouldStop = [&polls] { return ++polls > 0; };
        EXPECT_FALSE(decoder.value()->decode(tone(2.0), o));
        EXPECT_GT(polls.load(), 0);
    }
}

// The loader checks the file before whisper.cpp reads it (the kinds of
// refusal are WhisperModelFileTest's).
TEST(WhisperDecoderTest, AFileCutShortIsRefusedAsTruncated)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("model.bin"));
    const qint64 size = test::writeWhisperModel(path, test::tinyTestGeometry());
    ASSERT_TRUE(QFile::resize(path, size - 100)); // a download cut short
    const auto r = makeWhisperLoader()->load(path);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(ModelFailure(r.error().code), ModelFailure::Truncated);
}

} // namespace

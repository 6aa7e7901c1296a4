// Whisper model files are recognised by their layout before any decoder sees
// them: the model a file holds, and a clear refusal of a missing, foreign or
// truncated one.
#include "platform/SentenceDecoder.h"
#include "platform/WhisperModelFile.h"
#include "support/WhisperModelWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vox;

namespace {

ModelFailure failureOf(const QString &path)
{
    const auto r = WhisperModelFile::inspect(path);
    EXPECT_FALSE(r.ok());
    if (r.ok())
        return ModelFailure::LoadFailed;
    EXPECT_EQ(r.error().domain, kModelErrorDomain);
    EXPECT_FALSE(r.error().message.isEmpty());
    return ModelFailure(r.error().code);
}

TEST(WhisperModelFileTest, StandardModelsAreNamedAndTheirSizesFollowFromTheGeometry)
{
    EXPECT_EQ(WhisperModelFile::modelName(WhisperModelFile::baseEn(9)), QStringLiteral("base.en-q5_1"));
    auto multilingual = WhisperModelFile::baseEn();
    multilingual.nVocab = 51865;
    EXPECT_EQ(WhisperModelFile::modelName(multilingual), QStringLiteral("base"));

    // tiny.en has 4 + 4 blocks: 11 whole-model tensors, 15 per encoder block
    // and 24 per decoder block; its weights come to the published ~75 MiB.
    const auto tensors = WhisperModelFile::tensors(WhisperModelFile::tinyEn());
    EXPECT_EQ(tensors.size(), 11u + 4 * 15 + 4 * 24);
    qint64 bytes = 0;
    for (const auto &t : tensors)
        bytes += WhisperModelFile::tensorBytes(t.type, t.elements()).value();
    EXPECT_NEAR(double(bytes) / (1 << 20), 74.0, 2.0);
    EXPECT_FALSE(WhisperModelFile::tensorBytes(7, 33)); // not whole q5_1 blocks
}

TEST(WhisperModelFileTest, AWrittenModelIsDescribedAndDamagedOrStrangeFilesAreRefused)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ggml-test.bin"));
    const auto geometry = test::tinyTestGeometry(9);
    const qint64 size = test::writeWhisperModel(path, geometry);
    const auto described = WhisperModelFile::inspect(path);
    ASSERT_TRUE(described.ok()) << described.error().message.toStdString();
    EXPECT_EQ(described.value().geometry, geometry);
    EXPECT_EQ(described.value().name, QStringLiteral("custom-1x64.en-q5_1"));
    EXPECT_EQ(described.value().size, size);

    EXPECT_EQ(failureOf(dir.filePath(QStringLiteral("absent.bin"))), ModelFailure::Missing);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray whole = file.readAll();
    // Cut anywhere (inside the last tensor, at a tensor's end, in the
    // vocabulary, to nothing at all): truncated.
    const qint64 lastTensor = 4 * 4 + 15 + 64 * 4; // decoder.ln.bias: header, name, 64 floats
    for (qint64 cut : {size - 1, size - lastTensor, qint64(4096), qint64(0)}) {
        ASSERT_TRUE(file.resize(cut));
        EXPECT_EQ(failureOf(path), ModelFailure::Truncated) << cut;
    }
    // Something else under the name, or a tensor of another shape: foreign.
    file.write("RIFF\x24\x00\x00\x00WAVEfmt ", 16);
    file.flush();
    EXPECT_EQ(failureOf(path), ModelFailure::Foreign);
    QByteArray otherShape = whole;
    const qsizetype at = otherShape.indexOf("encoder.conv1.bias");
    ASSERT_GT(at, 8);
    otherShape[at - 8] = 2; // its first dimension
    file.seek(0);
    file.write(otherShape);
    file.flush();
    EXPECT_EQ(failureOf(path), ModelFailure::Foreign);
}

} // namespace

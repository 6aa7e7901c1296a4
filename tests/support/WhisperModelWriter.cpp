#include "WhisperModelWriter.h"

#include <QFile>
#include <QtEndian>
#include <qfloat16.h>
#include <cstring>
#include <vector>

namespace vox::test {

namespace {

// The vocabulary of an English model holds the text tokens; whisper.cpp
// names the special ones itself.
constexpr int32_t kTextTokens = 50256;

class Out {
public:
    explicit Out(QFile &f) : m_f(f) {}
    template <typename T>
    void put(T v) { write(&v, sizeof v); }
    void write(const void *data, qint64 n) { m_ok = m_ok && m_f.write(static_cast<const char *>(data), n) == n; }
    bool ok() const { return m_ok; }

private:
    QFile &m_f;
    bool m_ok = true;
};

// `count` values of ggml type `type`, all equal to `weight`, in chunks.
void writeConstant(Out &out, int32_t type, qint64 count, float weight)
{
    std::vector<char> block;
    qint64 perBlock = 1;
    switch (type) {
    case 0: // f32
        block.resize(4);
        std::memcpy(block.data(), &weight, 4);
        break;
    case 1: { // f16
        const qfloat16 h(weight);
        block.resize(2);
        std::memcpy(block.data(), &h, 2);
        break;
    }
    default: { // q4_0, q4_1, q5_0, q5_1, q8_0: a scale of zero and, where the
               // type has one, the minimum as the value
        perBlock = 32;
        block.assign(size_t(WhisperModelFile::tensorBytes(type, 32).value_or(0)), 0);
        if (type == 3 || type == 7) {
            const qfloat16 m(weight);
            std::memcpy(block.data() + 2, &m, 2);
        }
        break;
    }
    }
    const qint64 blocks = count / perBlock;
    constexpr qint64 kChunk = 4096;
    std::vector<char> chunk;
    for (qint64 i = 0; i < std::min(blocks, kChunk); ++i)
        chunk.insert(chunk.end(), block.begin(), block.end());
    for (qint64 done = 0; done < blocks; done += kChunk)
        out.write(chunk.data(), qint64(block.size()) * std::min(kChunk, blocks - done));
}

} // namespace

WhisperGeometry tinyTestGeometry(int32_t ftype)
{
    WhisperGeometry g;
    g.nAudioState = g.nTextState = 64;
    g.nAudioHead = g.nTextHead = 2;
    g.nAudioLayer = g.nTextLayer = 1;
    g.ftype = ftype;
    return g;
}

qint64 writeWhisperModel(const QString &path, const WhisperGeometry &g, float weight)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return -1;
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "ggml files are little-endian");
    Out out(f);
    out.put(WhisperModelFile::kMagic);
    for (int32_t v : {g.nVocab, g.nAudioCtx, g.nAudioState, g.nAudioHead, g.nAudioLayer, g.nTextCtx, g.nTextState,
                      g.nTextHead, g.nTextLayer, g.nMels, g.ftype})
        out.put(v);
    out.put(g.nMels);
    out.put(WhisperModelFile::kMelFftBins);
    writeConstant(out, 0, qint64(g.nMels) * WhisperModelFile::kMelFftBins, 0.01f);
    const int32_t words = std::min(kTextTokens, g.nVocab);
    out.put(words);
    for (int32_t i = 0; i < words; ++i) {
        // 220 is the blank, which whisper.cpp looks up by its text.
        const QByteArray word = i == 220 ? QByteArray(" ") : (i % 2 ? " w" : "w") + QByteArray::number(i);
        out.put(uint32_t(word.size()));
        out.write(word.constData(), word.size());
    }
    for (const auto &t : WhisperModelFile::tensors(g)) {
        out.put(int32_t(t.ne.size()));
        out.put(int32_t(t.name.size()));
        out.put(t.type);
        for (int32_t d : t.ne)
            out.put(d);
        out.write(t.name.constData(), t.name.size());
        writeConstant(out, t.type, t.elements(), weight);
    }
    if (!out.ok() || !f.flush())
        return -1;
    return f.size();
}

} // namespace vox::test

#include "WhisperModelFile.h"

#include "SentenceDecoder.h"

#include <QFile>
#include <QFileInfo>
#include <map>

namespace vox {

namespace {

// ggml type ids.
constexpr int32_t kF32 = 0, kF16 = 1, kQ4_0 = 2, kQ4_1 = 3, kQ5_0 = 6, kQ5_1 = 7, kQ8_0 = 8;
// whisper.cpp keeps a quantisation version in the thousands of the file type.
constexpr int32_t kQuantVersionFactor = 1000;

Error modelError(ModelFailure kind, const QString &message)
{
    return Error{kModelErrorDomain, int(kind), message};
}

WhisperGeometry standard(int32_t state, int32_t heads, int32_t layers, int32_t ftype)
{
    WhisperGeometry g;
    g.nAudioState = g.nTextState = state;
    g.nAudioHead = g.nTextHead = heads;
    g.nAudioLayer = g.nTextLayer = layers;
    g.ftype = ftype;
    return g;
}

} // namespace

qint64 WhisperTensorSpec::elements() const
{
    qint64 n = 1;
    for (int32_t d : ne)
        n *= d;
    return n;
}

namespace WhisperModelFile {

WhisperGeometry tinyEn(int32_t ftype) { return standard(384, 6, 4, ftype); }
WhisperGeometry baseEn(int32_t ftype) { return standard(512, 8, 6, ftype); }
WhisperGeometry smallEn(int32_t ftype) { return standard(768, 12, 12, ftype); }

std::optional<int32_t> weightType(int32_t ftype)
{
    switch (ftype % kQuantVersionFactor) {
    case 0: return kF32;
    case 1: return kF16;
    case 2: return kQ4_0;
    case 3: return kQ4_1;
    case 7: return kQ8_0;
    case 8: return kQ5_0;
    case 9: return kQ5_1;
    default: return std::nullopt;
    }
}

std::optional<qint64> tensorBytes(int32_t type, qint64 elements)
{
    struct Block { qint64 values, bytes; };
    static const std::map<int32_t, Block> blocks = {
        {kF32, {1, 4}},    {kF16, {1, 2}},    {kQ4_0, {32, 18}}, {kQ4_1, {32, 20}},
        {kQ5_0, {32, 22}}, {kQ5_1, {32, 24}}, {kQ8_0, {32, 34}},
    };
    const auto it = blocks.find(type);
    if (it == blocks.end() || elements < 0 || elements % it->second.values != 0)
        return std::nullopt;
    return elements / it->second.values * it->second.bytes;
}

std::vector<WhisperTensorSpec> tensors(const WhisperGeometry &g)
{
    const int32_t w = weightType(g.ftype).value_or(kF16);
    const int32_t conv = w == kF32 ? kF32 : kF16;
    std::vector<WhisperTensorSpec> out;
    auto add = [&out](QByteArray name, std::vector<int32_t> ne, int32_t type) {
        out.push_back(WhisperTensorSpec{std::move(name), std::move(ne), type});
    };
    // A block's attention: query, key (no bias), value, out.
    auto attention = [&](const QByteArray &p, int32_t n) {
        add(p + ".query.weight", {n, n}, w);
        add(p + ".query.bias", {n}, kF32);
        add(p + ".key.weight", {n, n}, w);
        add(p + ".value.weight", {n, n}, w);
        add(p + ".value.bias", {n}, kF32);
        add(p + ".out.weight", {n, n}, w);
        add(p + ".out.bias", {n}, kF32);
    };
    auto block = [&](const QByteArray &p, int32_t n, bool cross) {
        add(p + ".mlp_ln.weight", {n}, kF32);
        add(p + ".mlp_ln.bias", {n}, kF32);
        add(p + ".mlp.0.weight", {n, 4 * n}, w);
        add(p + ".mlp.0.bias", {4 * n}, kF32);
        add(p + ".mlp.2.weight", {4 * n, n}, w);
        add(p + ".mlp.2.bias", {n}, kF32);
        add(p + ".attn_ln.weight", {n}, kF32);
        add(p + ".attn_ln.bias", {n}, kF32);
        attention(p + ".attn", n);
        if (cross) {
            add(p + ".cross_attn_ln.weight", {n}, kF32);
            add(p + ".cross_attn_ln.bias", {n}, kF32);
            attention(p + ".cross_attn", n);
        }
    };
    const int32_t a = g.nAudioState;
    add("encoder.positional_embedding", {a, g.nAudioCtx}, kF32);
    add("encoder.conv1.weight", {3, g.nMels, a}, conv);
    add("encoder.conv1.bias", {1, a}, kF32);
    add("encoder.conv2.weight", {3, a, a}, conv);
    add("encoder.conv2.bias", {1, a}, kF32);
    for (int32_t i = 0; i < g.nAudioLayer; ++i)
        block("encoder.blocks." + QByteArray::number(i), a, false);
    add("encoder.ln_post.weight", {a}, kF32);
    add("encoder.ln_post.bias", {a}, kF32);
    const int32_t t = g.nTextState;
    add("decoder.positional_embedding", {t, g.nTextCtx}, kF32);
    add("decoder.token_embedding.weight", {t, g.nVocab}, w);
    for (int32_t i = 0; i < g.nTextLayer; ++i)
        block("decoder.blocks." + QByteArray::number(i), t, true);
    add("decoder.ln.weight", {t}, kF32);
    add("decoder.ln.bias", {t}, kF32);
    return out;
}

QString modelName(const WhisperGeometry &g)
{
    QString size;
    if (g.nAudioLayer == 4 && g.nAudioState == 384)
        size = QStringLiteral("tiny");
    else if (g.nAudioLayer == 6 && g.nAudioState == 512)
        size = QStringLiteral("base");
    else if (g.nAudioLayer == 12 && g.nAudioState == 768)
        size = QStringLiteral("small");
    else if (g.nAudioLayer == 24 && g.nAudioState == 1024)
        size = QStringLiteral("medium");
    else if (g.nAudioLayer == 32 && g.nAudioState == 1280)
        size = QStringLiteral("large");
    else
        size = QStringLiteral("custom-%1x%2").arg(g.nAudioLayer).arg(g.nAudioState);
    if (g.nVocab == 51864)
        size += QStringLiteral(".en");
    switch (g.ftype % kQuantVersionFactor) {
    case 0: return size + QStringLiteral("-f32");
    case 2: return size + QStringLiteral("-q4_0");
    case 3: return size + QStringLiteral("-q4_1");
    case 7: return size + QStringLiteral("-q8_0");
    case 8: return size + QStringLiteral("-q5_0");
    case 9: return size + QStringLiteral("-q5_1");
    default: return size;
    }
}

Result<Description> inspect(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return modelError(ModelFailure::Missing, QStringLiteral("找不到识别模型文件：%1").arg(path));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return modelError(ModelFailure::Unreadable,
                          QStringLiteral("识别模型文件无法读取：%1（%2）").arg(path, f.errorString()));
    const qint64 size = f.size();
    const Error truncated = modelError(
        ModelFailure::Truncated, QStringLiteral("识别模型文件不完整（可能没有下载完）：%1").arg(name));
    const Error foreign = modelError(
        ModelFailure::Foreign, QStringLiteral("不是 Whisper 识别模型（ggml 格式）：%1").arg(name));

    auto readInt = [&f](auto &v) { return f.read(reinterpret_cast<char *>(&v), sizeof v) == qint64(sizeof v); };
    uint32_t magic = 0;
    if (!readInt(magic))
        return size == 0 ? truncated : foreign;
    if (magic != kMagic)
        return foreign;

    WhisperGeometry g;
    for (int32_t *v : {&g.nVocab, &g.nAudioCtx, &g.nAudioState, &g.nAudioHead, &g.nAudioLayer, &g.nTextCtx,
                       &g.nTextState, &g.nTextHead, &g.nTextLayer, &g.nMels, &g.ftype})
        if (!readInt(*v))
            return truncated;
    auto within = [](int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; };
    if (!within(g.nVocab, 1, 1 << 20) || !within(g.nAudioCtx, 1, 1 << 16) || !within(g.nAudioState, 1, 1 << 14)
        || !within(g.nAudioHead, 1, 1024) || !within(g.nAudioLayer, 1, 1024) || !within(g.nTextCtx, 1, 1 << 16)
        || g.nTextState != g.nAudioState || !within(g.nTextHead, 1, 1024) || !within(g.nTextLayer, 1, 1024)
        || !within(g.nMels, 1, 1024) || g.ftype < 0)
        return foreign;
    if (!weightType(g.ftype))
        return modelError(ModelFailure::Unsupported,
                          QStringLiteral("不支持的 Whisper 模型权重格式（%1）：%2").arg(g.ftype).arg(name));

    int32_t nMel = 0, nFft = 0;
    if (!readInt(nMel) || !readInt(nFft))
        return truncated;
    if (!within(nMel, 1, 1024) || !within(nFft, 1, 1 << 16))
        return foreign;
    if (!f.seek(f.pos() + qint64(nMel) * nFft * 4) || f.pos() > size)
        return truncated;

    int32_t nWords = 0;
    if (!readInt(nWords))
        return truncated;
    if (!within(nWords, 0, g.nVocab))
        return foreign;
    for (int32_t i = 0; i < nWords; ++i) {
        uint32_t len = 0;
        if (!readInt(len))
            return truncated;
        if (len > 1024)
            return foreign;
        if (f.pos() + len > size)
            return truncated;
        f.seek(f.pos() + len);
    }

    std::map<QByteArray, WhisperTensorSpec> expected;
    for (auto &t : tensors(g))
        expected.emplace(t.name, std::move(t));
    while (f.pos() < size) {
        int32_t nDims = 0, nameLength = 0, type = 0;
        if (!readInt(nDims) || !readInt(nameLength) || !readInt(type))
            return truncated;
        if (!within(nDims, 1, 4) || !within(nameLength, 1, 256))
            return foreign;
        std::vector<int32_t> ne(size_t(nDims), 0);
        for (int32_t &d : ne)
            if (!readInt(d))
                return truncated;
        const QByteArray tensorName = f.read(nameLength);
        if (tensorName.size() != nameLength)
            return truncated;
        const auto it = expected.find(tensorName);
        if (it == expected.end() || it->second.ne != ne || it->second.type != type)
            return foreign;
        const qint64 bytes = tensorBytes(type, it->second.elements()).value_or(0);
        if (f.pos() + bytes > size)
            return truncated;
        f.seek(f.pos() + bytes);
        expected.erase(it);
    }
    if (!expected.empty())
        return truncated;
    return Description{g, modelName(g), size};
}

} // namespace WhisperModelFile
} // namespace vox

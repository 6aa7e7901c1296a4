// Filling the glossary faster than term by term: Markdown table import and
// suggestions from the lecture's recognized sentences.
#include "GlossaryManager.h"

#include "platform/Diag.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QVariantMap>
#include <algorithm>

namespace vox {

namespace {

bool isLineBreak(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

QStringView trimSpacesAndTabs(QStringView s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && (s[b] == u' ' || s[b] == u'\t'))
        ++b;
    while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t'))
        --e;
    return s.mid(b, e - b);
}

std::optional<GlossaryRow> parseRow(QStringView rawLine)
{
    const QStringView line = trimSpacesAndTabs(rawLine);
    if (!line.startsWith(u'|') || line.contains(u"---"))
        return std::nullopt;
    const auto pieces = line.split(u'|', Qt::KeepEmptyParts);
    if (pieces.size() < 3)
        return std::nullopt;
    const QStringView source = trimSpacesAndTabs(pieces[1]);
    const QStringView target = trimSpacesAndTabs(pieces[2]);
    if (source.isEmpty() || target.isEmpty())
        return std::nullopt;
    if (source == u"英文" || target == u"中文")
        return std::nullopt;
    const QStringView note = pieces.size() > 3 ? trimSpacesAndTabs(pieces[3]) : QStringView();
    return GlossaryRow{source.toString(), target.toString(), note.toString()};
}

// Reads a whole file as UTF-8; nothing when it cannot be read, is too large
// or is not valid UTF-8.
std::optional<QString> readUtf8File(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = f.read(GlossaryManager::kMaxImportBytes + 1);
    if (f.error() != QFileDevice::NoError || data.size() > GlossaryManager::kMaxImportBytes)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(data);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

std::vector<GlossaryRow> GlossaryManager::parseMarkdownTable(const QString &text)
{
    std::vector<GlossaryRow> rows;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isLineBreak(text.at(i)))
            continue;
        if (auto row = parseRow(QStringView(text).mid(start, i - start)))
            rows.push_back(std::move(*row));
        start = i + 1;
    }
    return rows;
}

int GlossaryManager::importFromMarkdown(const QUrl &url)
{
    // A file URL, or a bare absolute path.
    QString path;
    if (url.isLocalFile())
        path = url.toLocalFile();
    else if (url.scheme().isEmpty() && url.path().startsWith(u'/'))
        path = url.path();
    const auto text = path.isEmpty() ? std::nullopt : readUtf8File(path);
    if (!text) {
        diag(QStringLiteral("术语表导入失败，无法以 UTF-8 读取文件: ") + url.toString());
        return 0;
    }
    int added = 0;
    for (auto &row : parseMarkdownTable(*text)) {
        if (containsSource(row.source))
            continue;
        GlossaryTerm term;
        term.source = std::move(row.source);
        term.target = std::move(row.target);
        term.note = std::move(row.note);
        append(std::move(term));
        ++added;
    }
    if (added > 0)
        Q_EMIT termsChanged();
    save(added > 0);
    return added;
}

const QSet<QString> &GlossaryManager::stopWords()
{
    static const QSet<QString> words = {
        "the",   "a",     "an",      "and",      "or",     "but",     "so",    "for",   "with",  "without",
        "of",    "to",    "in",      "on",       "at",     "by",      "from",  "into",  "about", "as",
        "is",    "are",   "was",     "were",     "be",     "been",    "being", "have",  "has",   "had",
        "do",    "does",  "did",     "can",      "could",  "will",    "would", "should", "may",  "might",
        "must",  "not",   "no",      "yes",      "this",   "that",    "these", "those", "there", "here",
        "it",    "its",   "i",       "you",      "we",     "they",    "he",    "she",   "him",   "her",
        "all",   "some",  "any",     "more",     "most",   "each",    "every", "both",  "other", "such",
        "what",  "which", "who",     "when",     "where",  "why",     "how",   "then",  "than",  "also",
        "just",  "very",  "really",  "because",  "if",     "though",  "although", "while", "until", "up",
        "down",  "out",   "off",     "over",     "under",  "again",   "first", "second", "let",  "get",
    };
    return words;
}

std::vector<GlossaryCandidate> GlossaryManager::candidates(const QStringList &from, int limit) const
{
    QSet<QString> known;
    for (const auto &t : m_terms)
        known.insert(t.source.toCaseFolded());

    // Counts in order of first appearance, so equal counts keep a fixed order.
    std::vector<GlossaryCandidate> counts;
    QHash<QString, size_t> index;
    const auto countWord = [&](const QString &word) {
        if (word.toUcs4().size() < 4 || stopWords().contains(word) || known.contains(word.toCaseFolded()))
            return;
        const auto it = index.constFind(word);
        if (it != index.constEnd()) {
            ++counts[*it].count;
            return;
        }
        index.insert(word, counts.size());
        counts.push_back(GlossaryCandidate{word, 1});
    };

    for (const QString &raw : from) {
        const QString text = raw.toLower();
        QString word;
        for (qsizetype i = 0; i < text.size(); ++i) {
            char32_t cp = text.at(i).unicode();
            qsizetype units = 1;
            if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                cp = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
                units = 2;
            }
            if (!QChar::isSurrogate(cp) && QChar::isLetter(cp)) {
                word.append(QStringView(text).mid(i, units));
            } else if (!word.isEmpty()) {
                countWord(word);
                word.clear();
            }
            i += units - 1;
        }
        if (!word.isEmpty())
            countWord(word);
    }

    std::stable_sort(counts.begin(), counts.end(),
                     [](const GlossaryCandidate &a, const GlossaryCandidate &b) { return a.count > b.count; });
    counts.resize(std::min(counts.size(), size_t(std::max(limit, 0))));
    return counts;
}

QVariantList GlossaryManager::candidateList(const QStringList &from, int limit) const
{
    QVariantList out;
    for (const auto &c : candidates(from, limit))
        out.append(QVariantMap{{QStringLiteral("word"), c.word}, {QStringLiteral("count"), c.count}});
    return out;
}

} // namespace vox

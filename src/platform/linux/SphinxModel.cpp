#include "SphinxModel.h"

#include "platform/Diag.h"
#include "platform/Process.h"

#include <pocketsphinx.h>
#include <sphinxbase/err.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#ifndef VOX_SPHINX_MODELDIR
#define VOX_SPHINX_MODELDIR "/usr/share/pocketsphinx/model"
#endif

namespace vox {

namespace {

// PocketSphinx logs through one process-wide sink. Installed once, before the
// first decoder: errors go to our diagnostics log, the chatter is dropped.
// Decoders are never given -logfn (it would close the shared sink).
void sphinxLogSink(void *, err_lvl_t level, const char *fmt, ...)
{
    if (level < ERR_ERROR)
        return;
    char line[1024];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    QString text = QString::fromLocal8Bit(line).trimmed();
    if (!text.isEmpty())
        diag(QStringLiteral("[PocketSphinx] ") + text);
}

void installSphinxLogging()
{
    static std::once_flag once;
    std::call_once(once, [] {
        err_set_logfp(nullptr); // no configuration dumps on stderr
        err_set_callback(&sphinxLogSink, nullptr);
    });
}

} // namespace

SphinxModel SphinxModel::locate(const PocketSphinxOptions &options)
{
    SphinxModel m;
    m.dir = options.modelDir.isEmpty() ? QStringLiteral(VOX_SPHINX_MODELDIR) : options.modelDir;
    const QDir dir(m.dir);
    m.hmm = dir.filePath(QStringLiteral("en-us/en-us"));
    m.lm = dir.filePath(QStringLiteral("en-us/en-us.lm.bin"));
    m.dict = dir.filePath(QStringLiteral("en-us/cmudict-en-us.dict"));
    m.filesPresent = QFileInfo(m.hmm).isDir() && QFileInfo(QDir(m.hmm).filePath(QStringLiteral("mdef"))).isFile()
        && QFileInfo(m.lm).isFile() && QFileInfo(m.dict).isFile();

    if (options.fwdflat) {
        m.fwdflat = *options.fwdflat;
    } else {
        const QByteArray env = qgetenv("VOXLEAF_SPHINX_FWDFLAT").trimmed().toLower();
        m.fwdflat = env == "yes" || env == "1" || env == "true";
    }
    return m;
}

ps_decoder_t *SphinxModel::load(double &seconds) const
{
    seconds = 0;
    if (!filesPresent)
        return nullptr;
    installSphinxLogging();
    const auto t0 = std::chrono::steady_clock::now();
    const QByteArray hmmPath = QFile::encodeName(hmm), lmPath = QFile::encodeName(lm),
                     dictPath = QFile::encodeName(dict);
    cmd_ln_t *config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmmPath.constData(), "-lm", lmPath.constData(),
                                   "-dict", dictPath.constData(), "-fwdflat", fwdflat ? "yes" : "no", "-bestpath",
                                   fwdflat ? "yes" : "no", nullptr);
    if (!config)
        return nullptr;
    ps_decoder_t *ps = ps_init(config);
    cmd_ln_free_r(config);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (ps) {
        diag(QStringLiteral("PocketSphinx 解码器已加载（%1，%2 s；进程启动后 %3 s）")
                 .arg(fwdflat ? QStringLiteral("多遍") : QStringLiteral("单遍"))
                 .arg(seconds, 0, 'f', 2)
                 .arg(Process::secondsSinceStart(), 0, 'f', 2));
    }
    return ps;
}

} // namespace vox

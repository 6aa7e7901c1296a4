// transcribe and listen: the real speech engine fed from a file or a
// microphone, printing every sentence as it lands.
#include "CliSupport.h"
#include "Commands.h"

#include "course/CourseArchive.h"
#include "engine/AudioDeviceManager.h"
#include "engine/SpeechEngine.h"
#include "glossary/GlossaryManager.h"
#include "platform/Diag.h"
#include "platform/Files.h"
#include "platform/Settings.h"
#include "platform/linux/FileAudioEngine.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/PocketSphinxRecognizer.h"
#include "platform/linux/SndfileAudioFiles.h"
#include "review/DesktopFiles.h"
#include "review/SubtitleExporter.h"
#include "translation/LocalTranslationSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

namespace vox::cli {

namespace {

// Translations that have not landed this long after the audio ended are
// given up (each sentence keeps its placeholder).
constexpr qint64 kDrainLimitMs = 10 * 60 * 1000;
// After Ctrl+C the user waits this long at most for translations under way.
constexpr qint64 kDrainAfterSignalMs = 5000;

std::atomic<bool> g_interrupted{false};
std::atomic<bool> g_hurry{false};

// The first Ctrl+C (or SIGTERM) stops cleanly: the last sentences are
// recognized and translated, the course archived, the input restored. A
// second one stops waiting for translations; the writing still happens.
void onSignal(int)
{
    if (g_interrupted.exchange(true))
        g_hurry.store(true);
}

// Processes Qt events for up to `ms` of wall time.
void pump(int ms)
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
}

// Waits (wall time, events flowing) until `done` or `timeoutMs`.
bool waitWall(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        pump(10);
        QThread::msleep(2);
    }
    return true;
}

void printEntry(const TranslationEntry &e, bool json, bool translate)
{
    if (json) {
        QJsonObject o{{QStringLiteral("audioTime"), e.audioTime},
                      {QStringLiteral("source"), e.source},
                      {QStringLiteral("target"), translate ? e.target : QString()}};
        out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)));
        return;
    }
    out(bracketTime(e.audioTime) + QLatin1Char(' ') + e.source);
    if (translate)
        out(e.target);
}

void drawProgress(qint64 done, qint64 total, double speed)
{
    if (total <= 0)
        return;
    const double f = std::clamp(double(done) / double(total), 0.0, 1.0);
    const int width = 30, filled = int(f * width);
    const QString bar = QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char(' '));
    const QByteArray b = QStringLiteral("\r[%1] %2%  %3x ").arg(bar).arg(int(f * 100), 3).arg(speed, 0, 'f', 1).toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), stderr);
    std::fflush(stderr);
}

// Asks the local translation server once for its languages and hands the
// engine a session when English→Chinese is there.
void connectLocalTranslation(SpeechEngine &engine)
{
    const QUrl base = localTranslationUrl();
    bool answered = false;
    std::optional<Result<LanguageProbe>> probe;
    QObject ctx;
    probeLanguages(base, &ctx, [&](Result<LanguageProbe> r) {
        probe.emplace(std::move(r));
        answered = true;
    });
    waitWall([&] { return answered; }, 8000);
    if (!probe) {
        err(QStringLiteral("本地翻译服务无响应（%1）；英文原文仍会完整输出。").arg(base.toString()));
        return;
    }
    if (!probe->ok()) {
        err(QStringLiteral("本地翻译服务不可用（%1）：%2；英文原文仍会完整输出。").arg(base.toString(), probe->error().message));
        return;
    }
    engine.setTranslationSession(std::make_shared<LocalTranslationSession>(base, probe->value().targetCode));
    if (!probe->value().chineseAvailable)
        err(QStringLiteral("本地翻译服务没有英译中模型（%1）；英文原文仍会完整输出。").arg(base.toString()));
}

bool writeSubtitles(const QString &path, const std::vector<TranslationEntry> &entries, const Date &base,
                    SubtitleExporter::Format format)
{
    const QFileInfo info(path);
    QDir().mkpath(info.absolutePath());
    const auto written = DesktopFiles::writeAtomically(info.absoluteFilePath(), SubtitleExporter::text(entries, base, format));
    if (!written.ok()) {
        err(QStringLiteral("无法写入字幕文件 %1：%2").arg(path, written.error().message));
        return false;
    }
    err(QStringLiteral("字幕已写入: %1").arg(info.absoluteFilePath()));
    return true;
}

// A file engine whose delivered audio is counted where the main loop can see
// it: the clock of a file transcription follows that count.
class CountingEngine final : public AudioEngine {
public:
    CountingEngine(std::unique_ptr<AudioEngine> inner, std::shared_ptr<std::atomic<qint64>> frames)
        : m_inner(std::move(inner)), m_frames(std::move(frames)) {}
    PcmFormat inputFormat() override { return m_inner->inputFormat(); }
    void installTap(quint32 bufferSize, std::function<void(const PcmBuffer &)> block) override
    {
        m_inner->installTap(bufferSize, [frames = m_frames, block = std::move(block)](const PcmBuffer &b) {
            block(b);
            frames->fetch_add(b.frameLength());
        });
    }
    void removeTap() override { m_inner->removeTap(); }
    void prepare() override { m_inner->prepare(); }
    std::optional<Error> start() override { return m_inner->start(); }
    void stop() override { m_inner->stop(); }

private:
    std::unique_ptr<AudioEngine> m_inner;
    std::shared_ptr<std::atomic<qint64>> m_frames;
};

class CountingFileEngineFactory final : public AudioEngineFactory {
public:
    CountingFileEngineFactory(FileAudioEngineOptions options, std::shared_ptr<std::atomic<qint64>> frames)
        : m_options(std::move(options)), m_frames(std::move(frames)) {}
    std::unique_ptr<AudioEngine> create() override
    {
        return std::make_unique<CountingEngine>(std::make_unique<FileAudioEngine>(m_options), m_frames);
    }

private:
    FileAudioEngineOptions m_options;
    std::shared_ptr<std::atomic<qint64>> m_frames;
};

// A model that cannot be used is said, and the live recognizer's text is
// kept: the transcription still runs.
void useSentenceModel(SpeechEngine &engine, const Platform &p, const QString &path, bool onAudioTime)
{
    if (!p.sentenceDecoders) {
        err(QStringLiteral("此版本未包含 Whisper，继续使用 PocketSphinx 的识别结果。"));
        return;
    }
    auto decoder = p.sentenceDecoders->load(path);
    if (!decoder) {
        err(decoder.error().message + QStringLiteral("；继续使用 PocketSphinx 的识别结果。"));
        return;
    }
    engine.setSentenceDecoder(decoder.value());
    // On audio time the clock runs as fast as the file is read: every
    // sentence waits for its decode instead of a deadline.
    engine.sentencePass().setPatient(onAudioTime);
    err(QStringLiteral("识别器: %1").arg(engine.recognizerName()));
}

} // namespace

int runTranscription(const RunOptions &o)
{
    const bool fromFile = !o.live;
    const auto engineChoice = translationEngineFromRaw(o.engine);
    if (!engineChoice) {
        err(QStringLiteral("未知的翻译引擎: %1（可选 system 或 deepseek）").arg(o.engine));
        return ExitUsage;
    }

    Platform p = makeLinuxPlatform();
    qint64 totalFrames = 0;
    double fileRate = 0;
    std::atomic<bool> audioEnded{false};
    std::atomic<bool> audioFailed{false};
    QString audioError; // written by the file engine before audioFailed is set
    if (fromFile) {
        // A FIFO or a device would block the reader (and every signal with
        // it) or never end: only a regular file is transcribed.
        if (!Files::isRegularFile(o.file)) {
            err(QStringLiteral("不是普通音频文件（管道、设备或不存在）：%1").arg(o.file));
            return ExitInput;
        }
        auto reader = p.audioFiles->openForReading(o.file);
        if (!reader.ok()) {
            err(QStringLiteral("%1（%2）").arg(reader.error().message, o.file));
            return ExitInput;
        }
        totalFrames = reader.value()->length();
        fileRate = reader.value()->format().sampleRate;
        if (totalFrames <= 0 || fileRate <= 0) {
            err(QStringLiteral("音频文件为空或格式无效: %1").arg(o.file));
            return ExitInput;
        }
        if (const auto refused = FileAudioEngine::checkFormat(reader.value()->format())) {
            err(QStringLiteral("%1（%2）").arg(refused->message, o.file));
            return ExitInput;
        }
    }

    auto sphinx = std::dynamic_pointer_cast<PocketSphinxRecognizer>(p.recognizer);
    if (!sphinx || !sphinx->waitUntilLoaded(60000) || !sphinx->isAvailable()) {
        err(QStringLiteral("语音识别模型缺失或无法加载：请安装 pocketsphinx-en-us 后重试。"));
        return ExitUnavailable;
    }

    auto delivered = std::make_shared<std::atomic<qint64>>(0);
    auto sessionLive = std::make_shared<std::atomic<bool>>(false);
    // On audio time the file goes in lock step with the engine: one buffer
    // is let through, the recognizer finishes it, its results and the level
    // reach the engine, the clock moves to the buffer's end, then the next
    // buffer. The outcome then never depends on how busy the machine is.
    auto allowedFrames = std::make_shared<std::atomic<qint64>>(0);
    if (fromFile) {
        FileAudioEngineOptions fo;
        fo.path = o.file;
        fo.realTime = o.realtime;
        // Nothing is read before the session is live (recording file open,
        // first request started), so the recording and the audio times
        // begin with the file's first frame; then the recognizer sets the pace.
        fo.readyForMore = [sessionLive, allowedFrames, delivered, realtime = o.realtime](int ms) {
            if (!sessionLive->load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                return false;
            }
            if (realtime)
                return true;
            for (int waited = 0; waited < ms; ++waited) {
                if (delivered->load() < allowedFrames->load())
                    return true;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return false;
        };
        fo.onEnd = [&audioEnded, &audioFailed, &audioError](qint64, std::optional<Error> error) {
            if (error) {
                audioError = error->message;
                audioFailed.store(true);
            }
            audioEnded.store(true);
        };
        p.audioEngines = std::make_shared<CountingFileEngineFactory>(fo, delivered);
        auto device = std::make_shared<FileInputDevice>(QFileInfo(o.file).fileName());
        p.captureDevices = device;
        p.hardware = device;
    }
    if (!o.course)
        p.desktop = std::make_shared<ScratchDesktop>(p.desktop);
    setPlatform(p);

    // A file runs on audio time: the clock follows the audio consumed, so a
    // lecture behaves as it would live, however fast it is processed.
    const bool virtualClock = fromFile && !o.realtime;
    VirtualTime vt(SystemTime().now());
    if (virtualClock)
        setTimeSource(&vt);

    GlossaryManager glossary;
    SpeechEngine engine(p);
    engine.setGlossaryManager(&glossary);
    engine.setTranslationEngine(*engineChoice);
    if (!o.translate)
        engine.pipeline().setRecordOnly(true);

    if (o.translate) {
        if (*engineChoice == TranslationEngine::DeepSeek && resolveApiKey().isEmpty())
            err(QStringLiteral("DeepSeek 在线翻译需要 API Key：请设置环境变量 DEEPSEEK_API_KEY 或在翻译设置中填写；将尝试本地翻译。"));
        connectLocalTranslation(engine);
    }

    if (!o.model.isEmpty())
        useSentenceModel(engine, p, o.model, virtualClock);

    int placeholders = 0;
    QObject::connect(&engine.pipeline(), &TranslationPipeline::entryAppended, &engine,
                     [&](const TranslationEntry &e) {
                         if (e.target == TranslationPipeline::placeholder())
                             ++placeholders;
                         printEntry(e, o.json, o.translate);
                     });
    QString lastShownError;
    bool conversionFailed = false; // audio the recognizer could not be given
    QObject::connect(&engine, &SpeechEngine::lastErrorChanged, &engine, [&] {
        const QString e = engine.lastError();
        conversionFailed = conversionFailed || e.startsWith(QStringLiteral("音频格式转换失败"));
        if (!e.isEmpty() && e != lastShownError && !o.json)
            err(QStringLiteral("提示: ") + e);
        lastShownError = e;
    });

    QString deviceID = o.deviceID;
    if (fromFile) {
        deviceID = QLatin1String(FileInputDevice::kDeviceID);
    } else if (deviceID.isEmpty()) {
        AudioDeviceManager devices(p);
        devices.refresh();
        deviceID = devices.selectedDeviceID().value_or(QString());
        if (deviceID.isEmpty()) {
            err(QStringLiteral("找不到可用的麦克风。"));
            return ExitUnavailable;
        }
    }

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    const Date runStart = timeSource().now();
    if (o.course)
        engine.startCourse();
    engine.start(deviceID);

    // Starting: permission and device waits are scheduled steps.
    QElapsedTimer wall;
    wall.start();
    while (!engine.isRecording() && engine.isStarting() && !g_interrupted.load()) {
        if (virtualClock) {
            if (!vt.runNext())
                pump(5);
        } else {
            pump(20);
        }
    }
    if (!engine.isRecording()) {
        err(QStringLiteral("无法开始识别：") + engine.lastError());
        if (o.course)
            engine.endCourseNow();
        return ExitUnavailable;
    }

    const Date audioStart = timeSource().now();
    allowedFrames->store(1);
    sessionLive->store(true);
    QElapsedTimer speedTimer;
    speedTimer.start();
    qint64 lastProgressMs = 0;
    const bool progress = fromFile && stderrIsTerminal() && !o.realtime;
    while (!g_interrupted.load()) {
        if (fromFile && audioEnded.load())
            break;
        if (virtualClock && delivered->load() >= allowedFrames->load()) {
            sphinx->waitUntilIdle(10000);
            pump(5);
            const qint64 frames = delivered->load();
            const double target = audioStart.sinceReference + double(frames) / fileRate;
            if (target > vt.now().sinceReference)
                vt.advance(target - vt.now().sinceReference);
            allowedFrames->store(frames + 1);
        }
        pump(5);
        // Wait a little for the next buffer instead of spinning: the main
        // thread would otherwise burn as much CPU as the recognizer.
        QThread::msleep(virtualClock ? 1 : 5);
        if (progress && speedTimer.elapsed() - lastProgressMs > 200) {
            lastProgressMs = speedTimer.elapsed();
            const double audioSec = double(delivered->load()) / fileRate;
            drawProgress(delivered->load(), totalFrames, audioSec / std::max(0.001, speedTimer.elapsed() / 1000.0));
        }
        // A microphone that went away is waited for (the engine resumes by
        // itself); a session that ended otherwise ends the run.
        if (!engine.isRecording() && !engine.isStarting() && !engine.captureInterrupted())
            break;
    }
    if (progress) {
        drawProgress(totalFrames, totalFrames, double(totalFrames) / fileRate / std::max(0.001, speedTimer.elapsed() / 1000.0));
        err(QString());
    }
    if (audioFailed.load()) // a read error, or a file cut short while it was read
        err(audioError + QStringLiteral("；已处理到此处为止。"));

    // Let the recognizer flush, then every batch land or be given up. Time
    // keeps moving (wall time from here on) so retries, the minimum display
    // rule and the finalization fallback still fire. A course ends the same
    // way (its file is kept current meanwhile).
    if (o.course)
        engine.endCourse();
    else
        engine.stop();
    QElapsedTimer drain;
    drain.start();
    qint64 lastMs = 0;
    auto step = [&] {
        pump(10);
        QThread::msleep(2);
        if (virtualClock) {
            const qint64 ms = drain.elapsed();
            vt.advance((ms - lastMs) / 1000.0);
            lastMs = ms;
        }
    };
    auto draining = [&] {
        return engine.isFinalizingStop() || !engine.sentencePass().isIdle() || !engine.pipeline().isIdle()
               || engine.isEndingCourse();
    };
    bool gaveUpWaiting = false;
    while (draining()) {
        // A second signal, or translations that take longer than any
        // lecture would wait for: every sentence lands now with the
        // placeholder, nothing recognized is dropped.
        const bool giveUp = g_hurry.load() || drain.elapsed() > kDrainLimitMs
                            || (g_interrupted.load() && drain.elapsed() > kDrainAfterSignalMs);
        if (giveUp && !engine.isFinalizingStop()) {
            if (!engine.sentencePass().isIdle() || !engine.pipeline().isIdle()) {
                gaveUpWaiting = true;
                engine.sentencePass().releaseAllNow();
                engine.pipeline().landWaitingNow();
            }
            if (engine.isEndingCourse())
                engine.endCourseNow();
            continue;
        }
        step();
    }
    if (gaveUpWaiting)
        err(QStringLiteral("未等到全部译文：尚未翻译的句子已保留英文原文（译文缺失）。"));
    // The last landed batch leaves the live text after its minimum display.
    for (int i = 0; i < 60 && !g_hurry.load(); ++i)
        step();

    bool archiveOk = true;
    if (o.course) {
        if (const auto &course = engine.completedCourse()) {
            if (!course->archivePath.isEmpty()) {
                err(QStringLiteral("课程已存档: %1").arg(course->archivePath));
            } else {
                archiveOk = false;
                err(QStringLiteral("课程未能存档：%1").arg(engine.lastError()));
            }
            if (course->recordingURL)
                err(QStringLiteral("课堂录音: %1").arg(course->recordingPath()));
        }
    }

    const std::vector<TranslationEntry> entries(engine.translationEntries().begin(), engine.translationEntries().end());
    bool filesOk = true;
    if (!o.srtPath.isEmpty())
        filesOk &= writeSubtitles(o.srtPath, entries, runStart, SubtitleExporter::Format::SRT);
    if (!o.vttPath.isEmpty())
        filesOk &= writeSubtitles(o.vttPath, entries, runStart, SubtitleExporter::Format::VTT);

    setTimeSource(nullptr);
    if (!archiveOk || !filesOk)
        return ExitCantWrite;
    if (conversionFailed) {
        err(QStringLiteral("音频格式转换失败，部分音频未能识别。"));
        return fromFile ? ExitInput : ExitUnavailable;
    }
    if (o.translate && placeholders > 0) {
        err(QStringLiteral("%1 句未能翻译，已保留英文原文（译文缺失）。").arg(placeholders));
        return ExitTranslation;
    }
    if (g_interrupted.load() && !o.live)
        return ExitInterrupted;
    return ExitOk;
}

} // namespace vox::cli

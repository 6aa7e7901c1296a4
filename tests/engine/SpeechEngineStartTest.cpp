// Start and stop of a capture session: failure paths with their messages,
// the default input switch and its restoration, the recording file, the
// watchdogs and starts interrupted while they wait.
#include "EngineFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <functional>

using namespace vox;
using namespace vox::test;
using vox::fake::FakePermissions;
using vox::fake::FakePlatform;

namespace {

class StartTest : public EngineFixture {
protected:
    QStringList recordings() const
    {
        return QDir(fakes.desktopPath() + QStringLiteral("/课程记录/课堂录音")).entryList(QDir::Files, QDir::Name);
    }
};

TEST_F(StartTest, SuccessfulStartRunsTheStepsInOrder)
{
    engine->start(QStringLiteral("mic-48k"));
    // Waiting for the switched input to settle: nothing published yet.
    EXPECT_EQ(fakes.hardware->defaultInput, FakePlatform::kMicID);
    advance(0.39);
    EXPECT_FALSE(engine->isRecording());
    advance(0.01);
    ASSERT_TRUE(engine->isRecording());
    EXPECT_EQ(engine->previousDefaultInputID(), FakePlatform::kBuiltInID);
    EXPECT_TRUE(audio()->running);
    EXPECT_EQ(audio()->tapBufferSize, 4096u);
    EXPECT_TRUE(engine->hasRecognitionRequest());
    EXPECT_TRUE(engine->lastError().isEmpty());
}

struct StartFailure {
    const char *name;
    std::function<void(FakePlatform &)> arrange;
    QString device;
    double failsAfter; // seconds of waiting before the start fails
    QString message;
    bool switchesInput; // the default input was switched before the failure
    int audioEngines;
};

class StartFailureTest : public StartTest, public ::testing::WithParamInterface<StartFailure> { };

TEST_P(StartFailureTest, ShowsTheMessageAndLeavesNothingBehind)
{
    const StartFailure &c = GetParam();
    c.arrange(fakes);
    engine->start(c.device);
    if (c.failsAfter > 0) {
        advance(c.failsAfter - 0.01);
        EXPECT_TRUE(engine->isStarting());
        advance(0.01);
    }
    EXPECT_FALSE(engine->isStarting());
    EXPECT_FALSE(engine->isRecording());
    EXPECT_EQ(engine->lastError(), c.message);

    // The default input is the user's again and nothing remembers a switch.
    EXPECT_EQ(fakes.hardware->setCalls.empty(), !c.switchesInput);
    EXPECT_EQ(fakes.hardware->defaultInput, FakePlatform::kBuiltInID);
    EXPECT_EQ(engine->previousDefaultInputID(), 0u);
    EXPECT_FALSE(QFileInfo::exists(engine->savedDefaultInputPath()));
    EXPECT_EQ(fakes.audioEngines->created, c.audioEngines);
    EXPECT_EQ(fakes.audioEngines->current, nullptr);
    EXPECT_EQ(engine->forwarder(), nullptr);
    EXPECT_TRUE(fakes.recognizer->requests.empty());
    EXPECT_TRUE(recordings().isEmpty());

    // A late permission answer and the failed start's timers change nothing.
    fakes.permissions->answerSpeech(AuthorizationState::Authorized);
    advance(5);
    EXPECT_FALSE(engine->isRecording());
    EXPECT_EQ(engine->lastError(), c.message);
}

const QString kMic = QStringLiteral("mic-48k");

INSTANTIATE_TEST_SUITE_P(Engine, StartFailureTest,
    ::testing::Values(StartFailure{"MicrophoneDenied",
                          [](FakePlatform &f) { f.permissions->microphone = AuthorizationState::Denied; }, kMic, 0,
                          QStringLiteral("麦克风权限未开启：请在「系统设置 → 声音 → 输入」中确认本应用可以使用麦克风"
                                         "（PulseAudio/PipeWire 未将本应用静音），然后重试。"),
                          false, 0},
        StartFailure{"SpeechRestricted",
            [](FakePlatform &f) { f.permissions->speech = AuthorizationState::Restricted; }, kMic, 0,
            QStringLiteral("语音识别权限未开启：请确认本机语音识别已启用（已安装 pocketsphinx 及英语模型包 "
                           "pocketsphinx-en-us），然后重试。"), false, 0},
        StartFailure{"SpeechAuthorizationTimesOut",
            [](FakePlatform &f) {
                f.permissions->speech = AuthorizationState::NotDetermined;
                f.permissions->speechAnswer = FakePermissions::Answer::Never;
            },
            kMic, 1.5,
            QStringLiteral("语音识别不可用：请先确认已安装 pocketsphinx 及英语模型包 pocketsphinx-en-us，"
                           "再点「开始」重试。"), false, 0},
        StartFailure{"RecognizerUnavailable", [](FakePlatform &f) { f.recognizer->available = false; }, kMic, 0,
            QStringLiteral("语音识别不可用：请确认已安装 pocketsphinx 及英语模型包 pocketsphinx-en-us"
                           "（如缺失，可用 sudo apt install pocketsphinx-en-us 安装）。"), false, 0},
        StartFailure{"UnknownDevice", [](FakePlatform &) {}, QStringLiteral("gone-uid"), 0,
            QStringLiteral("找不到所选麦克风对应的系统音频设备，请重新选择或刷新设备列表。"), false, 0},
        StartFailure{"SwitchRefused", [](FakePlatform &f) { f.hardware->setStatus = -50; }, kMic, 0,
            QStringLiteral("无法切换到所选麦克风（错误码 -50）。"), true, 0},
        // A zero format is read again once after half a second.
        StartFailure{"ZeroHertzTwice",
            [](FakePlatform &f) { f.audioEngines->config.inputFormats = {PcmFormat{0, 0, false}}; }, kMic, 0.9, QStringLiteral("无法适配麦克风音频格式（0.0Hz）。"), true, 1},
        StartFailure{"ConverterRefused", [](FakePlatform &f) { f.converters->refuse = true; }, kMic, 0.4,
            QStringLiteral("无法适配麦克风音频格式（48000.0Hz）。"), true, 1},
        StartFailure{"AudioEngineStartError",
            [](FakePlatform &f) {
                f.audioEngines->config.startError = Error{QStringLiteral("PulseAudio"), 7, QStringLiteral("设备忙")};
            },
            kMic, 0.4, QStringLiteral("无法启动录音：设备忙"), true, 1}),
    [](const ::testing::TestParamInfo<StartFailure> &info) { return std::string(info.param.name); });

TEST_F(StartTest, AnsweredRequestsAndARetriedFormatGoOn)
{
    // The microphone request is awaited without a time limit; neither its
    // answer nor an in-time speech answer is examined. A zero format read
    // again after half a second may turn valid.
    fakes.permissions->microphone = AuthorizationState::NotDetermined;
    fakes.permissions->microphoneAnswer = FakePermissions::Answer::Never;
    fakes.permissions->speech = AuthorizationState::NotDetermined;
    fakes.permissions->speechAnswer = FakePermissions::Answer::Never;
    fakes.audioEngines->config.inputFormats = {PcmFormat{0, 0, false}, PcmFormat{44100, 1, false}};
    engine->start(QStringLiteral("mic-48k"));
    advance(30);
    EXPECT_TRUE(engine->isStarting());
    fakes.permissions->answerMicrophone(false);
    advance(1.0);
    fakes.permissions->answerSpeech(AuthorizationState::Denied);
    advance(0.4 + 0.5); // device settle, format retry
    ASSERT_TRUE(engine->isRecording());
    EXPECT_EQ(audio()->formatReads, 2);
    advance(2.0);
    EXPECT_TRUE(engine->lastError().isEmpty());
}

TEST_F(StartTest, AStopOrASecondStartAbandonsAWaitingStart)
{
    // Stopped while the switched input settles: the default input comes back.
    engine->start(QStringLiteral("mic-48k"));
    engine->stop();
    EXPECT_EQ(fakes.hardware->defaultInput, FakePlatform::kBuiltInID);
    advance(5);
    EXPECT_FALSE(engine->isRecording());
    EXPECT_EQ(fakes.audioEngines->created, 0);

    // A second start while the first waits for the speech answer: one
    // session; the first one's late answer and time-out change nothing.
    fakes.permissions->speech = AuthorizationState::NotDetermined;
    fakes.permissions->speechAnswer = FakePermissions::Answer::Never;
    engine->start(QStringLiteral("builtin-uid"));
    fakes.permissions->speech = AuthorizationState::Authorized;
    engine->start(QStringLiteral("mic-48k"));
    advance(0.4);
    ASSERT_TRUE(engine->isRecording());
    fakes.permissions->answerSpeech(AuthorizationState::Authorized);
    advance(2);
    EXPECT_TRUE(engine->isRecording());
    EXPECT_EQ(engine->lastError(), QString());
    EXPECT_EQ(fakes.audioEngines->created, 1);
    EXPECT_EQ(fakes.recognizer->requests.size(), 1u);
}

TEST_F(StartTest, StopWithALiveTaskWaitsForItsFinalResult)
{
    startSession();
    pushAudio(0.2, 3);
    task()->deliverPartial(QStringLiteral("Hello world. How are"));
    pump();
    advance(3);
    engine->setLastError(QStringLiteral("某个错误"));
    engine->stop();
    EXPECT_FALSE(engine->isRecording());
    EXPECT_TRUE(engine->isFinalizingStop());
    EXPECT_TRUE(task()->request()->audioEnded());
    EXPECT_TRUE(submissions.empty());
    EXPECT_EQ(fakes.hardware->defaultInput, FakePlatform::kBuiltInID);
    EXPECT_EQ(engine->level(), 0);
    // Text, duration and error stay for the user to read.
    EXPECT_EQ(engine->recognizedText(), QStringLiteral("Hello world. How are"));
    EXPECT_DOUBLE_EQ(engine->sessionDuration(), 3.0);
    EXPECT_EQ(engine->lastError(), QStringLiteral("某个错误"));

    // The final result hands on everything; no new request follows.
    task()->deliverFinal(QStringLiteral("Hello world. How are you"));
    pump();
    ASSERT_EQ(submissions.size(), 1u);
    EXPECT_EQ(submissions[0].reason, QStringLiteral("识别段结束"));
    EXPECT_EQ(submissions[0].texts, (QStringList{QStringLiteral("Hello world."), QStringLiteral("How are you")}));
    EXPECT_FALSE(engine->isFinalizingStop());
    EXPECT_EQ(fakes.recognizer->requests.size(), 1u);
}

TEST_F(StartTest, StopWithoutATaskEndsAtOnce)
{
    // The task ended with an error, which handed on what waited; with a
    // restart pending and no task alive, the stop ends at once.
    startSession();
    task()->deliverPartial(QStringLiteral("Hello world. How are"));
    pump();
    task()->deliverError(RecognitionError{RecognitionFailure::Internal, QStringLiteral("boom")});
    pump();
    ASSERT_FALSE(engine->hasRecognitionTask());
    engine->stop();
    EXPECT_EQ(submissions.size(), 1u);
    EXPECT_FALSE(engine->isFinalizingStop());
    advance(5);
    EXPECT_EQ(fakes.recognizer->tasks.size(), 1u); // the pending restart does not run

    // Stop when not recording changes nothing.
    const auto calls = fakes.hardware->setCalls.size();
    engine->stop();
    EXPECT_EQ(fakes.hardware->setCalls.size(), calls);
}

TEST_F(StartTest, StartWhileRecordingStopsFirstAndIgnoresTheOldSession)
{
    startSession();
    task()->deliverPartial(QStringLiteral("old words"));
    pump();
    auto oldTask = task();
    // Audio of the old session is still on its way to the main thread.
    audio()->pushConstant(0.2f);
    engine->start(QStringLiteral("mic-48k"));
    time->advance(0.4, false);
    ASSERT_TRUE(engine->isRecording());
    // Neither that audio nor the old task's final result reach the new session.
    oldTask->deliverFinal(QStringLiteral("old words finished."));
    pump();
    EXPECT_FALSE(engine->audioActive());
    EXPECT_EQ(engine->level(), 0);
    EXPECT_TRUE(submissions.empty());
    EXPECT_TRUE(engine->recognizedText().isEmpty());
}

TEST_F(StartTest, WatchdogsNameWhatIsMissing)
{
    startSession();
    pushAudio(0.1);
    advance(8);
    EXPECT_EQ(engine->lastError(),
        QStringLiteral("已采集到音频但未产生识别结果：请确认已安装英语模型包 pocketsphinx-en-us（若已安装，先点"
                       "「停止」再重新「开始」以重新初始化语音识别），并确认所选麦克风正在收到说话声。"));
    engine->stop();

    startSession();
    EXPECT_TRUE(engine->lastError().isEmpty());
    advance(3);
    EXPECT_EQ(engine->lastError(),
        QStringLiteral("3 秒内未采集到音频：请在「系统设置 → 声音 → 输入」（或 PulseAudio 音量控制 pavucontrol 的"
                       "「输入设备」）中确认所选麦克风未被静音，并确认输入音量不为 0。"));
    // Audio arriving ends the warning about its absence.
    pushAudio(0.1);
    EXPECT_TRUE(engine->audioActive());
    EXPECT_TRUE(engine->lastError().isEmpty());
    engine->stop();

    // An earlier error is not replaced; recognized text means all is well.
    startSession();
    pushAudio(0.1);
    engine->setLastError(QStringLiteral("翻译失败，英文原文已保留"));
    advance(8);
    EXPECT_EQ(engine->lastError(), QStringLiteral("翻译失败，英文原文已保留"));
    engine->stop();

    startSession();
    pushAudio(0.1);
    task()->deliverPartial(QStringLiteral("hello"));
    pump();
    advance(9);
    EXPECT_TRUE(engine->lastError().isEmpty());
}

TEST_F(StartTest, RecordingFilesAreNeverOverwrittenAndDroppedWhenEmptyOrFailing)
{
    // Outside a course the file is named by the session's start.
    startSession();
    pushAudio(0.1, 2);
    const QString first = engine->currentRecordingPath();
    EXPECT_EQ(QFileInfo(first).fileName(), fileStamp(time->now()) + QStringLiteral(" 课堂录音.caf"));
    engine->stop();
    EXPECT_EQ(engine->lastRecordingPath(), first);
    EXPECT_GT(QFileInfo(first).size(), 0);

    // A second session started within the same second never overwrites the
    // first recording (it would get " (2)").
    startSession();
    pushAudio(0.1);
    const QString second = engine->currentRecordingPath();
    engine->stop();
    EXPECT_NE(second, first);
    EXPECT_TRUE(QFileInfo::exists(first) && QFileInfo::exists(second));

    // A session without audio deletes its file and keeps the last recording.
    startSession();
    const QString empty = engine->currentRecordingPath();
    engine->stop();
    EXPECT_FALSE(QFileInfo::exists(empty));
    EXPECT_EQ(engine->lastRecordingPath(), second);
    EXPECT_EQ(recordings().size(), 2);

    // A file that cannot be created: the session goes on without one, and
    // says so.
    fakes.audioFiles->createError = Error{QStringLiteral("io"), 5, QStringLiteral("磁盘已满")};
    startSession();
    EXPECT_TRUE(engine->currentRecordingPath().isEmpty());
    EXPECT_TRUE(engine->lastError().contains(QStringLiteral("磁盘已满")));
    pushAudio(0.1);
    engine->stop();
    EXPECT_EQ(engine->lastRecordingPath(), second);

    // The disk fills up while recording: it is said, the position stays with
    // what is in the file, and recognition goes on.
    fakes.audioFiles->createError.reset();
    fakes.audioFiles->diskFullAfterFrames = 3000;
    startSession();
    pushAudio(0.1, 2);
    EXPECT_TRUE(engine->lastError().isEmpty()) << engine->lastError().toStdString();
    pushAudio(0.1, 3);
    EXPECT_TRUE(engine->lastError().contains(QStringLiteral("课堂录音无法写入"))) << engine->lastError().toStdString();
    const QString full = engine->currentRecordingPath();
    const double onDisk = double(QFileInfo(full).size()) / sizeof(float) / 16000;
    EXPECT_GT(onDisk, 0.1);
    EXPECT_DOUBLE_EQ(engine->recordingPosition(), onDisk);
    EXPECT_TRUE(engine->isRecording());
    EXPECT_TRUE(engine->hasRecognitionRequest());
}

TEST_F(StartTest, DefaultInputRememberedOnDiskAndRestoredAfterACrash)
{
    startSession();
    const QString note = engine->savedDefaultInputPath();
    EXPECT_TRUE(QFileInfo::exists(note));
    engine->stop();
    EXPECT_FALSE(QFileInfo::exists(note));

    // A session whose process dies: the note survives, the next engine
    // puts the default back, even when the device id changed meanwhile.
    startSession();
    QFile f(note);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray saved = f.readAll();
    f.close();
    engine.reset(); // the destructor restores (application exit)
    EXPECT_EQ(fakes.hardware->defaultInput, FakePlatform::kBuiltInID);

    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(saved);
    f.close();
    fakes.hardware->defaultInput = FakePlatform::kMicID;
    fakes.hardware->devices[0].id = 77; // built-in microphone re-enumerated
    engine = std::make_unique<SpeechEngine>(fakes.platform());
    EXPECT_EQ(fakes.hardware->defaultInput, 77u);
    EXPECT_FALSE(QFileInfo::exists(note));
}

TEST_F(StartTest, ConversionFailureSetsTheErrorAndKeepsRecording)
{
    fakes.converters->convertersFail = true;
    startSession();
    pushAudio(0.1, 2);
    EXPECT_EQ(engine->lastError(), QStringLiteral("音频格式转换失败，请尝试更换输入设备。"));
    EXPECT_TRUE(engine->isRecording());
    // Nothing of the failed buffers reaches the recognizer or counts as audio.
    EXPECT_EQ(task()->request()->appendedFrames(), 0);
    EXPECT_EQ(engine->forwarder()->bufferedFrames(), 0u);
    EXPECT_FALSE(engine->audioActive());
}

} // namespace

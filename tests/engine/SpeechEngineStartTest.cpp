// Start and stop of a capture session: failure paths with their messages,
// the default input switch and its restoration, the recording file, the
// watchdogs and starts interrupted while they wait.
#include "EngineFixture.h"

#include <QDir>
#include <QFileInfo>

using namespace vox;
using namespace vox::test;
using vox::fake::FakePermissions;
using vox::fake::FakePlatform;

namespace {

class StartTest : public EngineFixture {
protected:
    QString recordingFolder() const { return fakes.desktopPath() + QStringLiteral("/课程记录/课堂录音"); }
    QStringList recordings() const
    {
        return QDir(recordingFolder()).entryList(QDir::Files, QDir::Name);
    }
};

TEST_F(StartTest, ConstructionStartsNothing)
{
    EXPECT_FALSE(engine->isRecording());
    EXPECT_EQ(fakes.audioEngines->created, 0);
    EXPECT_TRUE(fakes.hardware->setCalls.empty());
    EXPECT_TRUE(fakes.recognizer->requests.empty());
    EXPECT_EQ(time->pendingCount(), 0u);
}

TEST_F(StartTest, SuccessfulStartRunsTheSessionInOrder)
{
    engine->start(QStringLiteral("mic-48k"));
    // Waiting for the switched input to settle: nothing published yet.
    EXPECT_FALSE(engine->isRecording());
    EXPECT_EQ(fakes.hardware->defaultInput, FakePlatform::kMicID);
    advance(0.39);
    EXPECT_FALSE(engine->isRecording());
    advance(0.01);
    ASSERT_TRUE(engine->isRecording());
    EXPECT_EQ(engine->previousDefaultInputID(), FakePlatform::kBuiltInID);
    EXPECT_TRUE(audio()->running);
    EXPECT_EQ(audio()->tapBufferSize, 4096u);
    ASSERT_NE(task(), nullptr);
    EXPECT_TRUE(engine->hasRecognitionRequest());
    EXPECT_TRUE(engine->lastError().isEmpty());
    const QString l = log();
    const QStringList expected = {
        QStringLiteral("===== start(deviceID=mic-48k) ====="),
        QStringLiteral("麦克风权限已授权"),
        QStringLiteral("语音识别权限已授权"),
        QStringLiteral("所选设备 mic-48k → CoreAudio id=41"),
        QStringLiteral("切换前默认输入设备 id=40"),
        QStringLiteral("setDefaultInputDevice(41) 返回 0"),
        QStringLiteral("切换后默认输入设备 id=41"),
        QStringLiteral("硬件格式: 48000.0Hz / 2ch"),
        QStringLiteral("AVAudioEngine.start() 成功"),
        QStringLiteral("课堂录音文件已创建: "),
        QStringLiteral("识别请求已开启（术语提示 0 条，音频起点 0.0s）"),
        QStringLiteral("长时间运行保护已启动（停顿处轮换 45-60s / 自动重连 / 计时）"),
    };
    qsizetype at = 0;
    for (const QString &line : expected) {
        const qsizetype found = l.indexOf(line, at);
        ASSERT_GE(found, 0) << "missing or out of order: " << line.toStdString();
        at = found + line.size();
    }
    // The session timer counts.
    advance(2.0);
    EXPECT_DOUBLE_EQ(engine->sessionDuration(), 2.0);
}

TEST_F(StartTest, PermissionFailures)
{
    fakes.permissions->microphone = AuthorizationState::Denied;
    engine->start(QStringLiteral("mic-48k"));
    EXPECT_FALSE(engine->isStarting());
    EXPECT_TRUE(engine->lastError().startsWith(QStringLiteral("麦克风权限未开启：")));
    EXPECT_TRUE(logged(QStringLiteral("麦克风权限 denied/restricted")));

    fakes.permissions->microphone = AuthorizationState::Authorized;
    fakes.permissions->speech = AuthorizationState::Restricted;
    engine->start(QStringLiteral("mic-48k"));
    EXPECT_TRUE(engine->lastError().startsWith(QStringLiteral("语音识别权限未开启：")));
    EXPECT_TRUE(logged(QStringLiteral("语音识别权限 denied/restricted")));
    EXPECT_TRUE(fakes.hardware->setCalls.empty());
    EXPECT_EQ(fakes.audioEngines->created, 0);
}

TEST_F(StartTest, MicrophoneRequestIsAwaitedWithoutTimeLimit)
{
    fakes.permissions->microphone = AuthorizationState::NotDetermined;
    fakes.permissions->microphoneAnswer = FakePermissions::Answer::Never;
    engine->start(QStringLiteral("mic-48k"));
    advance(30);
    EXPECT_TRUE(engine->isStarting());
    EXPECT_FALSE(engine->isRecording());
    // The answer is not examined: a refusal still goes on.
    fakes.permissions->answerMicrophone(false);
    advance(0.4);
    EXPECT_TRUE(engine->isRecording());
    EXPECT_TRUE(logged(QStringLiteral("麦克风权限 notDetermined，主动请求…")));
    EXPECT_TRUE(logged(QStringLiteral("请求麦克风权限结果: false")));
}

TEST_F(StartTest, SpeechAuthorizationTimesOutAfterOnePointFiveSeconds)
{
    fakes.permissions->speech = AuthorizationState::NotDetermined;
    fakes.permissions->speechAnswer = FakePermissions::Answer::Never;
    engine->start(QStringLiteral("mic-48k"));
    advance(1.49);
    EXPECT_TRUE(engine->isStarting());
    advance(0.01);
    EXPECT_FALSE(engine->isStarting());
    EXPECT_FALSE(engine->isRecording());
    EXPECT_EQ(engine->lastError(),
              QStringLiteral("语音识别不可用：请先确认已安装 pocketsphinx 及英语模型包 pocketsphinx-en-us，再点「开始」重试。"));
    EXPECT_TRUE(logged(QStringLiteral("语音识别授权请求超时：疑似「听写」未开启")));
    // A late answer changes nothing.
    fakes.permissions->answerSpeech(AuthorizationState::Authorized);
    advance(1);
    EXPECT_FALSE(engine->isRecording());
    EXPECT_TRUE(fakes.hardware->setCalls.empty());
}

TEST_F(StartTest, SpeechAuthorizationAnsweredInTimeGoesOn)
{
    fakes.permissions->speech = AuthorizationState::NotDetermined;
    fakes.permissions->speechAnswer = FakePermissions::Answer::Never;
    engine->start(QStringLiteral("mic-48k"));
    advance(1.0);
    fakes.permissions->answerSpeech(AuthorizationState::Denied);
    advance(0.4);
    EXPECT_TRUE(engine->isRecording());
    EXPECT_TRUE(logged(QStringLiteral("语音识别授权回调")));
    advance(2.0);
    EXPECT_FALSE(logged(QStringLiteral("授权请求超时")));
}

TEST_F(StartTest, RecognizerUnavailable)
{
    fakes.recognizer->available = false;
    engine->start(QStringLiteral("mic-48k"));
    EXPECT_EQ(engine->lastError(),
              QStringLiteral("语音识别不可用：请确认已安装 pocketsphinx 及英语模型包 pocketsphinx-en-us（如缺失，可用 sudo apt install pocketsphinx-en-us 安装）。"));
    EXPECT_TRUE(logged(QStringLiteral("语音识别器不可用（isAvailable=false）")));
}

TEST_F(StartTest, UnknownDeviceDoesNotTouchTheDefaultInput)
{
    engine->start(QStringLiteral("gone-uid"));
    EXPECT_EQ(engine->lastError(), QStringLiteral("找不到所选麦克风对应的系统音频设备，请重新选择或刷新设备列表。"));
    EXPECT_TRUE(logged(QStringLiteral("audioDeviceID(for:) 匹配失败: gone-uid")));
    EXPECT_TRUE(fakes.hardware->setCalls.empty());
    EXPECT_FALSE(engine->isStarting());
}

TEST_F(StartTest, FailedSwitchReportsTheStatusAndKeepsTheDefault)
{
    fakes.hardware->setStatus = -50;
    engine->start(QStringLiteral("mic-48k"));
    EXPECT_EQ(engine->lastError(), QStringLiteral("无法切换到所选麦克风（错误码 -50）。"));
    EXPECT_TRUE(logged(QStringLiteral("setDefaultInputDevice(41) 返回 -50")));
    EXPECT_EQ(fakes.hardware->defaultInput, FakePlatform::kBuiltInID);
    EXPECT_EQ(engine->previousDefaultInputID(), 0u);
    EXPECT_FALSE(QFileInfo::exists(engine->savedDefaultInputPath()));
}

TEST_F(StartTest, ZeroHertzIsRetriedOnceThenFails)
{
    fakes.audioEngines->config.inputFormats = {PcmFormat{0, 0, false}};
    engine->start(QStringLiteral("mic-48k"));
    advance(0.4);
    EXPECT_TRUE(logged(QStringLiteral("首次取格式异常 (0.0Hz/0ch)，重试…")));
    EXPECT_TRUE(engine->isStarting());
    advance(0.5);
    EXPECT_FALSE(engine->isStarting());
    EXPECT_FALSE(engine->isRecording());
    EXPECT_EQ(engine->lastError(), QStringLiteral("无法适配麦克风音频格式（0.0Hz）。"));
    EXPECT_TRUE(logged(QStringLiteral("硬件格式: 0.0Hz / 0ch")));
    EXPECT_TRUE(logged(QStringLiteral("转换器创建失败")));
    EXPECT_EQ(fakes.audioEngines->created, 1);
    // Default input restored.
    EXPECT_EQ(fakes.hardware->defaultInput, FakePlatform::kBuiltInID);
    EXPECT_EQ(engine->forwarder(), nullptr);
}

TEST_F(StartTest, ZeroHertzThenAValidFormatStarts)
{
    fakes.audioEngines->config.inputFormats = {PcmFormat{0, 0, false}, PcmFormat{44100, 1, false}};
    engine->start(QStringLiteral("mic-48k"));
    advance(0.9);
    EXPECT_TRUE(engine->isRecording());
    EXPECT_TRUE(logged(QStringLiteral("硬件格式: 44100.0Hz / 1ch")));
}

TEST_F(StartTest, RefusedConverterFails)
{
    fakes.converters->refuse = true;
    engine->start(QStringLiteral("mic-48k"));
    advance(0.4);
    EXPECT_EQ(engine->lastError(), QStringLiteral("无法适配麦克风音频格式（48000.0Hz）。"));
    EXPECT_EQ(fakes.hardware->defaultInput, FakePlatform::kBuiltInID);
}

TEST_F(StartTest, AudioEngineStartErrorRestoresEverything)
{
    fakes.audioEngines->config.startError = Error{QStringLiteral("PulseAudio"), 7, QStringLiteral("设备忙")};
    engine->start(QStringLiteral("mic-48k"));
    advance(0.4);
    EXPECT_FALSE(engine->isRecording());
    EXPECT_EQ(engine->lastError(), QStringLiteral("无法启动录音：设备忙"));
    EXPECT_TRUE(logged(QStringLiteral("engine.start 抛出异常: Error Domain=PulseAudio Code=7 \"设备忙\"")));
    EXPECT_EQ(engine->forwarder(), nullptr);
    EXPECT_EQ(fakes.hardware->defaultInput, FakePlatform::kBuiltInID);
    EXPECT_EQ(fakes.audioEngines->current, nullptr);
    EXPECT_TRUE(recordings().isEmpty());
}

TEST_F(StartTest, StopDuringTheSettleAbandonsTheStart)
{
    engine->start(QStringLiteral("mic-48k"));
    EXPECT_EQ(fakes.hardware->defaultInput, FakePlatform::kMicID);
    engine->stop();
    EXPECT_FALSE(engine->isStarting());
    EXPECT_EQ(fakes.hardware->defaultInput, FakePlatform::kBuiltInID);
    advance(5);
    EXPECT_FALSE(engine->isRecording());
    EXPECT_EQ(fakes.audioEngines->created, 0);
}

TEST_F(StartTest, SecondStartWhileTheFirstWaitsLeavesOneSession)
{
    fakes.permissions->speech = AuthorizationState::NotDetermined;
    fakes.permissions->speechAnswer = FakePermissions::Answer::Never;
    engine->start(QStringLiteral("mic-48k"));
    fakes.permissions->speech = AuthorizationState::Authorized;
    engine->start(QStringLiteral("builtin-uid"));
    advance(0.4);
    ASSERT_TRUE(engine->isRecording());
    // The first start's late answer and time-out change nothing.
    fakes.permissions->answerSpeech(AuthorizationState::Authorized);
    advance(3);
    EXPECT_EQ(fakes.audioEngines->created, 1);
    EXPECT_EQ(fakes.hardware->defaultInput, FakePlatform::kBuiltInID);
    EXPECT_EQ(fakes.recognizer->requests.size(), 1u);
    EXPECT_TRUE(engine->lastError().isEmpty() || engine->lastError().startsWith(QStringLiteral("3 秒")));
    engine->stop();
    EXPECT_EQ(fakes.hardware->defaultInput, FakePlatform::kBuiltInID);
}

TEST_F(StartTest, StopWithALiveTaskFinalizesLater)
{
    startSession();
    pushAudio(0.2, 3);
    task()->deliverPartial(QStringLiteral("Hello world. How are"));
    pump();
    engine->stop();
    EXPECT_FALSE(engine->isRecording());
    EXPECT_TRUE(engine->isFinalizingStop());
    EXPECT_EQ(task()->finishCalls(), 1);
    EXPECT_TRUE(task()->request()->audioEnded());
    EXPECT_TRUE(submissions.empty());
    EXPECT_EQ(fakes.hardware->defaultInput, FakePlatform::kBuiltInID);
    EXPECT_FALSE(audio());
    EXPECT_EQ(engine->level(), 0);
    EXPECT_FALSE(engine->audioActive());
    // The final result hands on everything.
    task()->deliverFinal(QStringLiteral("Hello world. How are you"));
    pump();
    ASSERT_EQ(submissions.size(), 1u);
    EXPECT_EQ(submissions[0].reason, QStringLiteral("识别段结束"));
    EXPECT_EQ(submissions[0].texts, (QStringList{QStringLiteral("Hello world."), QStringLiteral("How are you")}));
    EXPECT_FALSE(engine->isFinalizingStop());
    EXPECT_FALSE(engine->hasRecognitionTask());
    // No new request after stop.
    EXPECT_EQ(fakes.recognizer->requests.size(), 1u);
}

TEST_F(StartTest, StopWithoutALiveTaskFlushesAtOnce)
{
    startSession();
    task()->deliverPartial(QStringLiteral("Hello world. How are"));
    pump();
    // The task ends with an error; a restart is pending, no task alive.
    task()->deliverError(Error{QStringLiteral("x"), 1, QStringLiteral("boom")});
    pump();
    submissions.clear();
    EXPECT_FALSE(engine->hasRecognitionTask());
    task()->deliverPartial(QStringLiteral("ignored"));
    engine->stop();
    EXPECT_TRUE(submissions.empty()); // the assembler was emptied at the end of the request
    EXPECT_FALSE(engine->isFinalizingStop());

    // Stop when not recording changes nothing.
    const auto calls = fakes.hardware->setCalls.size();
    engine->stop();
    EXPECT_EQ(fakes.hardware->setCalls.size(), calls);
}

TEST_F(StartTest, StopKeepsTextDurationAndError)
{
    startSession();
    task()->deliverPartial(QStringLiteral("keep this"));
    pump();
    advance(3);
    engine->setLastError(QStringLiteral("某个错误"));
    engine->stop();
    EXPECT_EQ(engine->recognizedText(), QStringLiteral("keep this"));
    EXPECT_DOUBLE_EQ(engine->sessionDuration(), 3.0);
    EXPECT_EQ(engine->lastError(), QStringLiteral("某个错误"));
}

TEST_F(StartTest, StartWhileRecordingStopsFirst)
{
    startSession();
    task()->deliverPartial(QStringLiteral("old words"));
    pump();
    auto oldTask = task();
    engine->start(QStringLiteral("mic-48k"));
    advance(0.4);
    ASSERT_TRUE(engine->isRecording());
    EXPECT_TRUE(engine->recognizedText().isEmpty());
    EXPECT_TRUE(logged(QStringLiteral("英语识别清除[开始录音]: old words")));
    // The old task's final result belongs to an old generation.
    oldTask->deliverFinal(QStringLiteral("old words finished."));
    pump();
    EXPECT_TRUE(submissions.empty());
    EXPECT_TRUE(engine->recognizedText().isEmpty());
}

TEST_F(StartTest, WatchdogTexts)
{
    startSession();
    advance(3);
    EXPECT_EQ(engine->lastError(),
              QStringLiteral("3 秒内未采集到音频：请在「系统设置 → 声音 → 输入」（或 PulseAudio 音量控制 pavucontrol 的「输入设备」）中确认所选麦克风未被静音，并确认输入音量不为 0。"));
    engine->stop();

    startSession();
    EXPECT_TRUE(engine->lastError().isEmpty());
    pushAudio(0.1);
    EXPECT_TRUE(engine->audioActive());
    advance(8);
    EXPECT_EQ(engine->lastError(),
              QStringLiteral("已采集到音频但未产生识别结果：请确认已安装英语模型包 pocketsphinx-en-us（若已安装，先点「停止」再重新「开始」以重新初始化语音识别），并确认所选麦克风正在收到说话声。"));
}

TEST_F(StartTest, EightSecondWatchdogKeepsAnExistingError)
{
    startSession();
    pushAudio(0.1);
    engine->setLastError(QStringLiteral("翻译失败，英文原文已保留"));
    advance(8);
    EXPECT_EQ(engine->lastError(), QStringLiteral("翻译失败，英文原文已保留"));
}

TEST_F(StartTest, WatchdogsSilentWhenAllIsWell)
{
    startSession();
    pushAudio(0.1);
    task()->deliverPartial(QStringLiteral("hello"));
    pump();
    advance(9);
    EXPECT_TRUE(engine->lastError().isEmpty());
}

TEST_F(StartTest, RecordingFileNamedBySessionOrCourseAndNeverOverwritten)
{
    startSession();
    pushAudio(0.1, 2);
    const QString first = engine->currentRecordingPath();
    EXPECT_EQ(QFileInfo(first).fileName(), fileStamp(engine->courseStartDate().value_or(time->now())) + QStringLiteral(" 课堂录音.caf"));
    engine->stop();
    EXPECT_EQ(engine->lastRecordingPath(), first);
    EXPECT_TRUE(logged(QStringLiteral("课堂录音已保存: ") + first));
    EXPECT_TRUE(QFileInfo(first).size() > 0);

    // Two sessions inside one course share the course's name: the second
    // gets " (2)".
    advance(5);
    engine->startCourse();
    const QString stamp = fileStamp(*engine->courseStartDate());
    advance(5);
    startSession();
    pushAudio(0.1);
    engine->stop();
    startSession();
    pushAudio(0.1);
    const QString second = engine->currentRecordingPath();
    engine->stop();
    EXPECT_TRUE(recordings().contains(stamp + QStringLiteral(" 课堂录音.caf")));
    EXPECT_EQ(QFileInfo(second).fileName(), stamp + QStringLiteral(" 课堂录音 (2).caf"));
    EXPECT_EQ(recordings().size(), 3);
}

TEST_F(StartTest, EmptySessionDeletesItsFileAndKeepsTheLastRecording)
{
    startSession();
    pushAudio(0.1);
    engine->stop();
    const QString kept = engine->lastRecordingPath();
    advance(10);
    startSession();
    const QString empty = engine->currentRecordingPath();
    EXPECT_TRUE(QFileInfo::exists(empty));
    engine->stop();
    EXPECT_FALSE(QFileInfo::exists(empty));
    EXPECT_TRUE(logged(QStringLiteral("课堂录音无音频数据，已删除: ") + empty));
    EXPECT_EQ(engine->lastRecordingPath(), kept);
}

TEST_F(StartTest, RecordingFileFailureGoesOnWithoutFile)
{
    fakes.audioFiles->createError = Error{QStringLiteral("io"), 5, QStringLiteral("磁盘已满")};
    startSession();
    EXPECT_TRUE(logged(QStringLiteral("创建课堂录音文件失败: 磁盘已满")));
    EXPECT_TRUE(engine->currentRecordingPath().isEmpty());
    pushAudio(0.1);
    engine->stop();
    EXPECT_TRUE(engine->lastRecordingPath().isEmpty());
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
    EXPECT_EQ(fakes.hardware->defaultInput, FakePlatform::kMicID);
    const QByteArray saved = [&] {
        QFile f(note);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    engine.reset(); // the destructor restores (application exit)
    EXPECT_EQ(fakes.hardware->defaultInput, FakePlatform::kBuiltInID);

    QFile f(note);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(saved);
    f.close();
    fakes.hardware->defaultInput = FakePlatform::kMicID;
    fakes.hardware->devices[0].id = 77; // built-in microphone re-enumerated
    engine = std::make_unique<SpeechEngine>(fakes.platform());
    EXPECT_EQ(fakes.hardware->defaultInput, 77u);
    EXPECT_FALSE(QFileInfo::exists(note));
    EXPECT_FALSE(engine->isRecording());
}

TEST_F(StartTest, ConversionFailureSetsTheErrorAndKeepsRecording)
{
    fakes.converters->convertersFail = true;
    startSession();
    pushAudio(0.1);
    EXPECT_EQ(engine->lastError(), QStringLiteral("音频格式转换失败，请尝试更换输入设备。"));
    EXPECT_TRUE(logged(QStringLiteral("[forwarder] handle: 转换失败（输入 48000.0Hz/2ch/4096frames）")));
    EXPECT_TRUE(engine->isRecording());
}

} // namespace

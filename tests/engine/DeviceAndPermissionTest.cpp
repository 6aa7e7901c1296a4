// Device list and selection, hardware id resolution, and the permission
// manager's statuses, hint and requests.
#include "engine/AudioDeviceManager.h"
#include "engine/PermissionManager.h"
#include "platform/fake/FakePlatform.h"
#include "support/TestEnv.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace vox;
using namespace vox::fake;
using vox::test::ScopedVirtualTime;
using PS = PermissionManager::PermissionStatus;

namespace {

TEST(AudioDeviceManager, RefreshKeepsAConnectedSelectionAndRepairsAGoneOne)
{
    FakePlatform fakes;
    fakes.captureDevices->devices.push_back(
        CaptureDevice{QStringLiteral("suspended"), QStringLiteral("S"), true, true});
    fakes.captureDevices->devices.push_back(
        CaptureDevice{QStringLiteral("unplugged"), QStringLiteral("U"), false, false});
    AudioDeviceManager m(fakes.platform());
    m.refresh();
    ASSERT_EQ(m.devices().size(), 2u); // suspended and disconnected left out
    EXPECT_EQ(m.selectedDeviceID(), QStringLiteral("builtin-uid"));
    m.setSelectedDeviceID(QStringLiteral("mic-48k"));
    m.refresh();
    EXPECT_EQ(m.selectedDeviceID(), QStringLiteral("mic-48k"));
    // The selected microphone is unplugged: back to the system default.
    fakes.captureDevices->devices.erase(fakes.captureDevices->devices.begin() + 1);
    m.refresh();
    EXPECT_EQ(m.selectedDeviceID(), QStringLiteral("builtin-uid"));
    // No default: the first device; no devices: nothing.
    fakes.captureDevices->defaultID.clear();
    m.setSelectedDeviceID(QStringLiteral("gone"));
    m.refresh();
    EXPECT_EQ(m.selectedDeviceID(), QStringLiteral("builtin-uid"));
    fakes.captureDevices->devices.clear();
    m.refresh();
    EXPECT_FALSE(m.selectedDeviceID().has_value());
    EXPECT_EQ(m.list()->rowCount(), 0);
}

TEST(AudioDeviceList, ANewDiscoveryChangesOnlyTheRowsThatDiffer)
{
    AudioDeviceList list;
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::Warning);
    list.setDevices({{"a", "A"}, {"b", "B"}, {"c", "C"}});
    QSignalSpy removed(&list, &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
    QSignalSpy renamed(&list, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&list, &QAbstractItemModel::modelReset);
    // "a" pulled out, "b" renamed, "d" plugged in.
    const std::vector<AudioDevice> next{{"b", "B 2"}, {"c", "C"}, {"d", "D"}};
    list.setDevices(next);
    EXPECT_EQ(list.devices(), next);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed[0][1].toInt(), 0);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 2);
    ASSERT_EQ(renamed.count(), 1);
    EXPECT_EQ(renamed[0][0].toModelIndex().row(), 0);
    EXPECT_EQ(list.data(list.index(0), AudioDeviceList::NameRole), "B 2");
    EXPECT_EQ(reset.count(), 0);
    // Reordered by the platform: the rows follow.
    const std::vector<AudioDevice> reordered{{"d", "D"}, {"b", "B 2"}, {"c", "C"}};
    list.setDevices(reordered);
    EXPECT_EQ(list.devices(), reordered);
    EXPECT_EQ(list.indexOf("c"), 2);
}

TEST(AudioDeviceManager, DeviceIdByUidThenByName)
{
    FakePlatform fakes;
    const Platform p = fakes.platform();
    EXPECT_EQ(AudioDeviceManager::audioDeviceID(QStringLiteral("mic-48k"), p), FakePlatform::kMicID);
    // UIDs differ between the two layers: found by name.
    fakes.hardware->devices[1].uid = QStringLiteral("pulse:mic");
    EXPECT_EQ(AudioDeviceManager::audioDeviceID(QStringLiteral("mic-48k"), p), FakePlatform::kMicID);
    // Output-only devices never match, even by UID.
    EXPECT_FALSE(AudioDeviceManager::audioDeviceID(QStringLiteral("speaker-uid"), p).has_value());
    EXPECT_EQ(AudioDeviceManager::inputDeviceIDs(*fakes.hardware),
        (std::vector<AudioObjectID>{FakePlatform::kBuiltInID, FakePlatform::kMicID}));
    EXPECT_FALSE(AudioDeviceManager::audioDeviceID(QStringLiteral("nope"), p).has_value());
    fakes.hardware->listStatus = -1;
    EXPECT_TRUE(AudioDeviceManager::allAudioDeviceIDs(*fakes.hardware).empty());
    EXPECT_FALSE(AudioDeviceManager::audioDeviceID(QStringLiteral("builtin-uid"), p).has_value());
}

TEST(PermissionManager, StatusesHintAndAllGranted)
{
    FakePlatform fakes;
    fakes.permissions->microphone = AuthorizationState::Restricted;
    PermissionManager m(fakes.platform());
    EXPECT_EQ(m.microphoneStatus(), PS::Restricted);
    EXPECT_FALSE(m.allGranted());
    EXPECT_TRUE(m.denialHint().isEmpty());
    fakes.permissions->microphone = AuthorizationState::Authorized;
    fakes.permissions->speech = AuthorizationState::Denied;
    m.refreshStatus();
    EXPECT_TRUE(m.denialHint().startsWith(QStringLiteral("语音识别权限被拒绝")));
    fakes.permissions->speech = AuthorizationState::Authorized;
    m.refreshStatus();
    EXPECT_TRUE(m.allGranted());
}

TEST(PermissionManager, RequestAllAsksOnlyForWhatIsMissingAndEndsOnce)
{
    ScopedVirtualTime time;
    FakePlatform fakes;
    PermissionManager m(fakes.platform());
    int done = 0;
    m.requestAll([&] { ++done; });
    EXPECT_EQ(done, 1);
    EXPECT_EQ(fakes.permissions->microphoneRequests, 0);
    EXPECT_EQ(fakes.permissions->speechRequests, 0);

    fakes.permissions->microphone = AuthorizationState::NotDetermined;
    fakes.permissions->speech = AuthorizationState::NotDetermined;
    m.refreshStatus();
    m.requestAll([&] { ++done; });
    time->advance(0);
    EXPECT_EQ(done, 2);
    EXPECT_TRUE(m.allGranted());

    // A speech request that is never answered ends after two seconds; a late
    // answer does not finish a second time.
    fakes.permissions->speech = AuthorizationState::NotDetermined;
    fakes.permissions->speechAnswer = FakePermissions::Answer::Never;
    m.refreshStatus();
    m.requestAll([&] { ++done; });
    time->advance(1.99);
    EXPECT_EQ(done, 2);
    time->advance(0.01);
    EXPECT_EQ(done, 3);
    EXPECT_EQ(m.speechStatus(), PS::NotDetermined);
    fakes.permissions->answerSpeech(AuthorizationState::Authorized);
    time->advance(1);
    EXPECT_EQ(done, 3);
}

} // namespace

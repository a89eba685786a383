// The window's device jobs on their worker threads against the in-process printer: the result codes,
// the objects handed over, delivery on the main thread, and that no worker outlives its controller.
#include "tests/comm/session/InProcessPrinter.h"
#include "tests/e2e/UpgradeFiles.h"

#include "audit/AuditLog.h"
#include "audit/AuditRecords.h"
#include "base/Clock.h"
#include "base/CmdConsole.h"
#include "comm/AnswerRecord.h"
#include "comm/PrinterJobs.h"
#include "firmware/PSWFile.h"
#include "gui/jobs/ExecOnDeviceController.h"
#include "gui/jobs/GetStatusDeviceController.h"
#include "gui/jobs/ReadDeviceDataController.h"
#include "gui/jobs/UpgradeDeviceController.h"
#include "gui/jobs/WriteDeviceDataController.h"
#include "model/PrinterData.h"
#include "model/ProtocolDataAvailable.h"
#include "model/ToolsData.h"
#include "upgrade/UpgradePrinter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

// The window's audit lines, written into a directory of the test's own.
class PrivateTrail {
public:
    PrivateTrail() : m_previous(std::getenv("XDG_STATE_HOME") ? std::getenv("XDG_STATE_HOME") : "") {
        setenv("XDG_STATE_HOME", m_dir.path().c_str(), 1);
    }
    ~PrivateTrail() { setenv("XDG_STATE_HOME", m_previous.c_str(), 1); }
    std::vector<audit::Entry> Entries() const {
        std::string error;
        return audit::ReadTrail(std::nullopt, error).value_or(audit::Trail{}).entries;
    }

private:
    TempDir m_dir;
    std::string m_previous;
};

constexpr int kJobWaitMs = 120000; // a limit for a hung job, never a pace

// What a job's jobFinished delivered, and on which thread.
struct Finished {
    int result = -2;
    void* object = nullptr;
    bool onMainThread = false;
};

class DeviceJobs : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::SetScaleForTesting(0.1);
        data.Init();
    }
    void TearDown() override { Clock::SetScaleForTesting(1.0); }

    // Starts the job the way the window does and waits for its jobFinished.
    template <class Controller, class... Args> Finished run(Controller& job, Args... args) {
        std::optional<Finished> finished;
        QObject::connect(&job, &Controller::jobFinished, [&finished](int result, auto... object) {
            finished = Finished{result, nullptr, QThread::currentThread() == qApp->thread()};
            ((finished->object = object), ...);
        });
        job.Start(args...);
        QSignalSpy spy(&job, &Controller::jobFinished);
        EXPECT_TRUE(finished || spy.wait(kJobWaitMs));
        return finished.value_or(Finished{});
    }

    Finished read(TranscribedPrinter& printer) {
        settings = printer.Settings();
        ReadDeviceDataController job;
        return run(job, &data, &settings);
    }

    PrinterData data;
    CommPortSettings settings;
};

TEST_F(DeviceJobs, ReadCountsUnreadableItemsAndReportsOnTheMainThread) {
    sim::Profile profile = ShippedProfile("default");
    profile.items.push_back(NumericItem(950, 42));
    profile.items.push_back(NumericItem(951, -1));
    TranscribedPrinter printer(profile);

    const Finished finished = read(printer);

    EXPECT_EQ(finished.result, 10002);
    EXPECT_TRUE(finished.onMainThread);
    EXPECT_NE(data.GetSetupItemHeader(), nullptr);
}

TEST_F(DeviceJobs, ReadFromAPortThatCannotOpenIsSixAndKeepsWhatWasRead) {
    CommPortSettings gone;
    {
        TranscribedPrinter printer(ShippedProfile("minimal"));
        ASSERT_EQ(read(printer).result, 0);
        gone = settings;
    }
    const SetupItemHeader* header = data.GetSetupItemHeader();
    ASSERT_NE(header, nullptr);
    settings = gone;
    ReadDeviceDataController job;

    EXPECT_EQ(run(job, &data, &settings).result, 6);
    EXPECT_EQ(data.GetSetupItemHeader(), header);
    EXPECT_TRUE(data.GetGSI().has_value());
}

TEST_F(DeviceJobs, StatusWriteAndToolJobsHandTheirResultsOver) {
    TranscribedPrinter printer(ShippedProfile("default"));
    ASSERT_EQ(read(printer).result, 0);

    GetStatusDeviceController statusJob;
    const Finished status = run(statusJob, &data, &settings);
    EXPECT_EQ(status.result, 0);
    EXPECT_TRUE(status.onMainThread);
    const std::unique_ptr<StatusDevice> bytes = GetStatusDeviceController::takeStatus(status.object);
    ASSERT_NE(bytes, nullptr);
    EXPECT_GT(bytes->generalLength, 0);

    ProtocolDataAvailable selection;
    selection.SetupDataToSave(false, true);
    WriteDeviceDataController writeJob;
    const PrivateTrail trail;
    EXPECT_EQ(run(writeJob, &data, &settings, &selection).result, 0);
    const std::vector<audit::Entry> written = trail.Entries();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].frontEnd, audit::kFrontEndWindow);
    EXPECT_TRUE(written[0].ok);
    EXPECT_EQ(written[0].items.size(), printer.FieldsOf("C5").size());

    ToolTag headTest = ToolsVector().at(4);
    for (const int type : {2, 1}) {
        ExecOnDeviceController toolJob;
        const Finished tool = run(toolJob, &data, &settings, data.GetProtocolDataAvailable(), type, &headTest,
                                  static_cast<unsigned char*>(nullptr), 0);
        const std::unique_ptr<AnswerRecord> answer = ExecOnDeviceController::takeAnswer(tool.object);
        EXPECT_EQ(tool.result, type == 1 ? 0 : 10001) << type;
        EXPECT_EQ(answer != nullptr, type == 1) << type;
    }
}

// The upgrade job's two bridges, wired as the window wires them: the worker blocks on the release
// question until the main thread answered, and hands its progress texts over.
UpgradeDeviceController* g_upgradeJob = nullptr;

TEST_F(DeviceJobs, UpgradeWaitsForTheMainThreadsAnswerAndHandsItsProgressOver) {
    sim::Profile profile = ShippedProfile("default");
    profile.firmware = "3.20"; // newer than the package's release: the question is asked
    profile.upgrade.emplace();
    profile.upgrade->mode = "U1";
    profile.upgrade->deviceIds = "1;2;3";
    profile.upgrade->firmwareAfter = "3.13";
    TranscribedPrinter printer(profile);
    settings = printer.Settings();
    TempDir dir;
    PSWFile package;
    const std::string path = WriteUpgradePackage(dir, {}).path;
    ASSERT_TRUE(package.LoadPSWFromFile(path.c_str(), true));
    PSWComponents components = package.GetComponents();

    UpgradeDeviceController job;
    g_upgradeJob = &job;
    QObject mainThread;
    bool askedOnMainThread = false;
    QStringList texts;
    QObject::connect(
        &job, &UpgradeDeviceController::showDialog, &mainThread,
        [&] {
            askedOnMainThread = QThread::currentThread() == qApp->thread() && job.question() == "3.13|3.20";
            job.setAnswer(UpgradeDeviceController::kAnswerGoOn);
        },
        Qt::BlockingQueuedConnection);
    QObject::connect(&job, &UpgradeDeviceController::changeWaitingLabel, &mainThread,
                     [&] { texts << job.takeMessages(); });
    SetAskFWUpgradeHandler([](const std::string& printerRelease, const std::string& packageRelease) {
        return g_upgradeJob->AskInMainThread("Upgrade firmware",
                                             QString::fromStdString(packageRelease + "|" + printerRelease)) ==
               UpgradeDeviceController::kAnswerGoOn;
    });
    CmdConsole::callback = [](const char* text) {
        g_upgradeJob->setMessage(text);
        g_upgradeJob->ChangeWaitingLabelInMainThread();
    };
    const PrivateTrail trail;
    const Finished finished =
        run(job, &data, &settings, UpgradeDeviceController::kKindPackage, &package, &components,
            static_cast<ModuleData*>(nullptr), std::optional(audit::IdentityOf(path, package)));
    CmdConsole::callback = nullptr;
    SetAskFWUpgradeHandler(nullptr);
    QCoreApplication::processEvents(); // texts still queued to the main thread

    EXPECT_EQ(finished.result, 0);
    EXPECT_TRUE(askedOnMainThread);
    EXPECT_EQ(printer.TransferOrder(), std::vector<std::string>{"firmware:image"});
    EXPECT_TRUE(texts.contains("Programming Firmware...")) << texts.join(" / ").toStdString();
    const std::vector<audit::Entry> upgraded = trail.Entries();
    ASSERT_EQ(upgraded.size(), 1u);
    EXPECT_EQ(upgraded[0].operation, audit::kOperationUpgrade);
    EXPECT_TRUE(upgraded[0].ok);
    ASSERT_TRUE(upgraded[0].package);
    EXPECT_EQ(upgraded[0].package->sha256.size(), 64u);
}

// Holds back the controller's queued slot calls: the worker's result stays undelivered.
class ResultHeldBack : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::MetaCall)
            return false;
        heldBack = true;
        loop.quit();
        return true;
    }
    bool heldBack = false;
    QEventLoop loop;
};

TEST_F(DeviceJobs, NoWorkerOutlivesItsControllerNorLeaksAnUndeliveredResult) {
    TranscribedPrinter printer(ShippedProfile("minimal"));
    settings = printer.Settings();
    auto job = std::make_unique<GetStatusDeviceController>();
    const QPointer<QObject> worker = job->worker();
    ASSERT_FALSE(worker.isNull());
    QObject::connect(job.get(), &GetStatusDeviceController::jobFinished,
                     [](int, void* status) { GetStatusDeviceController::takeStatus(status); });
    ResultHeldBack filter;
    job->installEventFilter(&filter);
    job->Start(&data, &settings);
    QTimer::singleShot(kJobWaitMs, &filter.loop, &QEventLoop::quit);
    filter.loop.exec();
    ASSERT_TRUE(filter.heldBack);

    // The status object is now the controller's to release (a leak fails the sanitizer build).
    job.reset();
    EXPECT_TRUE(worker.isNull());
}

} // namespace

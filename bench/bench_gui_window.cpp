// The main window with the large setup (640 items of all kinds) read from the simulated printer in this
// process: building the setup pages, switching pages, the longest stall of the main thread while a
// read job runs, while the status is polled and while an upgrade job runs, the time from
// construction to the first paint, and the peak memory with the setup shown.
#include "base/Clock.h"
#include "gui/DialogSeam.h"
#include "gui/MainWindow.h"
#include "gui/editors/SetupItemBase.h"
#include "gui/port/PortEnumeration.h"
#include "sim/InProcessPrinter.h"
#include "sim/Options.h"
// The fixture writer names a member `slots`, which Qt defines as a keyword.
#pragma push_macro("slots")
#undef slots
#include "tools/Fixtures.h"
#pragma pop_macro("slots")

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace {

char kProgram[] = "bench_gui_window";
char* kArgv[] = {kProgram, nullptr};

sim::Profile Large() {
    return sim::LoadProfileFile(sim::ResolveProfilePath("large"));
}

// CPU time of the main thread: the machine may be shared, and the build runs on this thread only.
double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void Trigger(MainWindow& window, const QString& text) {
    for (QAction* action : window.findChildren<QAction*>())
        if (action->text() == text) {
            action->trigger();
            return;
        }
}

// The Ethernet item of the port dialog set to the simulated printer.
void ChoosePort(MainWindow& window, uint16_t port) {
    DialogSeam::pushAnswer([port](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("lineEdit_Item3")->setText("127.0.0.1");
        dialog.findChild<QLineEdit*>("lineEdit_line3_Item3")->setText(QString::number(port));
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(dialog.findChild<QLineEdit*>("lineEdit_Item3"), &press);
        for (QPushButton* button : dialog.findChildren<QPushButton*>())
            if (button->text().remove('&') == "OK")
                button->click();
        return dialog.result();
    });
    window.findChild<QPushButton*>("pushButton_MenuPort")->click();
}

void WaitIdle(MainWindow& window) {
    while (window.isJobRunning())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The longest gap between ticks of a 1 ms timer on the main thread, split at the moment the job's
// result arrived (the working page appears): gaps before are stalls while the worker runs, the gap
// across is the handler building the pages.
struct StallProbe {
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 maxDuringJob = 0;
    qint64 maxOverall = 0;
};

struct ReadWindow {
    sim::InProcessPrinter printer{Large()};
    std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>(1, kArgv);
    StallProbe probe;

    ReadWindow() {
        window->show();
        ChoosePort(*window, printer.Port());
        auto* body = window->findChild<QStackedWidget*>("stackedWidgetMainBody");
        QTimer timer;
        timer.setInterval(1);
        probe.clock.start();
        QObject::connect(&timer, &QTimer::timeout, [&] {
            const qint64 now = probe.clock.elapsed();
            const qint64 gap = now - probe.last;
            probe.last = now;
            probe.maxOverall = std::max(probe.maxOverall, gap);
            if (body->currentIndex() == 0)
                probe.maxDuringJob = std::max(probe.maxDuringJob, gap);
        });
        timer.start();
        Trigger(*window, "From Device");
        WaitIdle(*window);
        timer.stop();
    }
};

std::unique_ptr<ReadWindow> g_shared;

ReadWindow& Shared() {
    if (!g_shared)
        g_shared = std::make_unique<ReadWindow>();
    return *g_shared;
}

void BM_BuildSetupPages(benchmark::State& state) {
    MainWindow& window = *Shared().window;
    double build = 0, settle = 0;
    for (auto _ : state) {
        double start = ThreadCpuMs();
        window.showPrinterData();
        build += ThreadCpuMs() - start;
        start = ThreadCpuMs();
        QCoreApplication::processEvents(); // the layout pass the build leads to
        settle += ThreadCpuMs() - start;
    }
    state.counters["build_ms"] = build / static_cast<double>(state.iterations());
    state.counters["events_ms"] = settle / static_cast<double>(state.iterations());
    state.counters["items"] = window.setupItemWidgets().size();
}
BENCHMARK(BM_BuildSetupPages)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SwitchPage(benchmark::State& state) {
    MainWindow& window = *Shared().window;
    auto* first = window.findChild<QAbstractButton*>("radioButton_SetupCommunication");
    auto* second = window.findChild<QAbstractButton*>("radioButton_SetupPrint");
    bool flip = false;
    for (auto _ : state) {
        (flip ? first : second)->click();
        flip = !flip;
        QCoreApplication::processEvents(); // layout and paint of the page shown
    }
}
BENCHMARK(BM_SwitchPage)->Unit(benchmark::kMillisecond)->Iterations(40);

void BM_ReadJobMainThreadStall(benchmark::State& state) {
    for (auto _ : state) {
        ReadWindow read;
        state.counters["stall_during_job_ms"] = static_cast<double>(read.probe.maxDuringJob);
        state.counters["stall_with_result_ms"] = static_cast<double>(read.probe.maxOverall);
        state.counters["items"] = read.window->setupItemWidgets().size();
    }
}
BENCHMARK(BM_ReadJobMainThreadStall)->Unit(benchmark::kMillisecond)->Iterations(1);

// Requests of this kind in a simulator transcript (one JSON object per line).
int CountRequests(const QString& transcript, const std::string& request) {
    std::ifstream in(transcript.toStdString());
    const std::string needle = "\"request\":\"" + request + "\"";
    int count = 0;
    for (std::string line; std::getline(in, line);)
        count += line.find(needle) != std::string::npos;
    return count;
}

// The status polled back to back for two seconds: each cycle is a new job with its own thread, set up
// and released on the main thread, which must stay free for the user meanwhile.
void BM_PollingMainThreadStall(benchmark::State& state) {
    for (auto _ : state) {
        QTemporaryDir dir;
        const QString transcript = dir.filePath("transcript.jsonl");
        sim::InProcessPrinter printer(sim::LoadProfileFile(sim::ResolveProfilePath("default")),
                                      sim::InProcessOptions{{}, transcript.toStdString(), std::nullopt});
        char option[] = "--SWPOLLSTATUS";
        char* argv[] = {kProgram, option, nullptr};
        MainWindow window(2, argv);
        window.show();
        ChoosePort(window, printer.Port());
        Trigger(window, "From Device");
        WaitIdle(window);
        window.findChild<QAbstractButton*>("radioButton_Status")->click();
        auto* poll = window.findChild<QPushButton*>("pushButton_pollStatus");

        QElapsedTimer clock;
        qint64 last = 0, maxGap = 0;
        QTimer timer;
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            maxGap = std::max(maxGap, now - last);
            last = now;
        });
        const int before = CountRequests(transcript, "C138");
        clock.start();
        timer.start();
        poll->click();
        while (clock.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        poll->click(); // stop; the cycle under way finishes
        WaitIdle(window);
        const double seconds = static_cast<double>(clock.elapsed()) / 1e3;
        timer.stop();
        const int cycles = CountRequests(transcript, "C138") - before;
        state.counters["stall_while_polling_ms"] = static_cast<double>(maxGap);
        state.counters["cycles"] = cycles;
        state.counters["cycles_per_s"] = cycles / seconds;
    }
}
BENCHMARK(BM_PollingMainThreadStall)->Unit(benchmark::kMillisecond)->Iterations(1);
#pragma push_macro("slots")
#undef slots
// A format-2 package of a 4-bank firmware, release 3.13, for the printer of UpgradePrinter().
std::string WriteUpgradePackage() {
    fixtures::PackageDescription desc = fixtures::StandardPackage(true, {});
    std::get<fixtures::PrinterSlot>(desc.slots[0]).release = "313";
    fixtures::ModuleSlot image;
    image.kind = 's';
    image.image = fixtures::PatternBytes(4 * 512, 7);
    image.numBank = 4;
    image.bankDim = 512;
    desc.slots.push_back(image);
    const std::vector<uint8_t> bytes = fixtures::WritePackage(desc);
    const std::string path =
        QDir::temp().filePath(QString("bench-gui-upgrade-%1.psw").arg(getpid())).toStdString();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}
#pragma pop_macro("slots")

sim::Profile UpgradePrinter() {
    sim::Profile profile = sim::LoadProfileFile(sim::ResolveProfilePath("default"));
    profile.firmware = "3.12";
    profile.upgrade.emplace();
    profile.upgrade->mode = "U1";
    profile.upgrade->deviceIds = "1;2;3";
    profile.upgrade->firmwareAfter = "3.13";
    return profile;
}

// The longest gap between ticks of a 1 ms timer while the upgrade job runs: the progress texts and the
// job's signals are the main thread's only work then.
void BM_UpgradeJobMainThreadStall(benchmark::State& state) {
    const std::string package = WriteUpgradePackage();
    for (auto _ : state) {
        sim::InProcessPrinter printer(UpgradePrinter());
        MainWindow window(1, kArgv);
        window.show();
        ChoosePort(window, printer.Port());
        DialogSeam::pushFileName(QString::fromStdString(package));
        window.findChild<QPushButton*>("pushButton_UpgradeOpen")->click();
        StallProbe probe;
        QTimer timer;
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            const qint64 now = probe.clock.elapsed();
            if (window.isJobRunning())
                probe.maxDuringJob = std::max(probe.maxDuringJob, now - probe.last);
            probe.last = now;
        });
        probe.clock.start();
        timer.start();
        window.findChild<QPushButton*>("pushButton_UpgradePerform")->click();
        WaitIdle(window);
        timer.stop();
        state.counters["stall_during_upgrade_ms"] = static_cast<double>(probe.maxDuringJob);
    }
    std::remove(package.c_str());
}
BENCHMARK(BM_UpgradeJobMainThreadStall)->Unit(benchmark::kMillisecond)->Iterations(1);

class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

void BM_StartToFirstPaint(benchmark::State& state) {
    for (auto _ : state) {
        PaintWatch watch;
        QElapsedTimer clock;
        clock.start();
        MainWindow window(1, kArgv);
        window.findChild<QWidget*>("page_1")->installEventFilter(&watch);
        window.show();
        while (!watch.painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_StartToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PeakMemoryWithLargeSetup(benchmark::State& state) {
    MainWindow& window = *Shared().window;
    for (auto _ : state)
        benchmark::DoNotOptimize(window.setupItemWidgets().size());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_PeakMemoryWithLargeSetup)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    Clock::SetScaleForTesting(0.1); // the protocol's pauses are not what is measured
    // The port dialog lists no devices of this machine and broadcasts no discovery.
    const auto none = [](std::string&) { return std::vector<std::string>{}; };
    PortEnumeration::forNewDialogs() = PortEnumeration{none, none, none, none};
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_shared.reset(); // before the application object goes
    return 0;
}

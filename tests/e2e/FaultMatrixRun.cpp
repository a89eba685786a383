// Running one case of the fault matrix: the files an operation sends, the clean run (kept on disk so
// that the case processes ctest starts share it), the faulted run over its link, and the judgement.
#include "tests/e2e/FaultMatrixDesign.h"

#include "base/Clock.h"
#include "comm/CommLayer.h"
#include "comm/PrinterComm.h"
#include "model/PrinterData.h"
#include "model/TCFXDataWriter.h"
#include "tests/e2e/SimPrinter.h"
#include "tests/e2e/UpgradeFiles.h"
#include "tests/support/BackgroundProcess.h"
#include "tests/support/NetworkNamespace.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <memory>
#include <set>
#include <thread>
#include <unistd.h>

namespace faultmatrix {
namespace {

uint64_t NowMs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

uint64_t Scaled(uint64_t designMs) {
    return static_cast<uint64_t>(std::ceil(static_cast<double>(designMs) * std::stod(kTimeScale)));
}

// ---- what the operations send

// A setup archive of the default printer, read by the product itself, with one list item changed.
std::string WriteArchive(const TempDir& dir) {
    SimPrinter printer;
    Clock::SetScaleForTesting(std::stod(kTimeScale));
    PrinterComm comm(255, 1);
    PrinterData data;
    data.Init();
    CommLayer layer;
    CommPortSettings settings;
    settings.type = COMM_ETHERNET;
    settings.ipAddress = "127.0.0.1";
    settings.tcpPort = printer.Port();
    comm.PrnCom_Init(&layer, &data, &settings);
    comm.PrnCom_ReadSetupData(&layer, &data, &settings, false);
    for (const auto& item : data.GetSetupItems()) {
        auto* list = dynamic_cast<SetupItemTypeList*>(item.get());
        if (list == nullptr || list->GetItems().size() < 2)
            continue;
        const auto& choices = list->GetItems();
        list->SetCurrentUIValue(choices.front().Value == list->GetCurrentUIValue() ? choices.back().Value
                                                                                   : choices.front().Value);
        break;
    }
    data.GetProtocolDataAvailable()->SetupDataToSave(false, true);
    TCFXDataWriter writer;
    const std::string path = dir.file("setup.tcfx");
    if (!writer.openDocument() || !data.Serialize_Save(writer) || !writer.saveToFile(path))
        return "";
    return path;
}

std::string BuildStamp();

// One archive for every case process, so that each sends what its clean run sent; written under
// another name first, as the others may read it meanwhile.
std::string SharedArchive(const TempDir& dir) {
    const std::string shared =
        ResultDirectory() + "/setup-" + std::to_string(std::hash<std::string>{}(BuildStamp())) + ".tcfx";
    if (std::filesystem::exists(shared))
        return shared;
    const std::string written = WriteArchive(dir);
    if (written.empty())
        return "";
    const std::string temporary = shared + "." + std::to_string(getpid());
    std::filesystem::copy_file(written, temporary, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::rename(temporary, shared);
    return shared;
}

// Banks that do not fit in the socket buffers: a link lost on the way stops the writes.
const PackageShape kLargePackage{.banks = 8, .bankSize = 1u << 18};

struct Files {
    TempDir dir;
    std::string script, module, package, largePackage, archive;
};

const Files& FilesFor(Op op) {
    static Files files;
    if (files.script.empty()) {
        files.dir.write("job.spt", "! SCRIPT\nPRINT \"matrix\"\n");
        files.script = files.dir.file("job.spt");
        files.module = WriteModule(files.dir, 'F').path;
        files.package = WriteUpgradePackage(files.dir, {}).path;
        files.largePackage = WriteUpgradePackage(files.dir, kLargePackage, "large.psw").path;
    }
    if ((op == Op::SendChanged || op == Op::SendAll) && files.archive.empty())
        files.archive = SharedArchive(files.dir);
    return files;
}

std::vector<std::string> Arguments(const Case& c) {
    const Files& f = FilesFor(c.op);
    switch (c.op) {
    case Op::PrinterVersion:
        return {"--printerversion", "-v"};
    case Op::Tool:
        return {"--exectool", "-v", "-rtool", "1-3"};
    case Op::UploadTool:
        return {"--exectool", "-v", "-rtool", "1-6", f.script};
    case Op::SendChanged:
        return {"--sendtcfx", "-v", "-f", f.archive, "-od", "1"};
    case Op::SendAll:
        return {"--sendtcfx", "-v", "-f", f.archive, "-od", "0"};
    case Op::UpgradeModule:
        return {"--upgrade", "-v", "-f", f.module};
    case Op::UpgradePackage:
        return {"--upgrade", "-v", "-f", LargeImage(c) ? f.largePackage : f.package};
    }
    return {};
}

// The printer the packages and modules are made for.
std::vector<std::string> PrinterSets(const Case& c) {
    if (c.op != Op::UpgradeModule && c.op != Op::UpgradePackage)
        return {};
    const int banks = LargeImage(c) ? kLargePackage.banks : PackageShape{}.banks;
    return {"upgrade.mode=U1", "upgrade.device_ids=1;2;3", "upgrade.banks=" + std::to_string(banks)};
}

// ---- one run over a link

struct Run {
    ProcessResult result;
    uint64_t elapsedMs = 0;
    std::vector<nlohmann::json> lines;
};

std::vector<std::string> SimArguments(const std::string& transcript, const std::vector<std::string>& faults,
                                      const Case& c) {
    std::vector<std::string> args{"--transcript", transcript};
    for (const std::string& fault : faults)
        args.insert(args.end(), {"--fault", fault});
    for (const std::string& set : PrinterSets(c))
        args.insert(args.end(), {"--set", set});
    return args;
}

Run RunOverLink(const Case& c, const std::vector<std::string>& faults, int limitMs) {
    Run run;
    if (c.link == Link::Usb) {
        TempDir dir;
        SimTranscript transcript(dir.file("transcript.jsonl"));
        const uint64_t start = NowMs();
        run.result = DalvoraOverUsb(SimArguments(transcript.Path(), faults, c), Arguments(c), limitMs);
        run.elapsedMs = NowMs() - start;
        run.lines = transcript.Lines();
        return run;
    }
    SimPrinter printer({.faults = faults, .pty = c.link == Link::Pty, .sets = PrinterSets(c)});
    if (!printer.Started())
        return run;
    const uint64_t start = NowMs();
    run.result = Dalvora(Args(Arguments(c), printer.DeviceArgs()), limitMs);
    run.elapsedMs = NowMs() - start;
    run.lines = printer.Log().Lines();
    return run;
}

// The printer in a namespace of its own behind a veth pair, dalvora in another; once the printer has
// seen the chosen exchange its end of the pair goes down, as a printer unplugged from the network. The
// printer holds that answer back meanwhile (within the program's wait), so the link is gone before
// it leaves.
Run RunVanishing(const Case& c, const Exchange& after, const std::vector<std::string>& faults, int limitMs,
                 std::string& skip) {
    Run run;
    skip = NetworkNamespace::Unavailable();
    if (!skip.empty())
        return run;
    NetworkNamespace::RemoveStale();
    NetworkNamespace host("h");
    NetworkNamespace printers("p");
    std::string error;
    if (!host.Valid() || !printers.Valid() ||
        !JoinWithVeth(host, "10.79.0.1/24", printers, "10.79.0.2/24", error)) {
        skip = "no test network: " + host.Error() + printers.Error() + error;
        return run;
    }
    TempDir dir;
    SimTranscript transcript(dir.file("transcript.jsonl"));
    BackgroundProcess sim(NetworkNamespace::IpProgram(),
                          Args(Args({"netns", "exec", printers.Name(), "/usr/bin/env",
                                     std::string("DALVORA_TESTONLY_TIME_SCALE=") + kTimeScale,
                                     DALVORA_SIM_BINARY, "--tcp", "10.79.0.2:0"},
                                    SimArguments(transcript.Path(), faults, c)),
                               {}));
    const std::string line = sim.ReadLine(10000);
    const size_t colon = line.rfind(':');
    if (line.rfind("listening tcp", 0) != 0 || colon == std::string::npos)
        return run;
    ProcessOptions options;
    options.env = {{"QT_QPA_PLATFORM", "offscreen"}, {"DALVORA_TESTONLY_TIME_SCALE", kTimeScale}};
    options.timeoutMs = limitMs;
    const std::vector<std::string> args =
        Args(Args({"netns", "exec", host.Name(), DALVORA_BINARY}, Arguments(c)),
             {"-t", "eth", "-d", "10.79.0.2:" + line.substr(colon + 1)});
    const uint64_t start = NowMs();
    auto running = std::async(std::launch::async,
                              [&] { return RunProcess(NetworkNamespace::IpProgram(), args, options); });
    while (running.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready) {
        if (transcript.Count(after.kind) >= after.nth) {
            if (!printers.Ip({"link", "set", VethName('b'), "down"}))
                skip = "the printer's link stays up: " + printers.Error();
            break;
        }
    }
    run.result = running.get();
    run.elapsedMs = NowMs() - start;
    run.lines = transcript.Lines();
    return run;
}

// The exchanges a fault switch can select, numbered per kind as the simulator numbers them.
std::vector<Exchange> Conversation(const std::vector<nlohmann::json>& lines) {
    std::map<std::string, int> counts;
    std::vector<Exchange> exchanges;
    for (const nlohmann::json& line : lines) {
        const std::string kind = line.value("request", "");
        if (kind.empty() || kind == "CAN" || kind == "EPOS" || kind == "STRAY" || kind == "IGNORED")
            continue;
        exchanges.push_back({kind, ++counts[kind]});
    }
    return exchanges;
}

size_t AnsweredBytes(const std::vector<nlohmann::json>& lines) {
    size_t bytes = 0;
    for (const nlohmann::json& line : lines)
        if (line.contains("answered") && line["answered"].is_string())
            bytes += line["answered"].get<std::string>().size() / 2;
    return bytes;
}

// ---- the clean run, once per operation and link for every process of the suite

// The builds of the two programs a clean run was made with: a rebuilt one may talk differently.
std::string BuildStamp() {
    std::string stamp;
    for (const char* program : {DALVORA_BINARY, DALVORA_SIM_BINARY}) {
        std::error_code error;
        const auto written = std::filesystem::last_write_time(program, error);
        stamp += std::to_string(written.time_since_epoch().count()) + ";";
    }
    return stamp;
}

std::optional<CleanRun> LoadClean(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    const nlohmann::json j = nlohmann::json::parse(in, nullptr, false);
    if (j.is_discarded() || j.value("build", "") != BuildStamp())
        return std::nullopt;
    CleanRun clean;
    for (const auto& e : j["exchanges"])
        clean.exchanges.push_back({e[0].get<std::string>(), e[1].get<int>()});
    clean.elapsedMs = j["elapsedMs"].get<uint64_t>();
    clean.answeredBytes = j["answeredBytes"].get<size_t>();
    clean.lines = j["lines"].get<std::vector<nlohmann::json>>();
    clean.out = j.value("out", "");
    return clean;
}

std::optional<CleanRun> Clean(const Case& c, std::string& problem) {
    const std::string path = ResultDirectory() + "/clean-" + CleanKey(c) + ".json";
    if (std::optional<CleanRun> cached = LoadClean(path))
        return cached;
    Case clean = c;
    clean.fault = Fault::Drip;
    const Run run = RunOverLink(clean, {}, 120000);
    if (run.result.exitCode != 0 || run.lines.empty()) {
        problem = "the clean run failed (" + std::to_string(run.result.exitCode) + "):\n" + run.result.out;
        return std::nullopt;
    }
    nlohmann::json j;
    j["exchanges"] = nlohmann::json::array();
    for (const Exchange& e : Conversation(run.lines))
        j["exchanges"].push_back({e.kind, e.nth});
    j["elapsedMs"] = run.elapsedMs;
    j["answeredBytes"] = AnsweredBytes(run.lines);
    j["lines"] = run.lines;
    j["build"] = BuildStamp();
    j["out"] = run.result.out;
    // Written whole under another name first: the other case processes read it meanwhile.
    const std::string temporary = path + "." + std::to_string(getpid());
    std::ofstream(temporary) << j.dump();
    std::filesystem::rename(temporary, path);
    return LoadClean(path);
}

} // namespace

std::string ResultDirectory() {
    static const std::string directory = [] {
        std::filesystem::create_directories(FAULT_MATRIX_DIR);
        return std::string(FAULT_MATRIX_DIR);
    }();
    return directory;
}

// ---- the faulted run

namespace {

constexpr uint32_t kDripBytes = 16;
constexpr uint64_t kDripIntervalMs = 10;
constexpr uint64_t kSlowRestartMs = 3000;

struct Plan {
    std::vector<std::string> faults;
    uint64_t injectedMs = 0; // what the fault itself adds to each answer it strikes
    bool mustComplete = false;
};

Plan PlanFor(const Case& c, const Exchange& at, const CleanRun& clean) {
    const std::string s = at.Selector();
    switch (c.fault) {
    case Fault::NoAnswer:
        return {{"no-answer=" + s}};
    case Fault::Error:
        return {{"error=" + s + ":05"}};
    case Fault::WrongChecksum:
        return {{"wrong-checksum=" + s}};
    case Fault::Drop:
        return {{"drop=" + s + ":3"}};
    case Fault::Stall: {
        const uint64_t ms = StallMs(c.op, c.link, at.kind);
        return {{"late=" + s + ":" + std::to_string(ms)}, ms};
    }
    case Fault::Garbage:
        return {{"garbage=" + s + ":7"}};
    case Fault::Drip: {
        const uint64_t pieces = clean.answeredBytes / kDripBytes + clean.exchanges.size();
        return {{"drip=" + std::to_string(kDripBytes) + ":" + std::to_string(kDripIntervalMs)},
                pieces * kDripIntervalMs,
                true};
    }
    case Fault::LateWithin: {
        const uint64_t ms = WithinMs(c.op, c.link, at.kind);
        return {{"late=" + s + ":" + std::to_string(ms)}, ms, true};
    }
    case Fault::Stale:
        return {{"stale=" + s}};
    case Fault::Vanish: {
        const uint64_t ms = WithinMs(c.op, c.link, at.kind);
        return {{"late=" + s + ":" + std::to_string(ms)}, ms};
    }
    case Fault::BadSum:
        return {{"bad-sum=" + s}};
    case Fault::Refused:
        return {{"answer=" + s + ":0x66"}};
    case Fault::NoReturn:
        return {{"no-return=" + s}};
    case Fault::Split: {
        size_t longest = 0;
        for (const nlohmann::json& line : clean.lines)
            if (line.value("request", "") == at.kind && line.contains("answered") &&
                line["answered"].is_string())
                longest = std::max(longest, line["answered"].get<std::string>().size() / 2);
        return {{"split=" + s + ":1:" + std::to_string(kDripIntervalMs)}, longest * kDripIntervalMs, true};
    }
    case Fault::SlowRestart:
        return {{"slow-restart=" + s + ":" + std::to_string(kSlowRestartMs)}, kSlowRestartMs, true};
    }
    return {};
}

bool FaultNoted(const nlohmann::json& line) {
    if (!line.contains("notes"))
        return false;
    for (const auto& note : line["notes"]) {
        const std::string text = note.get<std::string>();
        for (const char* spoiling : {"no-answer", "error", "drop", "stale", "wrong-checksum"})
            if (text.rfind(spoiling, 0) == 0)
                return true;
    }
    return false;
}

// Request kind and first field of every exchange that got its own answer whole.
std::set<std::pair<std::string, std::string>> GoodAnswers(const std::vector<nlohmann::json>& lines) {
    std::set<std::pair<std::string, std::string>> good;
    for (const nlohmann::json& line : lines) {
        if (!line.contains("request") || !line.contains("answered") || !line["answered"].is_string() ||
            FaultNoted(line))
            continue;
        const std::string field =
            line.contains("fields") && !line["fields"].empty() ? line["fields"][0].get<std::string>() : "";
        good.insert({line["request"].get<std::string>(), field});
    }
    return good;
}

// The items whose values the printer stored.
std::set<int> StoredItems(const std::vector<nlohmann::json>& lines) {
    std::set<int> ids;
    for (const nlohmann::json& line : lines)
        if (line.contains("changes"))
            for (const auto& change : line["changes"])
                if (change.value("state", "") == "current")
                    ids.insert(change.value("id", 0));
    return ids;
}

bool Installed(const std::vector<nlohmann::json>& lines) {
    for (const nlohmann::json& line : lines)
        if (line.contains("transfer") && line["transfer"].value("installed", false))
            return true;
    return false;
}

// The lines of the program's output that start with `prefix`.
std::vector<std::string> LinesStarting(const std::string& text, const std::string& prefix) {
    std::vector<std::string> found;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        if (text.compare(at, prefix.size(), prefix) == 0)
            found.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return found;
}

// The identity the printer reported, as the program shows it.
std::string IdentityDiffers(const std::string& faulted, const std::string& clean) {
    for (const char* prefix : {"GSI: ", "Firmware release: "})
        if (LinesStarting(faulted, prefix) != LinesStarting(clean, prefix))
            return std::string("shows another ") + prefix;
    return "";
}

// A run that ended with 0 must have done the whole operation: the identity as shown cleanly and every
// item, the tool's answer, every value stored, or the installed image.
std::string Incomplete(Op op, const ProcessResult& result, const std::vector<nlohmann::json>& faulted,
                       const CleanRun& clean) {
    if (op == Op::PrinterVersion)
        if (const std::string differs = IdentityDiffers(result.out, clean.out); !differs.empty())
            return differs;
    if (op == Op::UpgradeModule || op == Op::UpgradePackage)
        return Installed(faulted) ? "" : "nothing installed";
    if (op == Op::SendChanged || op == Op::SendAll) {
        const std::set<int> stored = StoredItems(faulted);
        for (int id : StoredItems(clean.lines))
            if (stored.count(id) == 0)
                return "item " + std::to_string(id) + " never stored";
        return "";
    }
    const auto got = GoodAnswers(faulted);
    const std::string kind = op == Op::PrinterVersion ? "C4" : "C81";
    for (const auto& answer : GoodAnswers(clean.lines))
        if (answer.first == kind && got.count(answer) == 0)
            return answer.first + " " + answer.second + " never answered whole";
    return "";
}

std::vector<int> FailureStatuses(Op op) {
    if (op == Op::UpgradeModule || op == Op::UpgradePackage)
        return {11, 12, 14, 15};
    return {14};
}

void Judge(const Case& c, const Plan& plan, const Run& run, const CleanRun& clean, Verdict& v) {
    const ProcessResult& r = run.result;
    // Under the USB simulator a signal comes back as 128 + its number.
    const bool killed = r.signal != 0 || (c.link == Link::Usb && r.exitCode > 128);
    if (r.timedOut)
        v.problems.push_back("hang: killed after " + std::to_string(run.elapsedMs) + " ms");
    else if (killed)
        v.problems.push_back("crash: signal " + std::to_string(r.signal ? r.signal : r.exitCode - 128));
    else if (r.exitCode == 0) {
        if (const std::string missing = Incomplete(c.op, run.result, run.lines, clean); !missing.empty())
            v.problems.push_back("wrong status: 0 but " + missing);
    } else {
        const std::vector<int> allowed = FailureStatuses(c.op);
        if (std::find(allowed.begin(), allowed.end(), r.exitCode) == allowed.end())
            v.problems.push_back("wrong status: " + std::to_string(r.exitCode));
        else if (plan.mustComplete)
            v.problems.push_back("wrong status: " + std::to_string(r.exitCode) +
                                 " for a fault within the time-outs");
        if ((c.op == Op::SendChanged || c.op == Op::SendAll) && !StoredItems(run.lines).empty())
            v.problems.push_back("stored after failure");
    }
    if (!r.timedOut && run.elapsedMs > v.boundMs)
        v.problems.push_back("over bound: " + std::to_string(run.elapsedMs) + " ms");
}

} // namespace

std::string Verdict::Summary(const std::string& name) const {
    std::string verdict = skipReason.empty() ? (problems.empty() ? "pass" : problems.front()) : "skipped";
    verdict = verdict.substr(0, verdict.find(':'));
    for (char& ch : verdict)
        if (ch == ' ')
            ch = '-';
    char line[512];
    std::snprintf(line, sizeof line, "%s verdict=%s status=%d signal=%d elapsed_ms=%llu bound_ms=%llu at=%s",
                  name.c_str(), verdict.c_str(), result.exitCode, result.signal,
                  static_cast<unsigned long long>(elapsedMs), static_cast<unsigned long long>(boundMs),
                  selector.empty() ? "-" : selector.c_str());
    return line;
}

Verdict RunCase(const Case& c) {
    Verdict v;
    std::string problem;
    const std::optional<CleanRun> clean = Clean({c.op, c.fault, c.where, c.link}, problem);
    if (!clean) {
        v.problems.push_back(problem);
        return v;
    }
    const std::optional<Exchange> at = Resolve(c, clean->exchanges);
    if (!at) {
        v.skipReason = "the conversation has no such exchange";
        return v;
    }
    v.selector = at->Selector();
    if (c.fault == Fault::Stale && at->nth == 1) {
        v.skipReason = "the first answer of its kind has no earlier one to repeat";
        return v;
    }
    const Plan plan = PlanFor(c, *at, *clean);
    // The run's own pace (measured clean) twice over, and what the design lets the fault cost.
    v.boundMs = 2 * clean->elapsedMs + Scaled(DesignCostMs(c, at->kind, plan.injectedMs));
    const int limitMs = static_cast<int>(v.boundMs) + 30000;
    Run run;
    if (c.fault == Fault::Vanish) {
        run = RunVanishing(c, *at, plan.faults, limitMs, v.skipReason);
        if (!v.skipReason.empty())
            return v;
    } else {
        run = RunOverLink(c, plan.faults, limitMs);
    }
    v.result = run.result;
    v.elapsedMs = run.elapsedMs;
    Judge(c, plan, run, *clean, v);
    return v;
}

} // namespace faultmatrix

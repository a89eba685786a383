// The audit trail: what a line holds (and never holds: a password), that concurrent writers never
// tear or lose a line, and reading it back with a time filter past lines that are not entries.
#include "audit/AuditJson.h"
#include "audit/AuditLog.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

audit::Entry SampleEntry(int64_t time, const std::string& port) {
    audit::Entry entry;
    entry.time = time;
    entry.user = "operator";
    entry.frontEnd = audit::kFrontEndFleet;
    entry.operation = audit::kOperationWrite;
    entry.printer = {0x141, "TK180 FW 3.12.4", port};
    entry.items = {{5, "DHCP", "1", "0", false}, {11, "Admin password", "old-secret", "new-secret", true}};
    entry.ok = true;
    return entry;
}

TEST(AuditLine, KeepsEverythingButConfidentialValues) {
    const audit::Entry entry = SampleEntry(1'765'000'000, "eth:10.0.0.5:9100");
    const nlohmann::json line = audit::ToJson(entry);
    const std::string text = line.dump();
    EXPECT_EQ(text.find("secret"), std::string::npos) << text;
    EXPECT_EQ(line["printer"]["gsi"], "0x0141");
    EXPECT_EQ(line["items"][1]["new"], audit::kMasked);
    EXPECT_EQ(line["time"], "2025-12-06T05:46:40Z");

    const std::optional<audit::Entry> back = audit::FromJson(nlohmann::json::parse(text));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->time, entry.time);
    EXPECT_EQ(back->printer.gsi, entry.printer.gsi);
    EXPECT_EQ(back->items[0].before, "1");
    EXPECT_EQ(back->items[0].after, "0");
    EXPECT_TRUE(back->items[1].confidential);
}

TEST(AuditLine, TimesAreUtcAndStrict) {
    EXPECT_EQ(audit::ParseUtc("2026-12-08"), audit::ParseUtc("2026-12-08T00:00:00Z"));
    EXPECT_EQ(audit::FormatUtc(*audit::ParseUtc("2026-02-28T23:59:59Z")), "2026-02-28T23:59:59Z");
    for (const char* bad :
         {"", "2026-13-01", "2026-12-08T25:00:00Z", "2026-12-08 10:00", "2026-12-08Tjunk", "yesterday"})
        EXPECT_FALSE(audit::ParseUtc(bad)) << bad;
}

TEST(AuditTrail, ConcurrentWritersNeverTearALine) {
    TempDir dir;
    const std::string path = dir.file("state/dalvora/audit.jsonl");
    constexpr int kProcesses = 4, kThreads = 4, kLines = 40;
    // Processes and threads alike: the window and a fleet run may append at the same moment.
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::vector<std::thread> threads;
            bool allWritten = true;
            for (int t = 0; t < kThreads; ++t)
                threads.emplace_back([&, t] {
                    // A long port name makes each line several kilobytes: larger than one pipe buffer.
                    const std::string port =
                        "eth:" + std::string(5000, static_cast<char>('a' + p)) + std::to_string(t);
                    for (int i = 0; i < kLines; ++i) {
                        std::string error;
                        if (!audit::Append(SampleEntry(1'765'000'000 + i, port), error, path))
                            allWritten = false;
                    }
                });
            for (std::thread& thread : threads)
                thread.join();
            _exit(allWritten ? 0 : 1);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::string error;
    const std::optional<audit::Trail> trail = audit::ReadTrail(std::nullopt, error, path);
    ASSERT_TRUE(trail) << error;
    EXPECT_EQ(trail->unreadable, 0u);
    EXPECT_EQ(trail->entries.size(), static_cast<size_t>(kProcesses * kThreads * kLines));
}

TEST(AuditTrail, ReadsSinceATimeAndCountsForeignLines) {
    TempDir dir;
    const std::string path = dir.file("audit.jsonl");
    std::string error;
    ASSERT_TRUE(audit::Append(SampleEntry(1000, "eth:a"), error, path)) << error;
    { std::ofstream(path, std::ios::app) << "not json\n{\"time\": \"2026-01-01T00:00:00Z\"}\n"; }
    ASSERT_TRUE(audit::Append(SampleEntry(3000, "eth:b"), error, path)) << error;

    const std::optional<audit::Trail> all = audit::ReadTrail(std::nullopt, error, path);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->entries.size(), 2u);
    EXPECT_EQ(all->unreadable, 2u);
    const std::optional<audit::Trail> recent = audit::ReadTrail(2000, error, path);
    ASSERT_TRUE(recent);
    ASSERT_EQ(recent->entries.size(), 1u);
    EXPECT_EQ(recent->entries[0].printer.port, "eth:b");

    const std::optional<audit::Trail> none = audit::ReadTrail(std::nullopt, error, dir.file("missing.jsonl"));
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->entries.empty());
}

TEST(AuditTrail, FileIsPrivateToTheUser) {
    TempDir dir;
    const std::string path = dir.file("new/dalvora/audit.jsonl");
    std::string error;
    ASSERT_TRUE(audit::Append(SampleEntry(1, "eth:a"), error, path)) << error;
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(dir.file("new/dalvora").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

} // namespace

// Discovery answers, the table of printers found and its listing, without any network.
#include "transport/EthDiscovery.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::optional<std::string> Parse(const std::string& datagram) {
    return EthDiscovery::ParseAnswer(reinterpret_cast<const unsigned char*>(datagram.data()),
                                     datagram.size());
}

bool Record(EthDiscovery::DeviceTable& table, const std::string& address, const std::string& datagram) {
    return table.Record(address, reinterpret_cast<const unsigned char*>(datagram.data()), datagram.size());
}

const std::string kTag = "<VM><STSMOA><NAME>";

} // namespace

TEST(EthDiscoveryAnswer, NameSitsBetweenTheCharacterAfterTheTagAndTheLastOne) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {kTag + "<Kiosk-1>", "Kiosk-1"},
        {"junk before " + kTag + "[Front desk]", "Front desk"},
        {kTag + "<>", ""},
        {kTag, ""},
        {kTag + "<", ""},
        {kTag + std::string("<Ab>\0garbage", 12), "Ab"}, // the text ends at its first NUL
        // A line feed in a name would split the listing into a bogus extra entry.
        {kTag + "<Two\nLines\r>", "Two Lines "},
        // Only the first kilobyte is read: the name loses its last byte there.
        {kTag + "<" + std::string(3000, 'N') + ">", std::string(1024 - kTag.size() - 2, 'N')},
        {"<VM><STSMOQ><NAME>", std::nullopt}, // a query, e.g. our own echo
        {"<VM><STSMOA><NAM", std::nullopt},
        {std::string("x\0", 2) + kTag + "<A>", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [datagram, name] : cases)
        EXPECT_EQ(Parse(datagram), name) << datagram.substr(0, 40);
    EXPECT_FALSE(EthDiscovery::ParseAnswer(nullptr, 10));
}

TEST(EthDiscoveryTable, FirstAnswerOfAnAddressWinsAndOrderIsArrival) {
    EthDiscovery::DeviceTable table;
    EXPECT_TRUE(Record(table, "10.0.0.9", kTag + "<Nine>"));
    EXPECT_FALSE(Record(table, "10.0.0.9", kTag + "<Other>"));
    EXPECT_FALSE(Record(table, "10.0.0.5", "no tag here"));
    EXPECT_TRUE(Record(table, "10.0.0.5", kTag + "<Five>"));
    std::string listing = "kept\n";
    table.AppendListing(listing, 4096);
    EXPECT_EQ(listing, "kept\n10.0.0.9:9100(Nine)\n10.0.0.5:9100(Five)\n");
}

TEST(EthDiscoveryTable, HoldsAtMost128PrintersAndCutsItsListingAtAWholeLine) {
    EthDiscovery::DeviceTable table;
    for (int i = 0; i < 130; ++i)
        Record(table, "10.1." + std::to_string(i / 200) + "." + std::to_string(i % 200), kTag + "<P>");
    EXPECT_EQ(table.Devices().size(), 128u);
    EXPECT_EQ(table.Devices().back().address, "10.1.0.127");

    // A listing takes whole lines only ("10.1.0.0:9100(P)\n": 17 bytes) and its terminator.
    std::string exact;
    table.AppendListing(exact, 2 * 17 + 1);
    EXPECT_EQ(exact, "10.1.0.0:9100(P)\n10.1.0.1:9100(P)\n");
    std::string short_by_one;
    table.AppendListing(short_by_one, 2 * 17);
    EXPECT_EQ(short_by_one, "10.1.0.0:9100(P)\n");
    std::string prefilled(4090, 'x');
    table.AppendListing(prefilled, 4096);
    EXPECT_EQ(prefilled.size(), 4090u);
}

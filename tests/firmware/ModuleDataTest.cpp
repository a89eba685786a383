// Module files: the checks in their order and their log lines, header keys, decoding modes, font
// information and the summary.
#include "firmware/ModuleData.h"

#include "tests/support/TempDir.h"
#include "tests/firmware/LogCapture.h"
#include "tools/FixtureSets.h"
#include "tools/Fixtures.h"

#include <gtest/gtest.h>

#include <fstream>

using fixtures::ModuleDescription;

namespace {

struct LoadResult {
    bool ok;
    std::string log;
};

LoadResult Load(ModuleData& module, const std::vector<uint8_t>& bytes) {
    LogCapture capture;
    const bool ok = module.LoadModuleFromMemory(bytes.data(), static_cast<int>(bytes.size()));
    return {ok, capture.Text()};
}

LoadResult Load(ModuleData& module, const ModuleDescription& desc) {
    return Load(module, fixtures::WriteModuleFile(desc));
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(ModuleData, StandardModuleLoadsWithItsFieldsAndSummary) {
    ModuleData module;
    ModuleDescription desc = fixtures::StandardModule('D');
    const std::vector<uint8_t> bytes = fixtures::WriteModuleFile(desc);
    ASSERT_TRUE(Load(module, bytes).ok);
    EXPECT_EQ(module.GetRelease(), "1.02");
    EXPECT_EQ(module.GetDate(), "06/12/2026");
    EXPECT_EQ(module.GetCode(), "A1234");
    EXPECT_EQ(module.GetFactory(), "VELMAR");
    EXPECT_EQ(module.GetFileSize(), static_cast<int>(bytes.size()) - 12);
    EXPECT_EQ(module.GetModuleType(), ModuleData::kTypeDisk);
    EXPECT_EQ(module.GetDecodingMode(), 0);
    EXPECT_EQ(module.GetStoredData(), bytes);
    EXPECT_EQ(module.GetFileInfo(), "------------------------------------------------\n"
                                    "Type:       DISK MODULE\n"
                                    "Release:    1.02\n"
                                    "Factory:    VELMAR\n"
                                    "Note:       fixture module\n"
                                    "Code:       A1234\n"
                                    "------------------------------------------------\n");
}

TEST(ModuleData, ModuleIdsMapToTypesAndSummaryNames) {
    const struct {
        char id;
        int type;
        const char* name;
    } cases[] = {{'D', 2, "DISK MODULE"},     {'F', 1, "FONT MODULE"},       {'H', 4, "RFID_HF MODULE"},
                 {'I', 8, "RFID_UHF MODULE"}, {'E', 16, "BLUETOOTH MODULE"}, {'L', 64, "LOGOS MODULE"},
                 {'N', 128, "CAMERA MODULE"}, {'O', 128, "CAMERA MODULE"},   {'Z', 0x8000, "OTHER MODULE"}};
    for (const auto& c : cases) {
        ModuleData module;
        ASSERT_TRUE(Load(module, fixtures::StandardModule(c.id)).ok) << c.id;
        EXPECT_EQ(module.GetModuleType(), c.type) << c.id;
        EXPECT_EQ(module.GetModuleID(), c.type) << c.id;
        EXPECT_TRUE(Contains(module.GetFileInfo(), std::string("Type:       ") + c.name + "\n")) << c.id;
    }
}

TEST(ModuleData, ChecksRunInOrderAndStopAtTheFirstFailure) {
    ModuleData module;
    ModuleDescription desc = fixtures::StandardModule('D');
    desc.byteOrder = 'X';
    desc.sums = fixtures::Sums::WrongFirst;
    LoadResult r = Load(module, desc);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(Contains(r.log, "File not Correct! Endianism Error!"));
    EXPECT_FALSE(Contains(r.log, "Checksums"));
    EXPECT_TRUE(module.GetStoredData().empty());

    desc.byteOrder = 'L';
    fixtures::RemoveField(desc, "REL:");
    r = Load(module, desc);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(Contains(r.log, "Checksums 1 not Correct! Read value "));
    EXPECT_TRUE(Contains(r.log, "File not Correct! CheckSumOk Error!"));
    EXPECT_FALSE(Contains(r.log, "Params Error"));

    desc.sums = fixtures::Sums::WrongSecond;
    r = Load(module, desc);
    EXPECT_TRUE(Contains(r.log, "Checksums 2 not Correct! Read value "));

    desc.sums = fixtures::Sums::Correct;
    r = Load(module, desc);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(Contains(r.log, "REL: not found!"));
    EXPECT_TRUE(Contains(r.log, "File not Correct! Exctract param REL: Error(Value <>)!"));
    EXPECT_TRUE(Contains(r.log, "File not Correct! Params Error!"));
}

TEST(ModuleData, ChecksumMessageCarriesStoredAndComputedValues) {
    ModuleDescription desc = fixtures::StandardModule('D');
    desc.sums = fixtures::Sums::WrongFirst;
    std::vector<uint8_t> bytes = fixtures::WriteModuleFile(desc);
    const size_t n = bytes.size();
    const int stored = (bytes[n - 4] << 8) | bytes[n - 3];
    ModuleData module;
    const LoadResult r = Load(module, bytes);
    const std::string expected = "Checksums 1 not Correct! Read value " + std::to_string(stored) +
                                 " Calc value  " + std::to_string((stored - 1) & 0xFFFF) + "!";
    EXPECT_TRUE(Contains(r.log, expected)) << r.log;
}

TEST(ModuleData, RequiredHeaderValuesAreValidatedInOrder) {
    const struct {
        const char* key;
        const char* value;
        const char* message;
    } cases[] = {
        {"MOD_ID:", "DX", "Exctract param MOD_ID: Error(Value <DX>)!"},
        {"MOD_ID:", "", "Exctract param MOD_ID: Error(Value <>)!"},
        {"DATE:", "", "Exctract param DATE: Error(Value <>)!"},
        {"CODE:", "", "Exctract param CODE: Error(Value <>)!"},
        {"FILE_SIZE:", "0", "Exctract param FILE_SIZE: Error(Value <0>)!"},
        {"FILE_SIZE:", "abc", "Exctract param FILE_SIZE: Error(Value <0>)!"},
    };
    for (const auto& c : cases) {
        ModuleDescription desc = fixtures::StandardModule('D');
        fixtures::SetField(desc, c.key, c.value);
        ModuleData module;
        const LoadResult r = Load(module, desc);
        EXPECT_FALSE(r.ok) << c.key << c.value;
        EXPECT_TRUE(Contains(r.log, c.message)) << r.log;
    }
}

TEST(ModuleData, FileSizeMustBeTheLengthMinusTwelveExactly) {
    ModuleDescription desc = fixtures::StandardModule('D');
    const int right = static_cast<int>(fixtures::WriteModuleFile(desc).size()) - 12;
    for (int value : {right - 1, right + 1}) {
        fixtures::SetField(desc, "FILE_SIZE:", std::to_string(value));
        ModuleData module;
        const LoadResult r = Load(module, desc);
        EXPECT_FALSE(r.ok);
        const std::string expected = "Exctract param FILE_SIZE: Error(Value <" + std::to_string(value) +
                                     "> and not " + std::to_string(right) + ")!";
        EXPECT_TRUE(Contains(r.log, expected)) << r.log;
    }
}

TEST(ModuleData, KeyRulesTwiceMissingLineFeedCarriageReturnAndZero) {
    ModuleDescription twice = fixtures::StandardModule('D');
    twice.rawHeaderText = "CODE:B999\n";
    ModuleData module;
    LoadResult r = Load(module, twice);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(Contains(r.log, "CODE: not found!"));

    ModuleDescription cr = fixtures::StandardModule('D');
    fixtures::SetField(cr, "REL:", "1.0\r");
    fixtures::SetField(cr, "NOTE:", std::string("ab\0cd", 5));
    ASSERT_TRUE(Load(module, cr).ok);
    EXPECT_EQ(module.GetRelease(), "1.0 ");
    EXPECT_EQ(module.GetNote(), "ab");

    ModuleDescription noLineFeed = fixtures::StandardModule('D');
    fixtures::RemoveField(noLineFeed, "NOTE:");
    noLineFeed.rawHeaderText = "NOTE:runs to the end";
    r = Load(module, noLineFeed);
    EXPECT_TRUE(r.ok); // NOTE: is optional
    EXPECT_TRUE(Contains(r.log, "NOTE: Error!"));
    EXPECT_EQ(module.GetNote(), "");

    ModuleDescription longValue = fixtures::StandardModule('D');
    fixtures::SetField(longValue, "NOTE:", std::string(400, 'n'));
    ASSERT_TRUE(Load(module, longValue).ok);
    EXPECT_EQ(module.GetNote(), std::string(255, 'n'));
}

TEST(ModuleData, DecodingModeDefaultsAndDescrambling) {
    ModuleData module;
    // A key without ENMODE: mode -1, the working copy stays as stored.
    ModuleDescription noMode = fixtures::StandardModule('L');
    noMode.scrambleByte = 0x35;
    const std::vector<uint8_t> stored = fixtures::WriteModuleFile(noMode);
    ASSERT_TRUE(Load(module, stored).ok);
    EXPECT_EQ(module.GetDecodingMode(), -1);
    EXPECT_EQ(module.GetScrambleByte(), 0x35);
    EXPECT_EQ(module.GetWorkingData(), stored);

    for (int scheme : {0, 1}) {
        for (uint8_t key : {uint8_t{0x35}, uint8_t{0x42}}) {
            ModuleDescription desc = fixtures::StandardModule('L');
            desc.scrambleByte = key;
            desc.scheme = scheme;
            fixtures::SetField(desc, "ENMODE:", std::to_string(scheme));
            const std::vector<uint8_t> bytes = fixtures::WriteModuleFile(desc);
            ASSERT_TRUE(Load(module, bytes).ok);
            EXPECT_EQ(module.GetDecodingMode(), scheme);
            const auto& working = module.GetWorkingData();
            EXPECT_TRUE(std::equal(desc.payload.begin(), desc.payload.end(), working.begin() + 4102))
                << "scheme " << scheme << " key " << int{key};
            EXPECT_EQ(working[4101], 0);
            EXPECT_EQ(module.GetStoredData(), bytes); // the stored bytes are never changed
        }
    }
}

TEST(ModuleData, FontModuleListsItsFontsAfterDescrambling) {
    const auto seeds = fixtures::ModuleSeeds();
    for (const char* name : {"font_psw_odd.mod", "font_psw_even.mod", "font_mode1.mod"}) {
        const auto seed =
            std::find_if(seeds.begin(), seeds.end(), [&](const auto& s) { return s.name == name; });
        ASSERT_NE(seed, seeds.end());
        ModuleData module;
        ASSERT_TRUE(Load(module, seed->bytes).ok) << name;
        EXPECT_EQ(module.GetExtraInfo(), "\nFONT MODULE:\n  ROMAN8\n  KANJI24 (Code: 7)\n") << name;
        EXPECT_TRUE(Contains(module.GetFileInfo(), "--\n\nFONT MODULE:\n  ROMAN8\n")) << name;
    }
    // Only id F lists fonts.
    ModuleDescription notFont = fixtures::StandardModule('D');
    fixtures::AppendFontRecord(notFont.payload, "HIDDEN", std::nullopt);
    ModuleData module;
    ASSERT_TRUE(Load(module, notFont).ok);
    EXPECT_EQ(module.GetExtraInfo(), "");
}

TEST(ModuleData, FontRecordAtTheVeryEndIsReadWithinTheFile) {
    ModuleDescription desc = fixtures::StandardModule('F');
    desc.trailer.clear();
    desc.payload.insert(desc.payload.end(), {'F', 'N', 'T', ':', 'A', 'B'});
    ModuleData module;
    ASSERT_TRUE(Load(module, desc).ok);
    EXPECT_TRUE(Contains(module.GetExtraInfo(), "FONT MODULE:\n  AB"));
}

TEST(ModuleData, ShortOrMissingInputIsRejected) {
    ModuleData module;
    for (size_t size : {size_t{0}, size_t{5}, size_t{11}, size_t{4101}}) {
        const std::vector<uint8_t> bytes(size, 'B');
        EXPECT_FALSE(Load(module, bytes).ok) << size;
    }
    EXPECT_FALSE(module.LoadModuleFromMemory(nullptr, 10));
    EXPECT_FALSE(module.LoadModuleFromFile("/nonexistent/dalvora/module.mod"));
}

TEST(ModuleData, LoadsFromAFileAndEverySeedBehavesAsDeclared) {
    TempDir dir;
    const std::vector<uint8_t> bytes = fixtures::WriteModuleFile(fixtures::StandardModule('E'));
    dir.write("bt.mod", std::string(bytes.begin(), bytes.end()));
    ModuleData module;
    ASSERT_TRUE(module.LoadModuleFromFile(dir.file("bt.mod").c_str()));
    EXPECT_EQ(module.GetModuleType(), ModuleData::kTypeBluetooth);
    EXPECT_EQ(module.GetStoredData(), bytes);

    for (const auto& seed : fixtures::ModuleSeeds()) {
        ModuleData fromSeed;
        EXPECT_EQ(Load(fromSeed, seed.bytes).ok, seed.valid) << seed.name;
    }
}

// Module files: the checks in their order and their log lines, header keys, decoding modes, font
// information, the summary, and input too short for the fixed offsets.
#include "tests/firmware/FirmwareLoad.h"
#include "tests/support/TempDir.h"
#include "tools/FixtureSets.h"

#include <gtest/gtest.h>

#include <functional>

using fixtures::ModuleDescription;
using fixtures::StandardModule;

TEST(ModuleData, StandardModuleLoadsWithItsFieldsAndSummary) {
    ModuleData module;
    const std::vector<uint8_t> bytes = fixtures::WriteModuleFile(StandardModule('D'));
    ASSERT_TRUE(LoadModule(module, bytes).ok);
    EXPECT_EQ(module.GetDate(), "06/12/2026");
    EXPECT_EQ(module.GetModuleType(), ModuleData::kTypeDisk);
    EXPECT_EQ(module.GetStoredData(), bytes);
    EXPECT_EQ(module.GetFileInfo(), "------------------------------------------------\n"
                                    "Type:       DISK MODULE\n"
                                    "Release:    1.02\n"
                                    "Factory:    VELMAR\n"
                                    "Note:       fixture module\n"
                                    "Code:       A1234\n"
                                    "------------------------------------------------\n");
    // The two ids that share a type, and an unknown one.
    for (auto [id, type, name] :
         {std::tuple{'N', 128, "CAMERA"}, {'O', 128, "CAMERA"}, {'Z', 0x8000, "OTHER"}}) {
        ASSERT_TRUE(LoadModule(module, StandardModule(id)).ok) << id;
        EXPECT_EQ(module.GetModuleType(), type) << id;
        EXPECT_TRUE(Contains(module.GetFileInfo(), std::string("Type:       ") + name + " MODULE\n")) << id;
    }
}

TEST(ModuleData, ChecksRunInOrderAndStopAtTheFirstFailure) {
    ModuleData module;
    ModuleDescription desc = StandardModule('D');
    desc.byteOrder = 'X';
    desc.sums = fixtures::Sums::WrongFirst;
    Loaded r = LoadModule(module, desc);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(Contains(r.log, "File not Correct! Endianism Error!"));
    EXPECT_FALSE(Contains(r.log, "Checksums"));
    EXPECT_TRUE(module.GetStoredData().empty());

    desc.byteOrder = 'L';
    fixtures::RemoveField(desc, "REL:");
    const std::vector<uint8_t> bytes = fixtures::WriteModuleFile(desc);
    const int stored = (bytes[bytes.size() - 4] << 8) | bytes[bytes.size() - 3];
    r = LoadModule(module, bytes);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(Contains(r.log, "Checksums 1 not Correct! Read value " + std::to_string(stored) +
                                    " Calc value  " + std::to_string((stored - 1) & 0xFFFF) + "!"))
        << r.log;
    EXPECT_TRUE(Contains(r.log, "File not Correct! CheckSumOk Error!"));
    EXPECT_FALSE(Contains(r.log, "Params Error"));

    desc.sums = fixtures::Sums::WrongSecond;
    EXPECT_TRUE(Contains(LoadModule(module, desc).log, "Checksums 2 not Correct! Read value "));

    // The sums cover offsets 6 to L - 7: a byte changed just outside them goes unnoticed.
    const std::vector<uint8_t> good = fixtures::WriteModuleFile(StandardModule('D'));
    for (size_t at : {size_t{5}, size_t{6}, good.size() - 7, good.size() - 6}) {
        std::vector<uint8_t> changed = good;
        changed[at] ^= 0x01;
        EXPECT_EQ(LoadModule(module, changed).ok, at == 5 || at == good.size() - 6) << at;
    }
}

TEST(ModuleData, RequiredHeaderValuesAreValidated) {
    const std::string right = std::to_string(fixtures::WriteModuleFile(StandardModule('D')).size() - 12);
    const std::string wrong[] = {std::to_string(std::stoi(right) - 1), std::to_string(std::stoi(right) + 1)};
    const auto field = [](const std::string& key, const std::string& value) {
        return [=](ModuleDescription& d) { fixtures::SetField(d, key, value); };
    };
    const struct {
        std::function<void(ModuleDescription&)> change;
        std::string message;
    } cases[] = {
        {[](ModuleDescription& d) { fixtures::RemoveField(d, "REL:"); }, "REL: not found!"},
        {field("REL:", ""), "Exctract param REL: Error(Value <>)!"},
        {field("MOD_ID:", "DX"), "Exctract param MOD_ID: Error(Value <DX>)!"},
        {field("MOD_ID:", ""), "Exctract param MOD_ID: Error(Value <>)!"},
        {field("DATE:", ""), "Exctract param DATE: Error(Value <>)!"},
        {field("CODE:", ""), "Exctract param CODE: Error(Value <>)!"},
        // A key found twice counts as not found.
        {[](ModuleDescription& d) { d.rawHeaderText = "CODE:B999\n"; }, "CODE: not found!"},
        {field("FILE_SIZE:", "0"), "Exctract param FILE_SIZE: Error(Value <0>)!"},
        {field("FILE_SIZE:", "abc"), "Exctract param FILE_SIZE: Error(Value <0>)!"},
        {field("FILE_SIZE:", wrong[0]), "FILE_SIZE: Error(Value <" + wrong[0] + "> and not " + right + ")!"},
        {field("FILE_SIZE:", wrong[1]), "FILE_SIZE: Error(Value <" + wrong[1] + "> and not " + right + ")!"},
    };
    for (const auto& c : cases) {
        ModuleDescription desc = StandardModule('D');
        c.change(desc);
        ModuleData module;
        const Loaded r = LoadModule(module, desc);
        EXPECT_FALSE(r.ok) << c.message;
        EXPECT_TRUE(Contains(r.log, c.message)) << r.log;
        EXPECT_TRUE(Contains(r.log, "File not Correct! Params Error!")) << r.log;
    }
}

TEST(ModuleData, ValuesCutAtLineFeedZeroOrLengthAndControlBytesBecomeSpaces) {
    ModuleData module;
    ModuleDescription cr = StandardModule('D');
    fixtures::SetField(cr, "REL:", "1.0\r");
    fixtures::SetField(cr, "NOTE:", std::string("ab\0cd", 5));
    ASSERT_TRUE(LoadModule(module, cr).ok);
    EXPECT_EQ(module.GetRelease(), "1.0 ");
    EXPECT_EQ(module.GetNote(), "ab");

    ModuleDescription noLineFeed = StandardModule('D');
    fixtures::RemoveField(noLineFeed, "NOTE:");
    noLineFeed.rawHeaderText = "NOTE:runs to the end";
    const Loaded r = LoadModule(module, noLineFeed);
    EXPECT_TRUE(r.ok); // NOTE: is optional
    EXPECT_TRUE(Contains(r.log, "NOTE: Error!"));
    EXPECT_EQ(module.GetNote(), "");

    ModuleDescription longValue = StandardModule('D');
    fixtures::SetField(longValue, "NOTE:", std::string(400, 'n'));
    ASSERT_TRUE(LoadModule(module, longValue).ok);
    EXPECT_EQ(module.GetNote(), std::string(255, 'n'));
}

TEST(ModuleData, DecodingModesDescrambleTheWorkingCopyAndListTheFonts) {
    ModuleData module;
    // A key without ENMODE: mode -1, the working copy stays as stored.
    ModuleDescription noMode = StandardModule('L');
    noMode.scrambleByte = 0x35;
    const std::vector<uint8_t> stored = fixtures::WriteModuleFile(noMode);
    ASSERT_TRUE(LoadModule(module, stored).ok);
    EXPECT_EQ(module.GetDecodingMode(), -1);
    EXPECT_EQ(module.GetWorkingData(), stored);

    for (int scheme : {0, 1}) {
        for (uint8_t key : {uint8_t{0x35}, uint8_t{0x42}}) {
            ModuleDescription desc = StandardModule('F');
            fixtures::AppendFontRecord(desc.payload, "ROMAN8", std::nullopt);
            fixtures::AppendFontRecord(desc.payload, "KANJI24", uint8_t{7});
            desc.scrambleByte = key;
            desc.scheme = scheme;
            fixtures::SetField(desc, "ENMODE:", std::to_string(scheme));
            const std::vector<uint8_t> bytes = fixtures::WriteModuleFile(desc);
            ASSERT_TRUE(LoadModule(module, bytes).ok);
            const auto& working = module.GetWorkingData();
            EXPECT_TRUE(std::equal(desc.payload.begin(), desc.payload.end(), working.begin() + 4102))
                << "scheme " << scheme << " key " << int{key};
            EXPECT_EQ(working[4101], 0);
            EXPECT_EQ(module.GetStoredData(), bytes); // the stored bytes are never changed
            EXPECT_EQ(module.GetExtraInfo(), "\nFONT MODULE:\n  ROMAN8\n  KANJI24 (Code: 7)\n");
            EXPECT_TRUE(Contains(module.GetFileInfo(), "--\n\nFONT MODULE:\n  ROMAN8\n"));
        }
    }
    // Only id F lists fonts.
    ModuleDescription notFont = StandardModule('D');
    fixtures::AppendFontRecord(notFont.payload, "HIDDEN", std::nullopt);
    ASSERT_TRUE(LoadModule(module, notFont).ok);
    EXPECT_EQ(module.GetExtraInfo(), "");
    // A record cut by the end of the file (its name runs into the sums) is read up to the end, not beyond.
    ModuleDescription atTheEnd = StandardModule('F');
    atTheEnd.trailer.clear();
    atTheEnd.payload.insert(atTheEnd.payload.end(), {'F', 'N', 'T', ':', 'A', 'B'});
    ASSERT_TRUE(LoadModule(module, atTheEnd).ok);
    EXPECT_TRUE(Contains(module.GetExtraInfo(), "\nFONT MODULE:\n  AB"));
}

TEST(ModuleData, ShortMissingOrUnreadableInputIsRejected) {
    ModuleData module;
    for (size_t size : {size_t{0}, size_t{5}, size_t{11}, size_t{4101}})
        EXPECT_FALSE(LoadModule(module, std::vector<uint8_t>(size, 'B')).ok) << size;
    EXPECT_FALSE(module.LoadModuleFromMemory(nullptr, 10));
    EXPECT_FALSE(module.LoadModuleFromFile("/nonexistent/dalvora/module.mod"));
}

TEST(ModuleData, LoadsFromAFileAndEverySeedBehavesAsDeclared) {
    TempDir dir;
    const std::vector<uint8_t> bytes = fixtures::WriteModuleFile(StandardModule('E'));
    dir.write("bt.mod", std::string(bytes.begin(), bytes.end()));
    ModuleData module;
    ASSERT_TRUE(module.LoadModuleFromFile(dir.file("bt.mod").c_str()));
    EXPECT_EQ(module.GetModuleType(), ModuleData::kTypeBluetooth);
    EXPECT_EQ(module.GetStoredData(), bytes);
    for (const auto& seed : fixtures::ModuleSeeds())
        EXPECT_EQ(LoadModule(module, seed.bytes).ok, seed.valid) << seed.name;
}

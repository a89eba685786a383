// The fuzzer's seed archives are the writer's output: they must match what it writes today (set
// DALVORA_REGENERATE_CORPUS=1 to rewrite them), and each must load, and save again unchanged.
#include "model/PrinterData.h"
#include "model/TCFXDataReader.h"
#include "model/TCFXDataWriter.h"
#include "tests/model/SampleArchives.h"
#include "tests/support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>

namespace {

const std::string kCorpusDir = std::string(DALVORA_SOURCE_DIR) + "/fuzz/corpus/fuzz_archive_load/";

} // namespace

TEST(SampleArchiveTest, EachLoadsAndSavesAgainUnchanged) {
    for (const SampleArchive& sample : MakeSampleArchives()) {
        ASSERT_FALSE(sample.xml.empty()) << sample.name;
        TCFXDataReader reader;
        ASSERT_TRUE(reader.openDocumentFromMemory(sample.xml)) << sample.name;
        PrinterData data;
        ASSERT_NO_THROW(data.Serialize_Load(reader)) << sample.name;
        EXPECT_FALSE(data.isEmpty()) << sample.name;
        TCFXDataWriter writer;
        ASSERT_TRUE(writer.openDocument());
        ASSERT_TRUE(data.Serialize_Save(writer));
        if (sample.stable) {
            EXPECT_EQ(writer.saveToString(), sample.xml) << sample.name;
        }
    }
}

TEST(SampleArchiveTest, FuzzCorpusIsTheWritersOutput) {
    const bool regenerate = std::getenv("DALVORA_REGENERATE_CORPUS") != nullptr;
    for (const SampleArchive& sample : MakeSampleArchives()) {
        const std::string path = kCorpusDir + sample.name;
        if (regenerate) {
            std::ofstream(path, std::ios::binary) << sample.xml;
        }
        EXPECT_EQ(ReadWholeFile(path), sample.xml)
            << path << " is stale: run with DALVORA_REGENERATE_CORPUS=1";
    }
}

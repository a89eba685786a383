// The archive container: value encodings, the reader's tolerance of damaged files, and the save that
// never leaves a half-written archive behind.
#include "model/TCFXDataManager.h"
#include "model/TCFXDataReader.h"
#include "model/TCFXDataWriter.h"
#include "tests/support/TempDir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

bool ReadBack(const TCFXDataWriter& writer, TCFXDataReader& reader) {
    return reader.openDocumentFromMemory(writer.saveToString());
}

bool Open(TCFXDataReader& reader, const std::string& body) {
    return reader.openDocumentFromMemory("<?xml version=\"1.0\"?>\n<DataFile>" + body + "</DataFile>");
}

} // namespace

TEST(TCFXDataManagerTest, HexCodingRules) {
    EXPECT_EQ(TCFXDataManager::string_to_hex("1.09"), "312E3039");
    EXPECT_EQ(TCFXDataManager::string_to_hex(std::string("\x00\xff", 2)), "00FF");
    EXPECT_EQ(TCFXDataManager::hex_to_string("4a4B"), "JK");
    EXPECT_EQ(TCFXDataManager::hex_to_string("4A4"), "");
    EXPECT_EQ(TCFXDataManager::hex_to_string("4G"), "");
    EXPECT_EQ(TCFXDataManager::hex_to_string(""), "");
    EXPECT_EQ(TCFXDataManager::hex_value('f'), 15);
    EXPECT_EQ(TCFXDataManager::hex_value('g'), -1);
    EXPECT_EQ(TCFXDataManager::hex_value('/'), -1);
}

// The 64-bit and list-item lists appear in the worked example of the whole archive.
TEST(TCFXDataWriterTest, ElementLayoutAndEncodings) {
    TCFXDataWriter writer;
    ASSERT_TRUE(writer.openDocument());
    writer.addBaseElement("Text", 3, "a<&");
    writer.addBaseElement("Empty", 3, "");
    writer.addBaseElement("NoType", 0, -5);
    writer.addBaseElement("F1", 6, 1.5f);
    writer.addBaseElement("F2", 6, 2.0f);
    writer.addBaseElement("F3", 6, 0.125f);
    writer.addBaseElement("D", 6, 0.25);
    writer.addBaseElement("U64", 11, 18446744073709551615ul);
    writer.addObjectElement("L32", 40, std::vector<uint64_t>{3});
    writer.addObjectElement("LS", 100, std::vector<std::string>{"A", ""});
    EXPECT_FALSE(writer.addBaseElement(nullptr, 3, "x"));
    EXPECT_TRUE(writer.hasFailed());

    const std::string expected = "<?xml version=\"1.0\"?>\n<DataFile>\n"
                                 "\t<Text T=\"3\">613C26</Text>\n"
                                 "\t<Empty T=\"3\" />\n"
                                 "\t<NoType>-5</NoType>\n"
                                 "\t<F1 T=\"6\">1.5</F1>\n"
                                 "\t<F2 T=\"6\">2</F2>\n"
                                 "\t<F3 T=\"6\">0.125</F3>\n"
                                 "\t<D T=\"6\">0.25</D>\n"
                                 "\t<U64 T=\"11\">18446744073709551615</U64>\n"
                                 "\t<L32 T=\"40\" Size=\"1\">\n"
                                 "\t\t<TLISTUINT32>3</TLISTUINT32>\n"
                                 "\t</L32>\n"
                                 "\t<LS T=\"100\" Size=\"2\">\n"
                                 "\t\t<TLISTSTRING>41</TLISTSTRING>\n"
                                 "\t\t<TLISTSTRING />\n"
                                 "\t</LS>\n"
                                 "</DataFile>\n";
    EXPECT_EQ(writer.saveToString(), expected);
}

TEST(TCFXDataWriterTest, ValuesReadBackAsWritten) {
    TCFXDataWriter writer;
    ASSERT_TRUE(writer.openDocument());
    writer.addBaseElement("T", 3, std::string("bin\x01\xfe<>&\"", 9));
    writer.addBaseElement("I", 30, -2147483647 - 1);
    writer.addBaseElement("U", 11, 4294967295u);
    writer.addBaseElement("F", 6, -0.001f);
    writer.addObjectElement("LI", 1002, std::vector<ListItem>{{"a<", -1}, {"", 7}});
    TCFXDataReader reader;
    ASSERT_TRUE(ReadBack(writer, reader));

    bool found = false;
    EXPECT_EQ(reader.getBaseValueAsHexString("T", &found), std::string("bin\x01\xfe<>&\"", 9));
    EXPECT_TRUE(found);
    EXPECT_EQ(reader.getBaseValueAsInt("I"), -2147483647 - 1);
    EXPECT_EQ(reader.getBaseValueAsUInt("U"), 4294967295u);
    EXPECT_FLOAT_EQ(reader.getBaseValueAsFloat("F"), -0.001f);
    EXPECT_EQ(reader.getBasicItemListValue("LI", &found), (std::vector<ListItem>{{"a<", -1}, {"", 7}}));
    EXPECT_TRUE(found);
}

TEST(TCFXDataReaderTest, ToleratesMissingAndDamagedValues) {
    TCFXDataReader reader;
    ASSERT_TRUE(Open(reader, "<N>12abc</N><Neg>-7</Neg><Junk>abc</Junk><Big>99999999999</Big>"
                             "<Hex>4A4</Hex><Bad>ZZ</Bad><F>1,5</F><Time>1733500032.6</Time>"
                             "<Dup>1</Dup><Dup>2</Dup>"));
    bool found = true;
    EXPECT_EQ(reader.getBaseValueAsInt("Missing", &found), 0);
    EXPECT_FALSE(found);
    EXPECT_EQ(reader.getBaseValueAsString("Missing"), nullptr);
    EXPECT_EQ(reader.getBaseValueAsHexString("Missing"), "");
    EXPECT_TRUE(reader.getStringListValue("Missing").empty());
    EXPECT_EQ(reader.getBaseValueAsInt("N"), 12);
    EXPECT_EQ(reader.getBaseValueAsInt("Neg"), -7);
    EXPECT_EQ(reader.getBaseValueAsInt("Junk", &found), 0);
    EXPECT_TRUE(found);
    EXPECT_EQ(reader.getBaseValueAsInt("Big"), 2147483647);
    EXPECT_EQ(reader.getBaseValueAsHexString("Hex"), "");
    EXPECT_EQ(reader.getBaseValueAsHexString("Bad"), "");
    EXPECT_FLOAT_EQ(reader.getBaseValueAsFloat("F"), 1.0f);
    EXPECT_EQ(reader.getBaseValueAsInt64("Time"), 1733500033);
    EXPECT_EQ(reader.getBaseValueAsInt("Dup"), 1);
}

TEST(TCFXDataReaderTest, ListSizeRules) {
    TCFXDataReader reader;
    ASSERT_TRUE(Open(reader,
                     "<Short Size=\"3\"><A>41</A><B>42</B></Short>"
                     "<Long Size=\"1\"><A>41</A><B>42</B></Long>"
                     "<Huge Size=\"2147483647\"><TLISTUINT32>5</TLISTUINT32></Huge>"
                     "<Negative Size=\"-4\"><A>1</A></Negative>"
                     "<NoSize><A>1</A></NoSize>"
                     "<Items Size=\"2\"><LISTLISTITEM Index=\"x\" /><LISTLISTITEM Text=\"4\" /></Items>"));
    bool found = true;
    EXPECT_EQ(reader.getStringListValue("Short", &found), (std::vector<std::string>{"A", "B"}));
    EXPECT_FALSE(found);
    EXPECT_EQ(reader.getStringListValue("Long", &found), (std::vector<std::string>{"A"}));
    EXPECT_TRUE(found);
    EXPECT_EQ(reader.getIntListValue("Huge", &found), (std::vector<int32_t>{5}));
    EXPECT_FALSE(found);
    EXPECT_TRUE(reader.getIntListValue("Negative", &found).empty());
    EXPECT_TRUE(found);
    EXPECT_TRUE(reader.getIntListValue("NoSize").empty());
    EXPECT_EQ(reader.getBasicItemListValue("Items"), (std::vector<ListItem>{{"", 0}, {"", 0}}));
}

TEST(TCFXDataReaderTest, RefusesWhatIsNotAnArchive) {
    TempDir dir;
    TCFXDataReader reader;
    EXPECT_FALSE(reader.openDocumentFromFile(dir.file("absent.tcfx")));
    EXPECT_FALSE(reader.openDocumentFromFile(dir.path()));
    dir.write("broken.tcfx", "<DataFile><A>");
    EXPECT_FALSE(reader.openDocumentFromFile(dir.file("broken.tcfx")));
    dir.write("other.tcfx", "<Other><A>1</A></Other>");
    EXPECT_FALSE(reader.openDocumentFromFile(dir.file("other.tcfx")));
    dir.write("empty.tcfx", "");
    EXPECT_FALSE(reader.openDocumentFromFile(dir.file("empty.tcfx")));
    dir.write("good.tcfx", "<DataFile><A>7</A></DataFile>");
    EXPECT_TRUE(reader.openDocumentFromFile(dir.file("good.tcfx")));
    EXPECT_EQ(reader.getBaseValueAsInt("A"), 7);
}

TEST(TCFXDataReaderTest, RefusesDeepNestingWithoutRecursing) {
    constexpr int kDepth = 200000;
    std::string deep = "<DataFile>";
    for (int i = 0; i < kDepth; ++i) {
        deep += "<a>";
    }
    for (int i = 0; i < kDepth; ++i) {
        deep += "</a>";
    }
    deep += "</DataFile>";
    TCFXDataReader reader;
    EXPECT_FALSE(reader.openDocumentFromMemory(deep));
    ASSERT_TRUE(Open(reader, "<L Size=\"1\"><E>41</E></L>"));
    EXPECT_EQ(reader.getStringListValue("L"), std::vector<std::string>{"A"});
}

TEST(TCFXDataWriterTest, SaveReplacesTheFileWholeOrNotAtAll) {
    TempDir dir;
    const std::string path = dir.file("setup.tcfx");
    const auto onlyTheArchive = [&] {
        return system(("test $(ls -A " + dir.path() + " | wc -l) -eq 1").c_str()) == 0;
    };
    dir.write("setup.tcfx", "old content that is longer than the new document, by far, really far");
    TCFXDataWriter small;
    ASSERT_TRUE(small.openDocument());
    small.addBaseElement("A", 30, 1);
    ASSERT_TRUE(small.saveToFile(path));
    const std::string saved = small.saveToString();
    EXPECT_EQ(ReadWholeFile(path), saved);
    EXPECT_TRUE(onlyTheArchive()) << "temporary file left";

    TCFXDataWriter incomplete;
    ASSERT_TRUE(incomplete.openDocument());
    incomplete.addBaseElement(nullptr, 3, "lost");
    EXPECT_FALSE(incomplete.saveToFile(path));
    TCFXDataWriter unopened;
    EXPECT_FALSE(unopened.saveToFile(path));
    TCFXDataWriter writer;
    ASSERT_TRUE(writer.openDocument());
    EXPECT_FALSE(writer.saveToFile(dir.file("no/such/dir/setup.tcfx")));
    for (int i = 0; i < 2000; ++i) {
        writer.addBaseElement("Key", 3, "a value that makes the document large");
    }
    // A full disk, simulated by a file size limit in a child process: the write fails midway.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(writer.saveToFile(path) ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_EQ(ReadWholeFile(path), saved);
    EXPECT_TRUE(onlyTheArchive()) << "temporary file left";
}

// Sample printer data sets written through the real writer: the seed corpus of the archive fuzzer is
// generated from them, and the tests check that each loads back to the same archive.
#pragma once

#include "model/PrinterData.h"
#include "model/TCFXDataWriter.h"

#include <functional>
#include <string>
#include <vector>

struct SampleArchive {
    std::string name; // file name in the fuzz corpus
    std::string xml;
    bool stable; // saving what was loaded gives the same document
};

std::vector<SampleArchive> MakeSampleArchives();

// The document a fresh writer holds after `save`; the empty text when the writer fails.
std::string Written(const std::function<void(TCFXDataWriter&)>& save);
// The archive of `data`.
std::string Saved(const PrinterData& data);

// GSI 1234, firmware 1.02, protocol 100 and the given capability words.
void Identity(PrinterData& data, uint64_t capabilities);
// List item 7 "Baud": first 0, default 1, current 2, elements 9600 and 19200.
std::unique_ptr<SetupItemTypeList> BaudItem();
// The item above with capability words 0x11.
PrinterData WorkedExample();
// Every record and every item kind, with links and status descriptions.
PrinterData FullSetup();

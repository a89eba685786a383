// Sample printer data sets written through the real writer: the seed corpus of the archive fuzzer is
// generated from them, and the tests check that each loads back to the same archive.
#pragma once

#include <string>
#include <vector>

struct SampleArchive {
    std::string name; // file name in the fuzz corpus
    std::string xml;
    bool stable; // saving what was loaded gives the same document
};

std::vector<SampleArchive> MakeSampleArchives();

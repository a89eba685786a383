// When an answer is complete, whatever the split into reads: this decides what the parser sees.
#include "comm/AnswerCollector.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Feeds the text in pieces of the given size; returns the bytes added when completion was reported.
size_t CompleteAfter(const std::string& text, size_t piece) {
    AnswerCollector collector;
    size_t fed = 0;
    while (fed < text.size()) {
        size_t n = std::min(piece, text.size() - fed);
        memcpy(collector.ReadPosition(), text.data() + fed, n);
        fed += n;
        if (collector.Add(n))
            return fed;
    }
    return 0;
}

} // namespace

TEST(AnswerCollector, PlainAnswerEndsAtTheFirstEtx) {
    EXPECT_EQ(CompleteAfter("\x02<C1><1.00>\x03trailing", 1), 12u);
    EXPECT_EQ(CompleteAfter("\x02<C1><1.00>", 3), 0u);
    // Read by read the marker is absent when the ETX comes, so the answer ends there.
    EXPECT_EQ(CompleteAfter("\x02<C50>\x03<DATABYTES>", 8), 8u);
}

// Joining the pieces and growing the buffer are the frame layer's tests; these are the markers split
// over reads at every place.
TEST(AnswerCollector, DataBytesNeedTheirClosingMarkerAndAnEtxAfterIt) {
    std::string answer = std::string("\x02<C50><DATABYTES>ab\x03") + "cd</DATABYTES>\x03";
    for (size_t piece : {1, 3, 7, 11, 12, 100})
        EXPECT_EQ(CompleteAfter(answer, piece), answer.size()) << piece;
    // An ETX before the closing marker, even long before, does not end it.
    EXPECT_EQ(CompleteAfter("\x02<C50><DATABYTES>\x03\x03</DATABYTE", 1), 0u);
    // An ETX between the tag and "<DATABYTES>" read in one piece does not count either.
    std::string early = "\x02<C50>\x03<DATABYTES>x</DATABYTES>\x03";
    EXPECT_EQ(CompleteAfter(early, early.size()), early.size());
    EXPECT_EQ(CompleteAfter(early.substr(0, 20), 20), 0u);
}

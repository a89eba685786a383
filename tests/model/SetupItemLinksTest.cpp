// Header, id list and links: their archive keys and the evaluation of links after a value change.
#include "model/SetupItemLinks.h"
#include "model/SetupItemType.h"
#include "model/TCFXDataReader.h"
#include "model/TCFXDataWriter.h"
#include "tests/model/SampleArchives.h"

#include <gtest/gtest.h>

namespace {

constexpr uint64_t kA = 10;
constexpr uint64_t kB = 20;
constexpr uint64_t kC = 30;

SetupItemTypeList ListSource(uint64_t id) {
    SetupItemTypeList item;
    item.SetId(id);
    return item;
}

// The view state each destination ends in when the actions are applied in order.
LinkViewState FinalState(const std::vector<LinkAction>& actions, uint64_t id) {
    LinkViewState state;
    for (const LinkAction& action : actions) {
        if (action.IdDst == id) {
            state = LinkViewStateOf(action.ViewOp);
        }
    }
    return state;
}

const LinkViewState kShown{true, true};
const LinkViewState kHidden{false, true};
const LinkViewState kDisabled{true, false};

} // namespace

TEST(LinkEvaluationTest, HideWhenEqualShowOtherwise) {
    SetupItemLinkList links;
    links.AddLink(std::make_unique<SetupItemLink>(kB, kA, LINK_VIEW_HIDE, LINK_VIEW_SHOW, 1));
    EXPECT_EQ(FinalState(EvaluateLinks(links, ListSource(kA), 1), kB), kHidden);
    EXPECT_EQ(FinalState(EvaluateLinks(links, ListSource(kA), 0), kB), kShown);
    EXPECT_TRUE(EvaluateLinks(links, ListSource(kB), 1).empty());
    SetupItemTypeNumeric numeric; // only list items are sources
    numeric.SetId(kA);
    EXPECT_TRUE(EvaluateLinks(links, numeric, 1).empty());
    EXPECT_TRUE(EvaluateLinks(links, numeric, 0).empty());
    EXPECT_EQ(LinkViewStateOf(77), kShown);
}

TEST(LinkEvaluationTest, SeveralLinksToOneDestination) {
    SetupItemLinkList links;
    links.AddLink(std::make_unique<SetupItemLink>(kB, kA, LINK_VIEW_HIDE, LINK_VIEW_SHOW, 1));
    links.AddLink(std::make_unique<SetupItemLink>(kB, kA, LINK_VIEW_HIDE, LINK_VIEW_SHOW, 2));
    const std::vector<LinkAction> two = EvaluateLinks(links, ListSource(kA), 2);
    EXPECT_EQ(two, (std::vector<LinkAction>{{kB, LINK_VIEW_HIDE}}))
        << "the failing first link must not show B";
    EXPECT_EQ(FinalState(EvaluateLinks(links, ListSource(kA), 3), kB), kShown);
}

TEST(LinkEvaluationTest, FoundOperationsFirstThenFailuresOfUnmatchedDestinations) {
    SetupItemLinkList links;
    links.AddLink(std::make_unique<SetupItemLink>(kC, kA, LINK_VIEW_HIDE, LINK_VIEW_DISABLE, 5));
    links.AddLink(std::make_unique<SetupItemLink>(kB, kA, LINK_VIEW_DISABLE, LINK_VIEW_SHOW, 7));
    links.AddLink(
        std::make_unique<SetupItemLink>(999, kA, LINK_VIEW_HIDE, LINK_VIEW_HIDE, 7));          // no such item
    links.AddLink(std::make_unique<SetupItemLink>(kC, kB, LINK_VIEW_SHOW, LINK_VIEW_HIDE, 7)); // other source
    const std::vector<LinkAction> actions = EvaluateLinks(links, ListSource(kA), 7);
    EXPECT_EQ(actions, (std::vector<LinkAction>{
                           {kB, LINK_VIEW_DISABLE}, {999, LINK_VIEW_HIDE}, {kC, LINK_VIEW_DISABLE}}));
    EXPECT_EQ(FinalState(actions, kB), kDisabled);
}

TEST(LinkEvaluationTest, LastFailedLinkToADestinationWins) {
    SetupItemLinkList links;
    links.AddLink(std::make_unique<SetupItemLink>(kB, kA, LINK_VIEW_SHOW, LINK_VIEW_HIDE, 1));
    links.AddLink(std::make_unique<SetupItemLink>(kB, kA, LINK_VIEW_SHOW, LINK_VIEW_DISABLE, 2));
    EXPECT_EQ(FinalState(EvaluateLinks(links, ListSource(kA), 0), kB), kDisabled);
}

// The full sample carries a header, ids and links; here the values at their limits.
TEST(SetupRecordsArchiveTest, HeaderIdListAndLinksAtTheirLimits) {
    SetupItemHeader header;
    header.AddTextLine("");
    header.AddTextLine(std::string(900, 'h'));
    SetupItemIDList ids;
    for (const uint64_t id : {5ull, 3ull, 5ull, 4000000000ull}) {
        ids.AddID(id);
    }
    const SetupItemLink link(4000000000ull, 3, LINK_VIEW_HIDE, LINK_VIEW_DISABLE, -2);
    const std::string xml = Written([&](TCFXDataWriter& writer) {
        header.Serialize_Save(writer, "1.09");
        ids.Serialize_Save(writer, "1.09");
        link.Serialize_Save(writer, "1.09", 3);
    });
    EXPECT_NE(xml.find("<SetupItemLink_ViewFoundOp_Id_3 T=\"1000\">1<"), std::string::npos);

    TCFXDataReader reader;
    ASSERT_TRUE(reader.openDocumentFromMemory(xml));
    EXPECT_EQ(SetupItemHeader::Serialize_Load(reader, "1.09")->GetTextLines(),
              (std::vector<std::string>{"", std::string(511, 'h')}));
    EXPECT_EQ(SetupItemIDList::Serialize_Load(reader, "1.09")->GetIDs(), ids.GetIDs());
    const auto loaded = SetupItemLink::Serialize_Load(reader, "1.09", 3);
    EXPECT_EQ(
        std::vector<int64_t>({int64_t(loaded->GetIdDst()), int64_t(loaded->GetIdSrc()),
                              loaded->GetViewFoundOp(), loaded->GetViewFailOp(), loaded->GetValueToCheck()}),
        std::vector<int64_t>({4000000000, 3, LINK_VIEW_HIDE, LINK_VIEW_DISABLE, -2}));
}

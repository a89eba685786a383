// The package component list: positions out of range, before/after queries and conversions, and the
// two filters the upgrade modes apply.
#include "firmware/PSWComponents.h"

#include <gtest/gtest.h>

namespace {

PSWComponents ListOf(std::initializer_list<int> values) {
    PSWComponents list;
    for (int v : values)
        list.Add(v);
    return list;
}

} // namespace

TEST(PSWComponents, QueriesOutOfRangeAbsentValuesAndModulesAnywhere) {
    const PSWComponents list = ListOf({0, 0x2002, 0x3008});
    EXPECT_EQ(list.Get(3), 0);
    EXPECT_EQ(list.Get(-1), 0);
    EXPECT_FALSE(list.IsModule(0));
    EXPECT_TRUE(list.IsModuleBefore(1));
    EXPECT_TRUE(list.IsModuleAfter(2));
    EXPECT_EQ(list.GetComponentIndex(0x3008), 2);
    EXPECT_EQ(list.GetComponentIndex(0x2008), 0); // absent reads like position 0
    EXPECT_TRUE(list.HasBeginModules() && list.HasAfterModules());
    EXPECT_FALSE(ListOf({0, 0x3004}).HasBeginModules());
    EXPECT_FALSE(ListOf({0, 0x2004}).HasAfterModules());
    EXPECT_TRUE(ListOf({0x2004}).HasModuleToChoose()); // the only module is the first entry
    EXPECT_FALSE(ListOf({0}).HasModuleToChoose());
}

TEST(PSWComponents, ConversionsLeaveTheFirmwareAlone) {
    PSWComponents list = ListOf({0, 0x2002, 0x3004});
    list.ConvertModulesBeforeToAfter();
    EXPECT_EQ(list, ListOf({0, 0x3002, 0x3004}));
    list.ConvertModulesAfterToBefore();
    EXPECT_EQ(list, ListOf({0, 0x2002, 0x2004}));
}

TEST(PSWComponents, FiltersKeepMainOrOtherModules) {
    PSWComponents main = ListOf({0, 0x2002, 0x2010, 0x3008, 0x3004});
    main.KeepOnlyMainModules();
    EXPECT_EQ(main, ListOf({0x2002, 0x3008, 0x3004}));
    PSWComponents other = ListOf({0, 0x2002, 0x2010, 0x3008, 0x3010});
    other.KeepOnlyOtherModules();
    EXPECT_EQ(other, ListOf({0, 0x2010, 0x3010}));
}

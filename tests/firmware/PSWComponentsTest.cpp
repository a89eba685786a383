// The package component list: queries, before/after conversion and the two filters.
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

TEST(PSWComponents, PositionsAndQueries) {
    PSWComponents list = ListOf({0, 0x2002, 0x3008});
    EXPECT_EQ(list.Size(), 3);
    EXPECT_EQ(list.Get(1), 0x2002);
    EXPECT_EQ(list.Get(3), 0);
    EXPECT_EQ(list.Get(-1), 0);
    EXPECT_FALSE(list.IsModule(0));
    EXPECT_TRUE(list.IsModule(1));
    EXPECT_TRUE(list.IsModuleBefore(1));
    EXPECT_TRUE(list.IsModuleAfter(2));
    EXPECT_TRUE(list.HasComponent(0x3008));
    EXPECT_FALSE(list.HasComponent(0x2008));
    EXPECT_EQ(list.GetComponentIndex(0x3008), 2);
    EXPECT_EQ(list.GetComponentIndex(0x2008), 0); // absent reads like position 0
    EXPECT_TRUE(list.HasBeginModules());
    EXPECT_TRUE(list.HasAfterModules());
    list.ResetList();
    EXPECT_EQ(list.Size(), 0);
    EXPECT_FALSE(list.HasModuleToChoose());
}

TEST(PSWComponents, ModuleToChooseAnywhereInTheList) {
    EXPECT_TRUE(ListOf({0x2004}).HasModuleToChoose());
    EXPECT_TRUE(ListOf({0x2004, 0}).HasModuleToChoose());
    EXPECT_TRUE(ListOf({0, 0x3010}).HasModuleToChoose());
    EXPECT_FALSE(ListOf({0}).HasModuleToChoose());
    EXPECT_FALSE(ListOf({0x3004}).HasBeginModules());
    EXPECT_FALSE(ListOf({0, 0x2004}).HasAfterModules());
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

TEST(PSWComponents, ChangeFirstMatchOnlyAndDump) {
    PSWComponents list = ListOf({0, 0x2004, 0x2004});
    list.ChangeFirstModuleFind(0x2004, 0x3010);
    EXPECT_EQ(list, ListOf({0, 0x3010, 0x2004}));
    list.ChangeFirstModuleFind(0x2008, 0x3010);
    EXPECT_EQ(list, ListOf({0, 0x3010, 0x2004}));
    testing::internal::CaptureStdout();
    list.DumpWholeList();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "PSWComponents list Len 3 \n[0] : 0x0 \n[1] : 0x3010 \n[2] : 0x2004 \n");
}

#include "host/session/command_stack.h"

#include <gtest/gtest.h>

#include "platform/rxobject.h"

namespace {

int g_calls = 0;
void First() {
    ++g_calls;
}
void Second() {
    g_calls += 10;
}

class CommandStackTest : public ::testing::Test {
protected:
    host::CommandStack stack;
    AcEdCommandStack& api = stack;
};

TEST_F(CommandStackTest, FindsByGlobalOrLocalNameIgnoringCase) {
    AcEdCommand* added = nullptr;
    ASSERT_EQ(api.addCommand("Quarv", "_DbTable_Create", "DbTable_Erstellen", 0, First, nullptr, -1,
                             nullptr, &added),
              Acad::eOk);
    ASSERT_NE(added, nullptr);
    for (const char* name :
         {"_DbTable_Create", "_dbtable_create", "DBTABLE_ERSTELLEN", "DbTable_Create"}) {
        EXPECT_EQ(stack.lookupCmd(name), added) << name;
    }
    // "_" asks for a global name: the local name does not count then.
    EXPECT_EQ(stack.lookupCmd("_DbTable_Erstellen"), nullptr);
    EXPECT_EQ(stack.lookupCmd("DbTable"), nullptr);
    EXPECT_EQ(stack.lookupCmd(""), nullptr);
    EXPECT_EQ(stack.lookupCmd("_"), nullptr);
    EXPECT_EQ(stack.lookupCmd(u"dbtable_erstellen"), added);
    EXPECT_STREQ(added->groupNameUtf8(), "Quarv");
    EXPECT_STREQ(added->globalNameUtf8(), "_DbTable_Create");
    added->functionAddr()();
    EXPECT_EQ(g_calls, 1);
}

TEST_F(CommandStackTest, RefusesDuplicatesAndBadInput) {
    ASSERT_EQ(api.addCommand("G", "_One", "Eins", 0, First), Acad::eOk);
    EXPECT_EQ(api.addCommand("g", "_ONE", "Anders", 0, First), Acad::eDuplicateKey);
    EXPECT_EQ(api.addCommand("G", "_Two", "eins", 0, First), Acad::eDuplicateKey);
    EXPECT_EQ(api.addCommand("G", "", "Zwei", 0, First), Acad::eInvalidInput);
    EXPECT_EQ(api.addCommand("G", "_Two", "Zwei", 0, nullptr), Acad::eInvalidInput);
    EXPECT_EQ(api.addCommand(nullptr, "_Two", "Zwei", 0, First), Acad::eInvalidInput);
    EXPECT_EQ(api.addCommand(u"G", nullptr, u"Zwei", 0, First), Acad::eInvalidInput);
    // The same name in another group is allowed; the newer group is found first.
    EXPECT_EQ(api.addCommand("H", "_One", "Eins", 0, Second), Acad::eOk);
    EXPECT_STREQ(stack.lookupCmd("_one")->groupNameUtf8(), "H");
    EXPECT_EQ(stack.Count(), 2u);
}

TEST_F(CommandStackTest, RemovesCommandsAndGroups) {
    ASSERT_EQ(api.addCommand("Quarv", "_A", "A", 0, First), Acad::eOk);
    ASSERT_EQ(api.addCommand("Quarv", "_B", "B", 0, First), Acad::eOk);
    ASSERT_EQ(api.addCommand(u"Morvane", u"_C", u"C", 0, First), Acad::eOk);
    EXPECT_EQ(stack.removeCmd("quarv", "_a"), Acad::eOk);
    EXPECT_EQ(stack.lookupCmd("A"), nullptr);
    EXPECT_EQ(stack.removeCmd("Quarv", "_A"), Acad::eKeyNotFound);
    EXPECT_EQ(stack.removeCmd("Nope", "_B"), Acad::eKeyNotFound);
    EXPECT_EQ(stack.removeCmd(u"Quarv", u"_B"), Acad::eOk);
    EXPECT_EQ(stack.removeGroup("Morvane"), Acad::eOk);
    EXPECT_EQ(stack.removeGroup("Morvane"), Acad::eKeyNotFound);
    EXPECT_EQ(stack.Count(), 0u);
    // Adding again after removal works.
    EXPECT_EQ(api.addCommand("Quarv", "_A", "A", 0, First), Acad::eOk);
}

TEST_F(CommandStackTest, ListsGroupsInOrderOfAdding) {
    api.addCommand("Quarv", "_A", "A", 0, First);
    api.addCommand("Morvane", "_M", "M", 0, First);
    api.addCommand("Quarv", "_B", "B", 0, First);
    std::vector<std::string> names;
    for (const host::Command* c : stack.Commands())
        names.push_back(c->globalNameUtf8());
    EXPECT_EQ(names, (std::vector<std::string>{"_A", "_B", "_M"}));
}

}  // namespace

// The command stack: commands that modules register under a group with a global and a local
// name, found by either name ignoring letter case. A typed name with a leading "_" is a global
// name; any other name is tried as a local name first, then as a global name. Groups are
// searched newest first, so a later group's command hides an older one of the same name.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/accmd.h"

namespace host {

class Command final : public AcEdCommand {
public:
    Command(std::string group, std::string globalName, std::string localName, int flags,
            AcRxFunctionPtr function, int functionCode, HINSTANCE resource);
    AcRxFunctionPtr functionAddr() const override { return m_function; }
    int functionCode() const override { return m_functionCode; }
    int commandFlags() const override { return m_flags; }
    HINSTANCE resourceHandle() const override { return m_resource; }
    const char* globalNameUtf8() const override { return m_global.c_str(); }
    const char* localNameUtf8() const override { return m_local.c_str(); }
    const char* groupNameUtf8() const override { return m_group.c_str(); }

private:
    std::string m_group, m_global, m_local;
    int m_flags;
    AcRxFunctionPtr m_function;
    int m_functionCode;
    HINSTANCE m_resource;
};

class CommandStack final : public AcEdCommandStack {
public:
    Acad::ErrorStatus addCommand(const char* groupName, const char* globalName,
                                 const char* localName, int flags, AcRxFunctionPtr function,
                                 AcEdUIContext* uiContext, int fcode, HINSTANCE resourceHandle,
                                 AcEdCommand** cmdPtrRet) override;
    Acad::ErrorStatus addCommand(const char16_t* groupName, const char16_t* globalName,
                                 const char16_t* localName, int flags, AcRxFunctionPtr function,
                                 AcEdUIContext* uiContext, int fcode, HINSTANCE resourceHandle,
                                 AcEdCommand** cmdPtrRet) override;
    Acad::ErrorStatus removeCmd(const char* groupName, const char* globalName) override;
    Acad::ErrorStatus removeCmd(const char16_t* groupName, const char16_t* globalName) override;
    Acad::ErrorStatus removeGroup(const char* groupName) override;
    Acad::ErrorStatus removeGroup(const char16_t* groupName) override;
    AcEdCommand* lookupCmd(const char* name) const override;
    AcEdCommand* lookupCmd(const char16_t* name) const override;

    // Every command, groups in the order they were first added, commands in adding order.
    std::vector<const Command*> Commands() const;
    std::size_t Count() const;
    // Removes every command whose function lies in [begin, end) (a module's code that is
    // about to go away); returns how many were removed.
    std::size_t RemoveCommandsIn(const void* begin, const void* end);
    // Removes everything (tests).
    void Clear() { m_groups.clear(); }

private:
    struct Group {
        std::string name;
        std::vector<std::unique_ptr<Command>> commands;
    };
    Group* FindGroup(std::string_view name);
    std::vector<Group> m_groups;
};

// The host's command stack (also registered as "ACAD_REGISTERED_COMMANDS").
CommandStack& Commands();

}  // namespace host

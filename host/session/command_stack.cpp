#include "host/session/command_stack.h"

#include <algorithm>
#include <functional>

#include "host/base/text.h"
#include "platform/textconv.h"

namespace host {

namespace {

std::string_view WithoutUnderscore(std::string_view name) {
    if (!name.empty() && name.front() == '_')
        name.remove_prefix(1);
    return name;
}

bool Empty(const char* text) {
    return !text || !*text;
}

}  // namespace

Command::Command(std::string group, std::string globalName, std::string localName, int flags,
                 AcRxFunctionPtr function, int functionCode, HINSTANCE resource)
    : m_group(std::move(group)),
      m_global(std::move(globalName)),
      m_local(std::move(localName)),
      m_flags(flags),
      m_function(function),
      m_functionCode(functionCode),
      m_resource(resource) {}

CommandStack::Group* CommandStack::FindGroup(std::string_view name) {
    for (Group& group : m_groups) {
        if (EqualNoCase(group.name, name))
            return &group;
    }
    return nullptr;
}

Acad::ErrorStatus CommandStack::addCommand(const char* groupName, const char* globalName,
                                           const char* localName, int flags,
                                           AcRxFunctionPtr function, AcEdUIContext*, int fcode,
                                           HINSTANCE resourceHandle, AcEdCommand** cmdPtrRet) {
    if (cmdPtrRet)
        *cmdPtrRet = nullptr;
    if (Empty(groupName) || Empty(globalName) || Empty(localName) || !function ||
        WithoutUnderscore(globalName).empty())
        return Acad::eInvalidInput;
    Group* group = FindGroup(groupName);
    if (group) {
        for (const auto& command : group->commands) {
            if (EqualNoCase(WithoutUnderscore(command->globalNameUtf8()),
                            WithoutUnderscore(globalName)) ||
                EqualNoCase(command->localNameUtf8(), localName))
                return Acad::eDuplicateKey;
        }
    } else {
        m_groups.push_back(Group{groupName, {}});
        group = &m_groups.back();
    }
    group->commands.push_back(std::make_unique<Command>(group->name, globalName, localName, flags,
                                                        function, fcode, resourceHandle));
    if (cmdPtrRet)
        *cmdPtrRet = group->commands.back().get();
    return Acad::eOk;
}

Acad::ErrorStatus CommandStack::addCommand(const char16_t* groupName, const char16_t* globalName,
                                           const char16_t* localName, int flags,
                                           AcRxFunctionPtr function, AcEdUIContext* uiContext,
                                           int fcode, HINSTANCE resourceHandle,
                                           AcEdCommand** cmdPtrRet) {
    if (!groupName || !globalName || !localName) {
        if (cmdPtrRet)
            *cmdPtrRet = nullptr;
        return Acad::eInvalidInput;
    }
    return addCommand(qv::ToUtf8(groupName).c_str(), qv::ToUtf8(globalName).c_str(),
                      qv::ToUtf8(localName).c_str(), flags, function, uiContext, fcode,
                      resourceHandle, cmdPtrRet);
}

Acad::ErrorStatus CommandStack::removeCmd(const char* groupName, const char* globalName) {
    if (Empty(groupName) || Empty(globalName))
        return Acad::eInvalidInput;
    Group* group = FindGroup(groupName);
    if (!group)
        return Acad::eKeyNotFound;
    auto& commands = group->commands;
    const auto it = std::find_if(commands.begin(), commands.end(), [&](const auto& command) {
        return EqualNoCase(WithoutUnderscore(command->globalNameUtf8()),
                           WithoutUnderscore(globalName));
    });
    if (it == commands.end())
        return Acad::eKeyNotFound;
    commands.erase(it);
    if (commands.empty()) {
        m_groups.erase(m_groups.begin() + (group - m_groups.data()));
    }
    return Acad::eOk;
}

Acad::ErrorStatus CommandStack::removeCmd(const char16_t* groupName, const char16_t* globalName) {
    if (!groupName || !globalName)
        return Acad::eInvalidInput;
    return removeCmd(qv::ToUtf8(groupName).c_str(), qv::ToUtf8(globalName).c_str());
}

Acad::ErrorStatus CommandStack::removeGroup(const char* groupName) {
    if (Empty(groupName))
        return Acad::eInvalidInput;
    Group* group = FindGroup(groupName);
    if (!group)
        return Acad::eKeyNotFound;
    m_groups.erase(m_groups.begin() + (group - m_groups.data()));
    return Acad::eOk;
}

Acad::ErrorStatus CommandStack::removeGroup(const char16_t* groupName) {
    if (!groupName)
        return Acad::eInvalidInput;
    return removeGroup(qv::ToUtf8(groupName).c_str());
}

AcEdCommand* CommandStack::lookupCmd(const char* name) const {
    if (Empty(name))
        return nullptr;
    const std::string_view typed(name);
    const bool global = typed.front() == '_';
    const std::string_view bare = WithoutUnderscore(typed);
    if (bare.empty())
        return nullptr;
    auto search = [&](auto matches) -> AcEdCommand* {
        for (auto group = m_groups.rbegin(); group != m_groups.rend(); ++group) {
            for (const auto& command : group->commands) {
                if (matches(*command))
                    return command.get();
            }
        }
        return nullptr;
    };
    auto byGlobal = [&](const Command& c) {
        return EqualNoCase(WithoutUnderscore(c.globalNameUtf8()), bare);
    };
    if (global)
        return search(byGlobal);
    if (AcEdCommand* found =
            search([&](const Command& c) { return EqualNoCase(c.localNameUtf8(), typed); }))
        return found;
    return search(byGlobal);
}

AcEdCommand* CommandStack::lookupCmd(const char16_t* name) const {
    if (!name)
        return nullptr;
    return lookupCmd(qv::ToUtf8(name).c_str());
}

std::vector<const Command*> CommandStack::Commands() const {
    std::vector<const Command*> all;
    for (const Group& group : m_groups) {
        for (const auto& command : group.commands)
            all.push_back(command.get());
    }
    return all;
}

std::size_t CommandStack::Count() const {
    std::size_t n = 0;
    for (const Group& group : m_groups)
        n += group.commands.size();
    return n;
}

std::size_t CommandStack::RemoveCommandsIn(const void* begin, const void* end) {
    std::size_t removed = 0;
    const std::less<const void*> less;
    for (Group& group : m_groups) {
        auto& commands = group.commands;
        const auto first = std::remove_if(commands.begin(), commands.end(), [&](const auto& c) {
            const void* address = reinterpret_cast<const void*>(c->functionAddr());
            return !less(address, begin) && less(address, end);
        });
        removed += static_cast<std::size_t>(commands.end() - first);
        commands.erase(first, commands.end());
    }
    std::erase_if(m_groups, [](const Group& g) { return g.commands.empty(); });
    return removed;
}

CommandStack& Commands() {
    static CommandStack* stack = new CommandStack;  // lives as long as the process
    return *stack;
}

}  // namespace host

AcEdCommandStack* acedRegCmdsPtr() {
    return &host::Commands();
}

#include "host/session/loader.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "../host_test.h"
#include "host/session/app_services.h"
#include "host/session/command_stack.h"
#include "host/session/documents.h"
#include "platform/accmd.h"
#include "platform/dbapserv.h"
#include "platform/rxregsvc.h"

namespace {

std::string Module(const char* name) {
    return std::string(HUI_MODULE_DIR) + "/" + name + ".so";
}

class Loader : public HostTest {
protected:
    void SetUp() override {
        host::SetRelease({17, 0});
        HostTest::SetUp();
    }
    void TearDown() override {
        HostTest::TearDown();
        host::SetRelease({17, 0});
    }
};

TEST_F(Loader, LoadRegistersCommandsAndUnloadRemovesThem) {
    std::string error;
    ASSERT_TRUE(host::LoadModule(Module("hui_module17"), &error)) << error;
    EXPECT_EQ(out, "\n[init]\n[loaddwg]");
    EXPECT_NE(acedRegCmds->lookupCmd("_HuiHello"), nullptr);
    EXPECT_NE(acedRegCmds->lookupCmd("HuiAndere"), nullptr);
    ASSERT_EQ(host::LoadedModules().size(), 1u);
    EXPECT_EQ(host::LoadedModules()[0]->name, "hui_module17.so");
    EXPECT_TRUE(host::LoadedModules()[0]->unlocked);
    EXPECT_TRUE(host::LoadedModules()[0]->mdiAware);

    // Module commands run like built-ins.
    out.clear();
    EXPECT_TRUE(RunScript({"huihallo"}));
    EXPECT_NE(out.find("hello from the test module"), std::string::npos);

    // Documents opened and closed later reach the module and its reactor.
    out.clear();
    host::Document* doc = host::Documents()->Open();
    host::Documents()->Close(doc);
    EXPECT_EQ(out, "\n[reactor created]\n[loaddwg]\n[unloaddwg]\n[reactor destroyed]");

    out.clear();
    ASSERT_TRUE(host::UnloadModule("hui_module17", &error)) << error;
    EXPECT_EQ(out, "\n[unloaddwg]\n[unload]");
    EXPECT_EQ(acedRegCmds->lookupCmd("_HuiHello"), nullptr);
    EXPECT_TRUE(host::LoadedModules().empty());
    EXPECT_EQ(host::Documents()->ReactorCount(), 0u);
    EXPECT_TRUE(errors.empty()) << errors;
    // The library is really gone (its static data starts afresh on the next load).
    EXPECT_EQ(dlopen(Module("hui_module17").c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);

    // Loading again in the same run registers the commands again.
    ASSERT_TRUE(host::LoadModule(Module("hui_module17"), &error)) << error;
    EXPECT_NE(acedRegCmds->lookupCmd("_HuiHello"), nullptr);
    EXPECT_EQ(host::Commands().Count(), 2u);
}

TEST_F(Loader, RefusesWhatIsNotAModuleOfThisHost) {
    struct Case {
        std::string path;
        const char* reason;
    };
    const Case cases[] = {
        {Module("hui_noentry"), "no acrxEntryPoint"},
        {Module("hui_revision"), "interface revision 99"},
        {Module("hui_module16"), "built for release 16 and this host is release 17.0"},
        {Module("does_not_exist"), "no such file"},
        {std::string(QUARVEL_SOURCE_DIR) + "/CMakeLists.txt", "cannot load"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(host::LoadModule(c.path, &error)) << c.path;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    EXPECT_TRUE(host::LoadedModules().empty());
    EXPECT_EQ(host::Commands().Count(), 0u);
    EXPECT_EQ(out, "");
}

TEST_F(Loader, ModuleLoadsIntoItsOwnRelease) {
    host::SetRelease({16, 1});
    std::string error;
    EXPECT_TRUE(host::LoadModule(Module("hui_module16"), &error)) << error;
    EXPECT_FALSE(host::LoadModule(Module("hui_module17"), &error));
    EXPECT_FALSE(host::LoadModule(Module("hui_module16"), &error));
    EXPECT_NE(error.find("already loaded"), std::string::npos);
}

TEST_F(Loader, LockedModuleStaysUntilExit) {
    std::string error;
    ASSERT_TRUE(host::LoadModule(Module("hui_locked"), &error)) << error;
    EXPECT_FALSE(host::UnloadModule("hui_locked.so", &error));
    EXPECT_NE(error.find("locked"), std::string::npos);
    EXPECT_NE(acedRegCmds->lookupCmd("HuiHallo"), nullptr);
    // The session's end unloads it anyway.
    out.clear();
    session.reset();
    EXPECT_NE(out.find("[unload]"), std::string::npos);
    EXPECT_EQ(acedRegCmds->lookupCmd("HuiHallo"), nullptr);
}

TEST_F(Loader, WhatAModuleLeavesBehindIsTakenOut) {
    std::string error;
    ASSERT_TRUE(host::LoadModule(Module("hui_leaky"), &error)) << error;
    ASSERT_TRUE(host::UnloadModule(Module("hui_leaky"), &error)) << error;
    EXPECT_EQ(acedRegCmds->lookupCmd("HuiHallo"), nullptr);
    EXPECT_EQ(host::Documents()->ReactorCount(), 0u);
    EXPECT_NE(errors.find("left 2 command(s)"), std::string::npos) << errors;
    EXPECT_NE(errors.find("left 1 document reactor(s)"), std::string::npos) << errors;
    // A later document event does not reach the gone module.
    host::Documents()->Open();
}

TEST_F(Loader, RefusedModuleLeavesNoReactorBehind) {
    // Its static constructor registered a reactor before the host could look at its version.
    std::string error;
    EXPECT_FALSE(host::LoadModule(Module("hui_static16"), &error));
    EXPECT_NE(error.find("built for release 16"), std::string::npos) << error;
    EXPECT_EQ(host::Documents()->ReactorCount(), 0u);
    EXPECT_NE(errors.find("left 1 document reactor(s)"), std::string::npos) << errors;
    host::Documents()->Open();  // nothing reaches the refused module
    EXPECT_EQ(out, "");
}

TEST_F(Loader, ArxCommandLoadsListsAndUnloads) {
    EXPECT_TRUE(RunScript({"ARX", "Load", Module("hui_module17"), "ARX", "Commands", "ARX", "?",
                           "ARX", "U", "hui_module17", "ARX", "c"}));
    EXPECT_NE(out.find("HUI_TEST     _HuiHello                    HuiHallo"), std::string::npos)
        << out;
    EXPECT_NE(out.find("HUI_TEST     _HuiOther                    HuiAndere"), std::string::npos);
    EXPECT_NE(out.find("hui_module17.so      release 17"), std::string::npos);
    EXPECT_NE(out.find("No module commands are registered."), std::string::npos);
    EXPECT_FALSE(RunScript({"ARX", "Load", Module("hui_noentry")}));
    EXPECT_NE(errors.find("no acrxEntryPoint"), std::string::npos);
}

TEST(HostRegistry, ServicesAreRegisteredWithoutASession) {
    EXPECT_EQ(acrxSysRegistry()->at(ACRX_COMMAND_DOCK), acedRegCmds);
    EXPECT_EQ(acrxSysRegistry()->at(ACRX_DYNAMIC_LINKER), acrxDynamicLinker);
}

TEST(HostFacts, ReleaseAndProgramName) {
    host::HostRelease release;
    for (const char* text : {"16.0", "16.1", "16.2", "17.0", "17.1", "17.2"})
        EXPECT_TRUE(host::ParseRelease(text, release)) << text;
    for (const char* text : {"15.0", "16.3", "17", "17.0.1", "", "x6.1"})
        EXPECT_FALSE(host::ParseRelease(text, release)) << text;
    ASSERT_TRUE(host::ParseRelease("16.2", release));
    host::SetRelease(release);
    AcDbHostApplicationServices* services = acdbHostApplicationServices();
    EXPECT_EQ(services->releaseMajorVersion(), 16);
    EXPECT_EQ(services->releaseMinorVersion(), 2);
    EXPECT_STREQ(services->releaseMarkerA(), "R16.2");
    EXPECT_EQ(std::u16string(services->releaseMarkerW()), u"R16.2");
    EXPECT_STREQ(services->programBaseName(), "acad");
    host::SetProgramBaseName("mycad");
    EXPECT_STREQ(services->programBaseName(), "mycad");
    host::SetProgramBaseName("acad");
    host::SetRelease({17, 0});
}

}  // namespace

// Scripts written into a fresh folder and compiled with the platform's headers on the include
// path, as the build compiles the module's script.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tools/rc/compiler.h"
#include "tools/rc/diagnostics.h"

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name) {
            if (c == '/')
                c = '_';
        }
        dir_ = std::filesystem::temp_directory_path() /
               ("quarvel_rc_" + name + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path Write(const std::string& name, const std::string& text) {
        const std::filesystem::path path = dir_ / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    rc::CompileOptions Options(const std::string& script = "test.rc") const {
        rc::CompileOptions options;
        options.script = dir_ / script;
        options.includeDirs = {QUARVEL_SOURCE_DIR, std::string(QUARVEL_SOURCE_DIR) + "/platform"};
        return options;
    }

    // Compiles the text as test.rc.
    rc::ResourceScript Compile(const std::string& text) {
        Write("test.rc", text);
        return rc::Compile(Options()).resources;
    }

    // The error report of a script that must not compile ("" when it compiles).
    std::string CompileError(const std::string& text) {
        Write("test.rc", text);
        try {
            rc::Compile(Options());
        } catch (const rc::Error& e) {
            return e.what();
        }
        return "";
    }

    // The report as it reads with the folder left out: "test.rc:3: error: ...".
    std::string Relative(const std::string& report) const {
        const std::string prefix = dir_.string() + "/";
        return report.rfind(prefix, 0) == 0 ? report.substr(prefix.size()) : report;
    }

    std::filesystem::path dir_;
};

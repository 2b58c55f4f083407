#include "tools/rc/compiler.h"

#include <unistd.h>

#include <fstream>
#include <system_error>

#include "tools/rc/diagnostics.h"
#include "tools/rc/generate.h"
#include "tools/rc/parser.h"
#include "tools/rc/preprocessor.h"

namespace rc {

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: quarvel_rc SCRIPT.rc [-I DIR]... [-D NAME[=VALUE]]... -o OUTPUT.cpp "
    "[--depfile FILE]\n";

// Writes a file whole or not at all: the text goes to a temporary file beside it first.
bool WriteWhole(const fs::path& path, const std::string& text, std::string& error) {
    const fs::path temporary = path.string() + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::error_code ec;
            fs::remove(temporary, ec);
            error = "cannot write '" + path.string() + "'";
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) {
        fs::remove(temporary, ec);
        error = "cannot write '" + path.string() + "'";
        return false;
    }
    return true;
}

void RemoveIfPresent(const fs::path& path) {
    std::error_code ec;
    if (!path.empty())
        fs::remove(path, ec);
}

}  // namespace

CompileResult Compile(const CompileOptions& options) {
    PreprocessorOptions pp;
    pp.includeDirs = options.includeDirs;
    pp.defines = options.defines;
    Preprocessor preprocessor(pp);
    TokenStream tokens = preprocessor.Run(options.script);

    ParseOptions parse;
    parse.scriptDir = options.script.parent_path();
    parse.searchDirs = options.includeDirs;
    parse.onFileRead = [&](const fs::path& file) { preprocessor.AddDependency(file); };

    CompileResult result;
    result.resources = ParseResources(tokens, parse);
    result.files = preprocessor.Files();
    return result;
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& err) {
    CompileOptions options;
    fs::path output, depfile;
    // An option's value follows it or is attached to it ("-Idir").
    const auto value = [&](std::size_t& i, const std::string& option, std::string& into) {
        if (args[i].size() > option.size()) {
            into = args[i].substr(option.size());
            return true;
        }
        if (i + 1 >= args.size())
            return false;
        into = args[++i];
        return true;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string v;
        if (a == "--help" || a == "-h") {
            err << kUsage;
            return 2;
        } else if (a.rfind("-I", 0) == 0) {
            if (!value(i, "-I", v)) {
                err << "quarvel_rc: -I needs a folder\n" << kUsage;
                return 2;
            }
            options.includeDirs.emplace_back(v);
        } else if (a.rfind("-D", 0) == 0) {
            if (!value(i, "-D", v) || v.empty() || v[0] == '=') {
                err << "quarvel_rc: -D needs a name\n" << kUsage;
                return 2;
            }
            const std::size_t eq = v.find('=');
            if (eq == std::string::npos)
                options.defines.emplace_back(v, "1");
            else
                options.defines.emplace_back(v.substr(0, eq), v.substr(eq + 1));
        } else if (a == "-o") {
            if (!value(i, "-o", v)) {
                err << "quarvel_rc: -o needs a file\n" << kUsage;
                return 2;
            }
            output = v;
        } else if (a == "--depfile") {
            if (!value(i, "--depfile", v)) {
                err << "quarvel_rc: --depfile needs a file\n" << kUsage;
                return 2;
            }
            depfile = v;
        } else if (!a.empty() && a[0] == '-') {
            err << "quarvel_rc: unknown option '" << a << "'\n" << kUsage;
            return 2;
        } else if (options.script.empty()) {
            options.script = a;
        } else {
            err << "quarvel_rc: more than one script given\n" << kUsage;
            return 2;
        }
    }
    if (options.script.empty() || output.empty()) {
        err << "quarvel_rc: a script and -o OUTPUT are needed\n" << kUsage;
        return 2;
    }

    std::string report;
    try {
        const CompileResult result = Compile(options);
        const std::string source =
            GenerateSource(result.resources, options.script.filename().string());
        std::string error;
        if (WriteWhole(output, source, error) &&
            (depfile.empty() || WriteWhole(depfile, GenerateDepfile(output, result.files), error)))
            return 0;
        report = "quarvel_rc: error: " + error;
    } catch (const Error& e) {
        report = e.what();
    }
    // A failed compile leaves no output behind, not even one from an earlier run, so a build
    // can never pick up stale tables.
    RemoveIfPresent(output);
    RemoveIfPresent(depfile);
    err << report << "\n";
    return 1;
}

}  // namespace rc

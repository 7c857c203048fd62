// rvl-pack: builds .rvl quiz packs from a JSON manifest and media files,
// unpacks them again, and checks them against what the reader can show.
// Exit status: 0 clean, 1 warnings, 2 errors.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "packing/issues.h"
#include "packing/manifest.h"
#include "packing/module_writer.h"
#include "packing/pack_check.h"
#include "packing/pack_reader.h"
#include "platform/resource_files.h"

using namespace rvlpack;

namespace {

const char* const usage =
    "usage: rvl-pack build MANIFEST.json -o PACK.rvl [--res DIR]\n"
    "       rvl-pack unpack PACK.rvl -o DIR\n"
    "       rvl-pack check PACK.rvl [--res DIR]\n"
    "--res DIR names the directory holding the reader's fonts (Brush.ttf, FuturaC.ttf);\n"
    "by default res/ beside rvl-pack, then res/ in the current directory.\n";

struct Arguments {
    std::string command, input, output, resDir;
};

bool parseArguments(int argc, char** argv, Arguments& args, std::string& error) {
    if (argc < 2) {
        error = "no command given";
        return false;
    }
    args.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if ((a == "-o" || a == "--res") && i + 1 < argc) {
            (a == "-o" ? args.output : args.resDir) = argv[++i];
        } else if (a == "-o" || a == "--res") {
            error = a + " needs a value";
            return false;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            error = "unknown option " + a;
            return false;
        } else if (args.input.empty()) {
            args.input = a;
        } else {
            error = "more than one input: " + args.input + " and " + a;
            return false;
        }
    }
    if (args.command != "build" && args.command != "unpack" && args.command != "check") {
        error = "unknown command \"" + args.command + "\"";
        return false;
    }
    if (args.input.empty()) {
        error = args.command + " needs an input file";
        return false;
    }
    if (args.command != "check" && args.output.empty()) {
        error = args.command + " needs -o " + (args.command == "build" ? "PACK.rvl" : "DIR");
        return false;
    }
    if (args.command == "check" && !args.output.empty()) {
        error = "check writes nothing; drop -o";
        return false;
    }
    return true;
}

bool hasFonts(const std::string& dir) {
    return access(resource::inDirectory(dir, resource::cardFont).c_str(), R_OK) == 0 &&
           access(resource::inDirectory(dir, resource::boardFont).c_str(), R_OK) == 0;
}

// The reader's fonts: --res, else res/ beside this program, else ./res.
std::string findFontDir(const std::string& given, std::vector<Issue>& issues) {
    if (!given.empty()) {
        if (hasFonts(given)) return given;
        addIssue(issues, Severity::Note, "",
                 "no Brush.ttf and FuturaC.ttf in " + given + "; the text width checks were skipped");
        return "";
    }
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string besideMe;
    if (n > 0) {
        std::string path(exe, static_cast<size_t>(n));
        besideMe = path.substr(0, path.rfind('/')) + "/res";
        if (hasFonts(besideMe)) return besideMe;
    }
    if (hasFonts("res")) return "res";
    addIssue(issues, Severity::Note, "",
             "the reader's fonts were not found (looked in " + (besideMe.empty() ? "" : besideMe + " and ") +
                 "./res); the text width checks were skipped; name their directory with --res DIR");
    return "";
}

int report(const std::vector<Issue>& issues) {
    for (const Issue& issue : issues) fprintf(stderr, "%s\n", formatIssue(issue).c_str());
    if (countIssues(issues, Severity::Error)) return 2;
    return countIssues(issues, Severity::Warning) ? 1 : 0;
}

std::string counted(uint64_t n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

std::string summary(const Module& module) {
    size_t questions = 0;
    for (const Topic& topic : module.topics) questions += topic.questions.size();
    return counted(module.topics.size(), "topic") + ", " + counted(questions, "question") + ", " +
           counted(moduleSize(module), "byte");
}

// A pack that cannot be read: open failures name the file themselves.
void addReadFailure(std::vector<Issue>& issues, const std::string& path, const ReadFailure& failure) {
    addIssue(issues, Severity::Error, failure.atOffset ? path : "", failure.message);
}

int build(const Arguments& args) {
    std::vector<Issue> issues;
    Module module;
    if (!loadManifest(args.input, module, issues)) {
        addIssue(issues, Severity::Error, "", "nothing was written to " + args.output);
        return report(issues);
    }
    CheckOptions options;
    options.fontDir = findFontDir(args.resDir, issues);
    checkModule(module, options, issues);
    std::string error;
    if (!writeModuleFile(module, args.output, &error)) {
        addIssue(issues, Severity::Error, "", error);
        return report(issues);
    }
    int status = report(issues);
    printf("wrote %s: %s\n", args.output.c_str(), summary(module).c_str());
    return status;
}

// Reads the pack named on the command line; on failure its reason joins issues.
bool readPack(const std::string& path, Module& module, std::vector<Issue>& issues) {
    ReadFailure failure;
    if (readModuleFile(path, module, &failure)) return true;
    addReadFailure(issues, path, failure);
    return false;
}

int check(const Arguments& args) {
    std::vector<Issue> issues;
    Module module;
    if (!readPack(args.input, module, issues)) return report(issues);
    CheckOptions options;
    options.fontDir = findFontDir(args.resDir, issues);
    checkModule(module, options, issues);
    int status = report(issues);
    printf("%s: %s; %s\n", args.input.c_str(), summary(module).c_str(),
           counted(countIssues(issues, Severity::Warning), "warning").c_str());
    return status;
}

// Removes what unpack wrote into dir: media/*, manifest.json, the directories.
void removeTree(const std::string& dir) {
    std::string media = dir + "/media";
    if (DIR* list = opendir(media.c_str())) {
        while (dirent* entry = readdir(list)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") remove((media + "/" + name).c_str());
        }
        closedir(list);
    }
    rmdir(media.c_str());
    remove((dir + "/manifest.json").c_str());
    rmdir(dir.c_str());
}

mode_t currentUmask() {
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// Writes into a fresh directory beside the target and renames it into place
// at the end, so a failure leaves no half-written directory behind.
int unpack(const Arguments& args) {
    std::vector<Issue> issues;
    Module module;
    if (!readPack(args.input, module, issues)) return report(issues);
    std::string target = args.output;
    while (target.size() > 1 && target.back() == '/') target.pop_back();
    struct stat st {};
    if (stat(target.c_str(), &st) == 0 && !(S_ISDIR(st.st_mode) && rmdir(target.c_str()) == 0)) {
        addIssue(issues, Severity::Error, target, "exists and is not an empty directory; name a new directory");
        return report(issues);
    }
    std::string temp = target + ".tmp-XXXXXX";
    std::string error;
    if (!mkdtemp(&temp[0])) {
        error = "cannot create a directory beside " + target + ": " + strerror(errno);
    } else if (chmod(temp.c_str(), 0777 & ~currentUmask()) != 0 ||
               !saveManifest(module, temp, &error)) {
        if (error.empty()) error = "cannot set the permissions of " + temp;
        removeTree(temp);
    } else if (rename(temp.c_str(), target.c_str()) != 0) {
        error = "cannot rename " + temp + " to " + target + ": " + strerror(errno);
        removeTree(temp);
    }
    if (!error.empty()) {
        addIssue(issues, Severity::Error, "", error);
        return report(issues);
    }
    printf("unpacked %s into %s: %s; build it again with: rvl-pack build %s/manifest.json -o PACK.rvl\n",
           args.input.c_str(), target.c_str(), summary(module).c_str(), target.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Over a file size limit, let the write fail (and be cleaned up) rather
    // than have the signal end the process with a temporary file left over.
    signal(SIGXFSZ, SIG_IGN);
    Arguments args;
    std::string error;
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        fputs(usage, stdout);
        return 0;
    }
    if (!parseArguments(argc, argv, args, error)) {
        fprintf(stderr, "error: %s\n%s", error.c_str(), usage);
        return 2;
    }
    if (args.command == "build") return build(args);
    if (args.command == "unpack") return unpack(args);
    return check(args);
}

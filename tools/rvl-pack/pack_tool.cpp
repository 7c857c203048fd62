// SPDX-License-Identifier: GPL-3.0-or-later
// rvl-pack's commands: builds .rvl quiz packs from a questions table or a JSON
// manifest and media files, unpacks them again, and checks them against what
// the reader can show.
#include "tools/rvl-pack/pack_tool.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "packing/convert/media_prepare.h"
#include "packing/convert/video_convert.h"
#include "packing/findings.h"
#include "packing/manifest.h"
#include "packing/module_writer.h"
#include "packing/pack_check.h"
#include "packing/pack_reader.h"
#include "packing/sheet_questions.h"
#include "platform/files.h"
#include "platform/resource_files.h"

namespace rvlpack {

namespace {

const char* const usage =
    "usage: rvl-pack build QUESTIONS.xlsx|.ods|.csv -o PACK.rvl [--name NAME] [--author AUTHOR] [--created TIME]\n"
    "                      [--res DIR] [--allow-outside] [--max-size SIZE]\n"
    "       rvl-pack build MANIFEST.json -o PACK.rvl [--res DIR] [--allow-outside] [--max-size SIZE]\n"
    "       rvl-pack unpack PACK.rvl -o DIR [--csv]\n"
    "       rvl-pack check PACK.rvl [--res DIR]\n"
    "       rvl-pack --version\n"
    "--name, --author and --created (ISO 8601, such as 2024-05-01T18:30:00+03:00) give the\n"
    "pack's details when it is built from a table alone.\n"
    "--csv has unpack write the questions as DIR/questions.csv, which DIR/manifest.json names.\n"
    "--res DIR names the directory holding the reader's fonts (Brush.ttf, FuturaC.ttf);\n"
    "by default res/ beside rvl-pack, then res/ in the current directory.\n"
    "--allow-outside lets a manifest name media outside its own folder.\n"
    "--max-size SIZE (bytes, or with K, M, G or T) raises the 4G limit on a pack's size.\n";

// Findings printed before the rest are summed up in one line.
const size_t maxReportedFindings = 100;

struct Arguments {
    std::string command, input, output, resDir;
    PackDetails details;  // for a build from a table alone
    bool allowOutside = false;
    bool csv = false;  // unpack into a questions table
    uint64_t maxSize = defaultMaxPackSize;
};

// "4294967296", "6G", "500M" (binary units); false for anything else.
bool parseSize(const std::string& text, uint64_t& bytes) {
    char* end = nullptr;
    errno = 0;
    unsigned long long value = strtoull(text.c_str(), &end, 10);
    if (text.empty() || !isdigit(static_cast<unsigned char>(text[0])) || errno) return false;
    std::string unit = end;
    int shift = unit == "" ? 0 : unit == "K" ? 10 : unit == "M" ? 20 : unit == "G" ? 30 : unit == "T" ? 40 : -1;
    if (shift < 0 || value > (UINT64_MAX >> shift)) return false;
    bytes = uint64_t(value) << shift;
    return true;
}

// A questions table rather than a JSON manifest: by its file name.
bool namesTable(const std::string& path) { return namesQuestionsTable(path); }

bool parseArguments(const std::vector<std::string>& argv, Arguments& args, std::string& error) {
    size_t argc = argv.size();
    if (argc < 2) {
        error = "no command given";
        return false;
    }
    args.command = argv[1];
    for (size_t i = 2; i < argc; ++i) {
        std::string a = argv[i];
        std::string* value = a == "-o"         ? &args.output
                             : a == "--res"    ? &args.resDir
                             : a == "--name"   ? &args.details.name
                             : a == "--author" ? &args.details.author
                             : a == "--created" ? &args.details.created
                                               : nullptr;
        if (a == "--allow-outside" && args.command == "build") {
            args.allowOutside = true;
        } else if (a == "--max-size" && args.command == "build") {
            if (i + 1 >= argc || !parseSize(argv[i + 1], args.maxSize)) {
                error = "--max-size needs a size in bytes, or with K, M, G or T (binary units), such as 6G";
                return false;
            }
            ++i;
        } else if (a == "--csv" && args.command == "unpack") {
            args.csv = true;
        } else if (value && i + 1 < argc) {
            *value = argv[++i];
        } else if (value) {
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
    const PackDetails& d = args.details;
    if ((!d.name.empty() || !d.author.empty() || !d.created.empty()) &&
        !(args.command == "build" && namesTable(args.input))) {
        error = "--name, --author and --created go with a build from a table (.xlsx, .ods or .csv); a manifest gives them itself";
        return false;
    }
    return true;
}

bool hasFonts(const std::string& dir) {
    return access(resource::inDirectory(dir, resource::cardFont).c_str(), R_OK) == 0 &&
           access(resource::inDirectory(dir, resource::boardFont).c_str(), R_OK) == 0;
}

// The reader's fonts: --res, else res/ beside this program or where the
// package installs them, else ./res.
std::string findFontDir(const std::string& given, std::vector<Finding>& issues) {
    if (!given.empty()) {
        if (hasFonts(given)) return given;
        addFinding(issues, Severity::Note, "",
                 "no Brush.ttf and FuturaC.ttf in " + given + "; the text checks were skipped");
        return "";
    }
    std::string myDir = executableDirectory();
    std::string besideMe;
    if (!myDir.empty()) {
        besideMe = myDir + "/res";
        if (hasFonts(besideMe)) return besideMe;
        // Where the package installs them: PREFIX/share/rvl-reader/res.
        std::string installed = myDir + "/../share/rvl-reader/res";
        if (hasFonts(installed)) return installed;
    }
    if (hasFonts("res")) return "res";
    addFinding(issues, Severity::Note, "",
             "the reader's fonts were not found (looked in " + (besideMe.empty() ? "" : besideMe + " and ") +
                 "./res); the text checks were skipped; name their directory with --res DIR");
    return "";
}

struct Console {
    FILE* out;
    FILE* err;
};

int report(const Console& console, std::vector<Finding> issues) {
    // Errors first, then warnings, then notes, each in the order found: a
    // pack of many converted files must not push its errors past the cut.
    std::stable_sort(issues.begin(), issues.end(),
                     [](const Finding& a, const Finding& b) { return a.severity > b.severity; });
    for (size_t i = 0; i < issues.size() && i < maxReportedFindings; ++i)
        fprintf(console.err, "%s\n", formatFinding(issues[i]).c_str());
    if (issues.size() > maxReportedFindings)
        fprintf(console.err, "and %zu more\n", issues.size() - maxReportedFindings);
    if (countFindings(issues, Severity::Error)) return 2;
    return countFindings(issues, Severity::Warning) ? 1 : 0;
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

// The last line of a build: its questions by kind, and how many texts the
// reader will cut (the details are above it).
std::string closingSummary(const Module& module, const ShownBadly& bad) {
    size_t kinds[5] = {};  // text, picture, sound, video, other
    const char* names[5] = {"text", "picture", "sound", "video", "of an unknown type"};
    for (const Topic& topic : module.topics)
        for (const Question& ask : topic.questions)
            ++kinds[ask.type == 'T' ? 0 : ask.type == 'I' ? 1 : ask.type == 'A' ? 2 : ask.type == 'V' ? 3 : 4];
    std::string text, kindsText;
    for (int k = 0; k < 5; ++k)
        if (kinds[k]) kindsText += (kindsText.empty() ? "" : ", ") + std::to_string(kinds[k]) + " " + names[k];
    text = "summary: " + counted(kinds[0] + kinds[1] + kinds[2] + kinds[3] + kinds[4], "question") +
           (kindsText.empty() ? "" : " (" + kindsText + ")");
    std::string card;
    if (bad.wideQuestions) card = counted(bad.wideQuestions, "question");
    if (bad.wideAnswers) card += (card.empty() ? "" : " and ") + counted(bad.wideAnswers, "answer");
    if (!card.empty())
        text += "; " + card + (bad.wideQuestions + bad.wideAnswers == 1 ? " is" : " are") +
                " too wide for the card and will be cut";
    if (bad.wideTopics)
        text += "; " + counted(bad.wideTopics, "topic name") + (bad.wideTopics == 1 ? " is" : " are") +
                " too wide for the list";
    return text;
}

// A pack that cannot be read: open failures name the file themselves.
void addReadFailure(std::vector<Finding>& issues, const std::string& path, const ReadFailure& failure) {
    addFinding(issues, Severity::Error, failure.atOffset ? path : "", failure.message);
}

// How a host has a video padded with black, in the words of the input: its
// table's fit column, or the manifest's key.
std::string letterboxRemedy(const TablePlaces& table) {
    auto column = table.columns.find("fit");
    if (column == table.columns.end()) return "leave out its \"fit\" (\"letterbox\" is the default)";
    bool russian = static_cast<unsigned char>(column->second[0]) >= 0xC0;
    return std::string("write ") + (russian ? "поля" : "letterbox") + " in its \"" + column->second +
           "\" column, or leave the cell empty";
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

int build(const Console& console, const Arguments& args) {
    std::vector<Finding> issues;
    Module module;
    ManifestOptions manifestOptions;
    manifestOptions.allowOutside = args.allowOutside;
    manifestOptions.maxPackSize = args.maxSize;
    struct stat output {}, manifest {};
    // The pack is renamed over what -o names: only a regular file may be
    // replaced, never a device, a FIFO or a symbolic link (even one to a file).
    if (lstat(args.output.c_str(), &output) == 0 && !S_ISREG(output.st_mode)) {
        addFinding(issues, Severity::Error, "",
                 "-o " + shownPath(args.output) +
                     (S_ISLNK(output.st_mode) ? " is a symbolic link" : " is not a regular file") +
                     "; the build would replace it; name a regular file or a new one");
        return report(console, issues);
    }
    if (stat(args.output.c_str(), &output) == 0) {
        manifestOptions.refusedDevice = output.st_dev;
        manifestOptions.refusedInode = output.st_ino;
        if (stat(args.input.c_str(), &manifest) == 0 && sameFile(output, manifest))
            addFinding(issues, Severity::Error, "",
                     "-o " + shownPath(args.output) + " names the manifest itself, which the build would replace; "
                     "name another output");
    }
    ManifestMedia sources;
    ShownBadly shownBadly;
    bool loaded = issues.empty() && (namesTable(args.input) ? loadQuestionsTable(args.input, args.details, module,
                                                                                 issues, manifestOptions, &sources)
                                                            : loadManifest(args.input, module, issues, manifestOptions,
                                                                           &sources));
    // Every problem in one run: the questions the manifest read are converted
    // and checked even when others failed; only a manifest that gave no
    // topics at all (unreadable, bad JSON) stops here.
    if ((loaded || !module.topics.empty()) && sources.mediaRead) {
        prepareMedia(module, sources, issues);
        CheckOptions options;
        options.fontDir = findFontDir(args.resDir, issues);
        options.stretchedVideo = videoWillBeStretched;
        options.letterboxRemedy = letterboxRemedy(sources.table);
        options.counts = &shownBadly;
        checkModule(module, options, issues, &sources);
    }
    placeByRows(issues, sources.table);
    if (!loaded || countFindings(issues, Severity::Error)) {
        int status = report(console, issues);
        fprintf(console.err, "error: nothing was written to %s\n", shownPath(args.output).c_str());
        fprintf(console.out, "%s\n", closingSummary(module, shownBadly).c_str());
        return status;
    }
    std::string error;
    if (!writeModuleFile(module, args.output, &error)) {
        addFinding(issues, Severity::Error, "", error);
        return report(console, issues);
    }
    int status = report(console, issues);
    fprintf(console.out, "wrote %s: %s\n%s\n", args.output.c_str(), summary(module).c_str(),
            closingSummary(module, shownBadly).c_str());
    return status;
}

// Reads the pack named on the command line; on failure its reason joins issues.
bool readPack(const std::string& path, Module& module, std::vector<Finding>& issues) {
    ReadFailure failure;
    if (readModuleFile(path, module, &failure)) return true;
    addReadFailure(issues, path, failure);
    return false;
}

int check(const Console& console, const Arguments& args) {
    std::vector<Finding> issues;
    CheckOptions options;
    options.fontDir = findFontDir(args.resDir, issues);
    options.stretchedVideo = videoWillBeStretched;
    PackCounts counts;
    ReadFailure failure;
    if (!checkPackFile(args.input, options, issues, counts, &failure)) {
        issues.clear();  // only the reason the pack cannot be read
        addReadFailure(issues, args.input, failure);
        return report(console, issues);
    }
    int status = report(console, issues);
    fprintf(console.out, "%s: %s, %s, %s; %s\n", args.input.c_str(), counted(counts.topics, "topic").c_str(),
            counted(counts.questions, "question").c_str(), counted(counts.bytes, "byte").c_str(),
            counted(countFindings(issues, Severity::Warning), "warning").c_str());
    return status;
}

// An empty directory, or nothing at all: what unpack may write into; else
// why not.
bool freeForUnpack(const std::string& target, std::string& whyNot) {
    whyNot = "exists and is not an empty directory; name a new directory";
    std::string last = target.substr(target.rfind('/') + 1);
    if (last == "." || last == ".." || target == "/") {
        whyNot = "names a directory by \".\" or \"..\" or is the root, which unpack cannot rename its result to; "
                 "name a new directory";
        return false;
    }
    struct stat st {};
    if (lstat(target.c_str(), &st) != 0) {
        if (errno != ENOENT) whyNot = std::string("cannot be looked at: ") + strerror(errno);
        return errno == ENOENT;
    }
    if (!S_ISDIR(st.st_mode)) return false;
    std::error_code error;
    bool empty = std::filesystem::is_empty(target, error);
    if (error) whyNot = "cannot be read to see whether it is empty: " + error.message();
    return empty && !error;
}

// Writes into a fresh directory beside the target and renames it into place
// at the end (over the target when that is an empty directory), so a failure
// leaves the target as it was and no half-written directory behind.
int unpack(const Console& console, const Arguments& args) {
    std::vector<Finding> issues;
    Module module;
    if (!readPack(args.input, module, issues)) return report(console, issues);
    std::string target = args.output;
    while (target.size() > 1 && target.back() == '/') target.pop_back();
    std::string whyNot;
    if (!freeForUnpack(target, whyNot)) {
        addFinding(issues, Severity::Error, shownPath(target), whyNot);
        return report(console, issues);
    }
    std::string temp = target + ".tmp-XXXXXX";
    std::string error;
    if (!mkdtemp(&temp[0])) {
        error = "cannot create a directory beside " + target + ": " + strerror(errno);
    } else if (chmod(temp.c_str(), 0777 & ~creationMask()) != 0 ||
               !saveManifest(module, temp, &error, args.csv, &issues)) {
        if (error.empty()) error = "cannot set the permissions of " + temp;
        removeTree(temp);
    } else if (rename(temp.c_str(), target.c_str()) != 0) {
        error = "cannot rename " + temp + " to " + target + ": " + strerror(errno);
        removeTree(temp);
    }
    if (!error.empty()) {
        addFinding(issues, Severity::Error, "", error);
        return report(console, issues);
    }
    int status = report(console, issues);
    fprintf(console.out,
            "unpacked %s into %s: %s; build it again with: rvl-pack build %s/manifest.json -o PACK.rvl\n",
            args.input.c_str(), target.c_str(), summary(module).c_str(), target.c_str());
    return status;
}

} // namespace

int runPackTool(const std::vector<std::string>& argv, FILE* out, FILE* err) {
    Console console{out, err};
    Arguments args;
    std::string error;
    if (argv.size() == 2 && argv[1] == "--version") {
        fprintf(out, "rvl-pack %s\n", RVL_VERSION);
        return 0;
    }
    if (argv.size() == 2 && (argv[1] == "--help" || argv[1] == "-h")) {
        fputs(usage, out);
        return 0;
    }
    if (!parseArguments(argv, args, error)) {
        fprintf(err, "error: %s\n%s", error.c_str(), usage);
        return 2;
    }
    // A file or a table too big for this computer ends the command with one
    // line rather than an abort; nothing is written then either.
    try {
        if (args.command == "build") return build(console, args);
        if (args.command == "unpack") return unpack(console, args);
        return check(console, args);
    } catch (const std::bad_alloc&) {
        fprintf(err, "error: out of memory; %s needs more memory than this computer gives it\n", args.command.c_str());
        return 2;
    }
}

} // namespace rvlpack

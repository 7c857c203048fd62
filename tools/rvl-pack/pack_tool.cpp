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
#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

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
#include "platform/texts.h"

namespace rvlpack {

namespace {

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
                   format(tr("no Brush.ttf and FuturaC.ttf in %s; the text checks were skipped"), given.c_str()));
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
               besideMe.empty() ? tr("the reader's fonts were not found (looked in ./res); the text checks were "
                                     "skipped; name their directory with --res DIR")
                                : format(tr("the reader's fonts were not found (looked in %s and ./res); the text "
                                            "checks were skipped; name their directory with --res DIR"),
                                         besideMe.c_str()));
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
        fprintf(console.err, "%s\n", format(tr("and %zu more"), issues.size() - maxReportedFindings).c_str());
    if (countFindings(issues, Severity::Error)) return 2;
    return countFindings(issues, Severity::Warning) ? 1 : 0;
}

std::string topics(size_t n) { return format(trn("%zu topic", "%zu topics", n), n); }
std::string questions(size_t n) { return format(trn("%zu question", "%zu questions", n), n); }
std::string bytes(uint64_t n) {
    return format(trn("%llu byte", "%llu bytes", static_cast<unsigned long>(n)), static_cast<unsigned long long>(n));
}

std::string summary(const Module& module) {
    size_t asked = 0;
    for (const Topic& topic : module.topics) asked += topic.questions.size();
    return topics(module.topics.size()) + ", " + questions(asked) + ", " + bytes(moduleSize(module));
}

// The last line of a build: its questions by kind, and how many texts the
// reader will cut (the details are above it).
std::string closingSummary(const Module& module, const ShownBadly& bad) {
    size_t kinds[5] = {};  // text, picture, sound, video, other
    for (const Topic& topic : module.topics)
        for (const Question& ask : topic.questions)
            ++kinds[ask.type == 'T' ? 0 : ask.type == 'I' ? 1 : ask.type == 'A' ? 2 : ask.type == 'V' ? 3 : 4];
    auto ofKind = [&](int k) {
        size_t n = kinds[k];
        switch (k) {
        case 0: return format(trn("%zu text", "%zu text", n), n);
        case 1: return format(trn("%zu picture", "%zu picture", n), n);
        case 2: return format(trn("%zu sound", "%zu sound", n), n);
        case 3: return format(trn("%zu video", "%zu video", n), n);
        default: return format(trn("%zu of an unknown type", "%zu of an unknown type", n), n);
        }
    };
    std::string kindsText;
    for (int k = 0; k < 5; ++k)
        if (kinds[k]) kindsText += (kindsText.empty() ? "" : ", ") + ofKind(k);
    std::string all = questions(kinds[0] + kinds[1] + kinds[2] + kinds[3] + kinds[4]);
    std::string text = kindsText.empty() ? format(tr("summary: %s"), all.c_str())
                                         : format(tr("summary: %s (%s)"), all.c_str(), kindsText.c_str());
    size_t q = bad.wideQuestions, a = bad.wideAnswers, t = bad.wideTopics;
    if (q && a)
        text += "; " + format(tr("%s and %s are too wide for the card and will be cut"), questions(q).c_str(),
                              format(trn("%zu answer", "%zu answers", a), a).c_str());
    else if (q)
        text += "; " + format(trn("%zu question is too wide for the card and will be cut",
                                  "%zu questions are too wide for the card and will be cut", q), q);
    else if (a)
        text += "; " + format(trn("%zu answer is too wide for the card and will be cut",
                                  "%zu answers are too wide for the card and will be cut", a), a);
    if (t)
        text += "; " + format(trn("%zu topic name is too wide for the list", "%zu topic names are too wide for the list",
                                  t), t);
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
    if (column == table.columns.end()) return tr("leave out its \"fit\" (\"letterbox\" is the default)");
    bool russian = static_cast<unsigned char>(column->second[0]) >= 0xC0;
    return format(tr("write %s in its \"%s\" column, or leave the cell empty"), russian ? "поля" : "letterbox",
                  column->second.c_str());
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
                   format(S_ISLNK(output.st_mode)
                              ? tr("-o %s is a symbolic link; the build would replace it; name a regular file or a new one")
                              : tr("-o %s is not a regular file; the build would replace it; name a regular file or a "
                                   "new one"),
                          shownPath(args.output).c_str()));
        return report(console, issues);
    }
    if (stat(args.output.c_str(), &output) == 0) {
        manifestOptions.refusedDevice = output.st_dev;
        manifestOptions.refusedInode = output.st_ino;
        if (stat(args.input.c_str(), &manifest) == 0 && sameFile(output, manifest))
            addFinding(issues, Severity::Error, "",
                       format(tr("-o %s names the manifest itself, which the build would replace; name another output"),
                              shownPath(args.output).c_str()));
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
        fprintf(console.err, "%s\n", format(tr("error: nothing was written to %s"), shownPath(args.output).c_str()).c_str());
        fprintf(console.out, "%s\n", closingSummary(module, shownBadly).c_str());
        return status;
    }
    std::string error;
    if (!writeModuleFile(module, args.output, &error)) {
        addFinding(issues, Severity::Error, "", error);
        return report(console, issues);
    }
    int status = report(console, issues);
    fprintf(console.out, "%s\n%s\n", format(tr("wrote %s: %s"), args.output.c_str(), summary(module).c_str()).c_str(),
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
    size_t warnings = countFindings(issues, Severity::Warning);
    fprintf(console.out, "%s: %s, %s, %s; %s\n", args.input.c_str(), topics(counts.topics).c_str(),
            questions(counts.questions).c_str(), bytes(counts.bytes).c_str(),
            format(trn("%zu warning", "%zu warnings", warnings), warnings).c_str());
    return status;
}

// An empty directory, or nothing at all: what unpack may write into; else
// why not.
bool freeForUnpack(const std::string& target, std::string& whyNot) {
    whyNot = tr("exists and is not an empty directory; name a new directory");
    std::string last = target.substr(target.rfind('/') + 1);
    if (last == "." || last == ".." || target == "/") {
        whyNot = tr("names a directory by \".\" or \"..\" or is the root, which unpack cannot rename its result to; "
                    "name a new directory");
        return false;
    }
    struct stat st {};
    if (lstat(target.c_str(), &st) != 0) {
        if (errno != ENOENT) whyNot = format(tr("cannot be looked at: %s"), strerror(errno));
        return errno == ENOENT;
    }
    if (!S_ISDIR(st.st_mode)) return false;
    std::error_code error;
    bool empty = std::filesystem::is_empty(target, error);
    if (error) whyNot = format(tr("cannot be read to see whether it is empty: %s"), error.message().c_str());
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
        error = format(tr("cannot create a directory beside %s: %s"), target.c_str(), strerror(errno));
    } else if (chmod(temp.c_str(), 0777 & ~creationMask()) != 0 ||
               !saveManifest(module, temp, &error, args.csv, &issues)) {
        if (error.empty()) error = format(tr("cannot set the permissions of %s"), temp.c_str());
        removeTree(temp);
    } else if (rename(temp.c_str(), target.c_str()) != 0) {
        error = format(tr("cannot rename %s to %s: %s"), temp.c_str(), target.c_str(), strerror(errno));
        removeTree(temp);
    }
    if (!error.empty()) {
        addFinding(issues, Severity::Error, "", error);
        return report(console, issues);
    }
    int status = report(console, issues);
    fprintf(console.out, "%s\n",
            format(tr("unpacked %s into %s: %s; build it again with: rvl-pack build %s/manifest.json -o PACK.rvl"),
                   args.input.c_str(), target.c_str(), summary(module).c_str(), target.c_str()).c_str());
    return status;
}

// The command line by CLI11: one subcommand, each with its own --help. What
// CLI11 finds wrong it words itself; what it cannot judge (a size, details
// a manifest gives itself) is worded here. Either ends with status 2.
int parseArguments(const std::vector<std::string>& argv, Arguments& args, FILE* out, FILE* err) {
    CLI::App app{tr("Builds quiz packs (*.rvl) for rvl-reader, unpacks them and checks them."), "rvl-pack"};
    app.set_version_flag("--version", "rvl-pack " RVL_VERSION);
    app.require_subcommand(1);
    app.footer(tr("Exit status: 0 clean, 1 warnings, 2 errors. See rvl-pack(1)."));
    std::string maxSize;
    CLI::App* build = app.add_subcommand("build", tr("Build a pack from a questions table or a JSON manifest"));
    CLI::App* unpack = app.add_subcommand("unpack", tr("Write a pack's questions and media into a new directory"));
    CLI::App* check = app.add_subcommand("check", tr("Check a pack against what the reader can show"));
    build->add_option("INPUT", args.input, tr("The questions table (.xlsx, .ods, .csv, .tsv) or the manifest (.json)"))
        ->required()->type_name("FILE");
    build->add_option("-o", args.output, tr("The pack to write"))->required()->type_name("PACK.rvl");
    build->add_option("--name", args.details.name, tr("The pack's name, for a build from a table alone"));
    build->add_option("--author", args.details.author, tr("The pack's author, for a build from a table alone"));
    build->add_option("--created", args.details.created,
                      tr("The pack's creation time for a build from a table alone, in ISO 8601 such as "
                         "2024-05-01T18:30:00+03:00; by default the time of the build"))
        ->type_name("TIME");
    build->add_flag("--allow-outside", args.allowOutside, tr("Let a manifest name media outside its own folder"));
    build->add_option("--max-size", maxSize,
                      tr("Raise the 4G limit on the pack's size: bytes, or with K, M, G or T (binary units)"))
        ->type_name("SIZE");
    unpack->add_option("PACK", args.input, tr("The pack to unpack"))->required()->type_name("PACK.rvl");
    unpack->add_option("-o", args.output, tr("The directory to create: DIR/manifest.json and DIR/media/"))
        ->required()->type_name("DIR");
    unpack->add_flag("--csv", args.csv, tr("Write the questions as DIR/questions.csv, which DIR/manifest.json names"));
    check->add_option("PACK", args.input, tr("The pack to check"))->required()->type_name("PACK.rvl");
    for (CLI::App* command : {build, check})
        command->add_option("--res", args.resDir,
                            tr("The directory holding the reader's fonts (Brush.ttf, FuturaC.ttf); by default res/ "
                               "beside rvl-pack, then res/ in the current directory"))
            ->type_name("DIR");
    std::ostringstream said, complaint;
    try {
        std::vector<std::string> reversed(argv.rbegin(), argv.rend() - 1);  // CLI11 pops from the back
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        int status = app.exit(e, said, complaint);
        fputs(said.str().c_str(), out);
        fputs(complaint.str().c_str(), err);
        return status == 0 ? 0 : 2;
    }
    args.command = app.get_subcommands().front()->get_name();
    std::string error;
    if (build->count("--max-size") && !parseSize(maxSize, args.maxSize))
        error = tr("--max-size needs a size in bytes, or with K, M, G or T (binary units), such as 6G");
    const PackDetails& d = args.details;
    if ((!d.name.empty() || !d.author.empty() || !d.created.empty()) && !namesTable(args.input))
        error = tr("--name, --author and --created go with a build from a table (.xlsx, .ods or .csv); a manifest "
                   "gives them itself");
    if (error.empty()) return -1;
    fprintf(err, "%s\n", format(tr("error: %s"), error.c_str()).c_str());
    return 2;
}

} // namespace

int runPackTool(const std::vector<std::string>& argv, FILE* out, FILE* err) {
    Console console{out, err};
    Arguments args;
    int status = parseArguments(argv, args, out, err);
    if (status >= 0) return status;
    // A file or a table too big for this computer ends the command with one
    // line rather than an abort; nothing is written then either.
    try {
        if (args.command == "build") return build(console, args);
        if (args.command == "unpack") return unpack(console, args);
        return check(console, args);
    } catch (const std::bad_alloc&) {
        fprintf(err, "%s\n",
                format(tr("error: out of memory; %s needs more memory than this computer gives it"), args.command.c_str())
                    .c_str());
        return 2;
    }
}

} // namespace rvlpack

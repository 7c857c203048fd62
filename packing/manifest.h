// SPDX-License-Identifier: GPL-3.0-or-later
// The pack tool's JSON manifest: reading one (with the media files it names,
// relative to the manifest) into a Module, and writing a Module back out as
// a manifest with one file per media block.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packing/csv_questions.h"
#include "packing/findings.h"
#include "packing/module_writer.h"

namespace rvlpack {

const uint64_t defaultMaxPackSize = uint64_t(4) << 30;

struct ManifestOptions {
    // Media named by an absolute path or one leading out of the manifest's
    // folder are refused unless this is set: a manifest from someone else
    // must not pull private files into a pack that is then shared.
    bool allowOutside = false;
    // A file that must not be read as an input (the output pack, which
    // would be replaced by the build): device and inode, or 0 and 0.
    uint64_t refusedDevice = 0, refusedInode = 0;
    // Largest pack a build makes, by the sizes of its files before any
    // conversion: a host's laptop must still be able to load it.
    uint64_t maxPackSize = defaultMaxPackSize;
};

// Deepest nesting of arrays and objects a manifest may have; a real one
// needs five levels.
const int maxManifestDepth = 64;

// Most values (array elements and object members) a manifest may hold: a
// full pack of 255 topics of 255 questions needs about half a million. More
// is refused before parsing, since each parsed value costs memory, and
// running out of it inside the JSON parser cannot be recovered from.
const long maxManifestValues = 2000000;

// How build shapes a video to the 4:3 screen: pad it with black (the
// default), stretch it, or keep every file of the question as it is.
enum class Fit { Letterbox, Stretch, None };

// What a manifest says about a question's media beyond the bytes: the file
// names, for messages, and what build may do with them.
struct MediaSource {
    std::string media, audio, video;  // as the manifest names them; "" for none
    bool soundFromVideo = false;      // a video question without "audio": its sound comes from the video file
    bool silent = false;              // "audio": null, a video without sound on purpose
    Fit fit = Fit::Letterbox;
    bool failed = false;              // an error was reported for the question: its media are left alone
};

// The file a host knows the question by: the picture, sound or video.
inline const std::string& mainFile(const MediaSource& source) {
    return source.video.empty() ? source.media : source.video;
}

struct ManifestMedia {
    Fit fit = Fit::Letterbox;  // the pack-wide "fit"
    std::vector<std::vector<MediaSource>> questions;  // [topic][question]
    TablePlaces table;  // the questions table the questions came from, if any
    // False when a count or size over the limits left the media unread.
    bool mediaRead = true;
};

// Fills module from the manifest at path. Every problem goes to issues:
// errors for what the format cannot hold or what is missing, warnings for
// keys it does not know. False when there is at least one error. A video
// question's sound track left to come from its video stays empty here.
bool loadManifest(const std::string& path, Module& module, std::vector<Finding>& issues,
                  const ManifestOptions& options = ManifestOptions(), ManifestMedia* media = nullptr);

// A pack from a questions table alone (media relative to the table): the
// pack's name, author and creation time ("created" as in a manifest) are
// given here. Problems are reported as loadManifest reports them.
struct PackDetails {
    std::string name, author, created;
};
bool loadQuestionsTable(const std::string& path, const PackDetails& details, Module& module,
                        std::vector<Finding>& issues, const ManifestOptions& options = ManifestOptions(),
                        ManifestMedia* media = nullptr);

// Writes dir/manifest.json and dir/media/* (dir must exist) so that building
// the manifest gives back the module's bytes; with table, the questions go to
// dir/questions.csv, which the manifest names. False with error set on
// failure, or when the module holds what a table cannot.
// Cells of the table that a spreadsheet may run as formulas go to warnings.
bool saveManifest(const Module& module, const std::string& dir, std::string* error, bool table = false,
                  std::vector<Finding>* warnings = nullptr);

// The manifest's words for the question types; a type may also be given by
// its letter.
struct TypeName {
    const char* word;
    rvlformat::AskType type;
};
extern const TypeName kTypeNames[4];

} // namespace rvlpack

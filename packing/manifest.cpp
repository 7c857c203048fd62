// SPDX-License-Identifier: GPL-3.0-or-later
// Manifest reading for the pack tool. The JSON library reports
// syntax errors by exception; that is caught right at the parse call, and
// everything after it checks types before reading values.
#include "packing/manifest.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <nlohmann/json.hpp>

#include "module/format.h"
#include "packing/iso_time.h"
#include "packing/pack_reader.h"
#include "packing/sheet_questions.h"
#include "platform/texts.h"
#include "platform/utf16.h"

namespace rvlpack {

using Json = nlohmann::ordered_json;
using rvlformat::AskType;
using rvlformat::typeCode;

const TypeName kTypeNames[4] = {
    {"text", AskType::Text}, {"picture", AskType::Picture}, {"audio", AskType::Audio}, {"video", AskType::Video}};

namespace {

// True when a relative path stays inside its folder, read as written:
// no ".." climbs above where it started.
bool staysInside(const std::string& relative) {
    int depth = 0;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find('/', start);
        if (end == std::string::npos) end = relative.size();
        std::string part = relative.substr(start, end - start);
        if (part == "..") {
            if (--depth < 0) return false;
        } else if (!part.empty() && part != ".") {
            ++depth;
        }
        start = end + 1;
    }
    return true;
}

struct ManifestReader {
    std::string dir;  // the manifest's (or questions table's) directory, with a trailing slash (or empty)
    std::vector<Finding>& issues;
    const ManifestOptions& options;
    ManifestMedia& sources;

    // A media file found and checked, read once the whole manifest is.
    struct Pending {
        std::string path;  // as checked: links resolved unless outside files are allowed
        struct stat st {};
        MediaBytes* to = nullptr;
        MediaSource* source = nullptr;  // the question's, or null for the trailing bytes
        std::string where;
    };
    std::vector<Pending> pending;
    MediaSource* current = nullptr;  // the question being read
    // A count or size the format (or the host's computer) cannot hold was
    // found: reading media would be in vain.
    bool overLimit = false;

    // Whether media paths are relative to a questions table, not a manifest.
    bool fromTable() const { return !sources.table.empty(); }

    void error(const std::string& where, const std::string& text) { addFinding(issues, Severity::Error, where, text); }

    // Where a key of a question is reported: from a questions table, its
    // row and the column of the key.
    std::string at(const std::string& where, const std::string& key) const {
        return where + sources.table.column(key);
    }

    void unknownKeys(const Json& object, const std::vector<std::string>& known, const std::string& where) {
        for (auto it = object.begin(); it != object.end(); ++it) {
            bool found = false;
            for (const std::string& k : known) found = found || k == it.key();
            if (!found)
                addFinding(issues, Severity::Warning, where,
                           format(tr("unknown key \"%s\" is ignored; check its spelling (known keys: %s)"),
                                  shownPath(it.key()).c_str(), joined(known).c_str()));
        }
    }

    static std::string joined(const std::vector<std::string>& names) {
        std::string s;
        for (const std::string& n : names) s += (s.empty() ? "" : ", ") + n;
        return s;
    }

    // A text is a JSON string, or an array of UTF-16 code units for texts
    // that hold unpaired surrogates (which UTF-8 cannot carry).
    bool text(const Json& object, const char* key, const std::string& where, const std::string& what,
              std::wstring& out, bool required) {
        auto it = object.find(key);
        if (it == object.end()) {
            if (required) error(where, format(tr("\"%s\" is missing; give the %s as a string"), key, what.c_str()));
            return !required;
        }
        // A text longer than the format holds is refused by its length
        // alone: it is never kept, nor measured later.
        size_t units = 0;
        if (it->is_string()) {
            units = utf16Length(it->get_ref<const std::string&>());
        } else if (it->is_array()) {
            units = it->size();
        }
        if (units > rvlformat::kMaxTextUnits) {
            error(where, format(tr("the %s is %zu UTF-16 units long, the format holds at most %zu (a character outside "
                                   "the Basic Multilingual Plane, such as an emoji, takes two units); shorten it"),
                                what.c_str(), units, rvlformat::kMaxTextUnits));
            return false;
        }
        if (it->is_string()) {
            out = utf8ToUtf16(it->get<std::string>());
        } else if (it->is_array()) {
            out.clear();
            for (const Json& unit : *it) {
                if (!unit.is_number_integer() || unit.get<int64_t>() < 0 || unit.get<int64_t>() > 0xFFFF) {
                    error(where, format(tr("\"%s\" as an array must hold UTF-16 code units (0 to 65535)"), key));
                    return false;
                }
                out.push_back(static_cast<wchar_t>(unit.get<int64_t>()));
            }
        } else {
            error(where, format(tr("\"%s\" must be a string"), key));
            return false;
        }
        return true;
    }

    // Finds the file object[key] names and checks that it may be read: full
    // gets the path to open (links resolved unless --allow-outside), st what
    // stat says of it.
    bool locate(const Json& object, const char* key, const std::string& where, const std::string& what,
                std::string& full, struct stat& st, std::string* givenName) {
        auto it = object.find(key);
        if (it == object.end()) {
            error(where, format(fromTable() ? tr("\"%s\" is missing; give the path of the %s file, relative to the table")
                                            : tr("\"%s\" is missing; give the path of the %s file, relative to the "
                                                 "manifest"),
                                key, what.c_str()));
            return false;
        }
        if (!it->is_string() || it->get<std::string>().empty()) {
            error(where, format(tr("\"%s\" must be the path of the %s file, as a string"), key, what.c_str()));
            return false;
        }
        std::string name = it->get<std::string>();
        std::string file = format(tr("the %s file \"%s\""), what.c_str(), shownPath(name).c_str());
        // media\кот.gif from a table made on Windows: a backslash separates,
        // unless a file has that very name; ..\..\x is then refused as ../../x.
        struct stat exact {};
        if (name.find('\\') != std::string::npos && lstat((name[0] == '/' ? name : dir + name).c_str(), &exact) != 0)
            std::replace(name.begin(), name.end(), '\\', '/');
        if (name.find('\0') != std::string::npos) {
            error(where, format(tr("%s holds a NUL byte, which no file name can; fix the path"), file.c_str()));
            return false;
        }
        const char* keepInside =
            fromTable() ? tr("media of a table are read only from its folder, so that a table from someone else cannot "
                             "pull private files into the pack; copy the file beside the table, or give --allow-outside "
                             "if you trust it")
                        : tr("media of a manifest are read only from its folder, so that a manifest from someone else "
                             "cannot pull private files into the pack; copy the file beside the manifest, or give "
                             "--allow-outside if you trust it");
        // An absolute path is judged by where it leads, as any other.
        const std::string folderPath = name[0] == '/' ? resolved(dir.empty() ? "." : dir) : "";
        bool absoluteInside = !folderPath.empty() && name.compare(0, folderPath.size() + 1, folderPath + "/") == 0 &&
                              staysInside(name.substr(folderPath.size() + 1));
        if (name[0] == '/' && !absoluteInside && !resolved(name).empty()) {
            std::string real = resolved(name);
            absoluteInside = real.compare(0, folderPath.size() + 1, folderPath + "/") == 0;
        }
        if (!options.allowOutside && ((name[0] == '/' && !absoluteInside) || !staysInside(name))) {
            error(where, format(fromTable() ? tr("%s lies outside the table's folder; %s")
                                            : tr("%s lies outside the manifest's folder; %s"),
                                file.c_str(), keepInside));
            return false;
        }
        if (givenName) *givenName = name;
        const std::string asNamed = name[0] == '/' ? name : dir + name;
        full = asNamed;
        if (!options.allowOutside) {
            // The text of the path stays inside; its links must too.
            std::string folder = resolved(dir.empty() ? "." : dir), real = resolved(full);
            if (real.empty() && errno != ENOENT && errno != ENOTDIR) {
                error(where, format(tr("%s cannot be opened (%s: %s)"), file.c_str(), shownPath(full).c_str(),
                                    strerror(errno)));
                return false;
            }
            if (!real.empty() && !folder.empty() && real.compare(0, folder.size(), folder) == 0 &&
                (folder == "/" || real.size() == folder.size() || real[folder.size()] == '/')) {
                full = real;
            } else if (!real.empty()) {
                error(where, format(fromTable() ? tr("%s leads outside the table's folder through a symbolic link (to "
                                                     "%s); %s")
                                                : tr("%s leads outside the manifest's folder through a symbolic link (to "
                                                     "%s); %s"),
                                    file.c_str(), shownPath(real).c_str(), keepInside));
                return false;
            }
        }
        if (stat(full.c_str(), &st) != 0) {
            std::string similar = errno == ENOENT ? sameButCase(asNamed) : "";
            const char* why = strerror(errno);
            if (!similar.empty())
                error(where, format(tr("%s cannot be found (looked for %s: %s); did you mean %s?"), file.c_str(),
                                    shownPath(asNamed).c_str(), why, shownPath(similar).c_str()));
            else
                error(where, format(fromTable() ? tr("%s cannot be found (looked for %s: %s); check the path, it is "
                                                     "relative to the table")
                                                : tr("%s cannot be found (looked for %s: %s); check the path, it is "
                                                     "relative to the manifest"),
                                    file.c_str(), shownPath(asNamed).c_str(), why));
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            error(where, format(tr("%s is not a regular file; name a file"), file.c_str()));
            return false;
        }
        if ((options.refusedDevice || options.refusedInode) && uint64_t(st.st_dev) == options.refusedDevice &&
            uint64_t(st.st_ino) == options.refusedInode) {
            error(where, format(tr("%s is the output pack itself, which the build would replace; name another output"),
                                file.c_str()));
            return false;
        }
        if (static_cast<uint64_t>(st.st_size) > rvlformat::kMaxBlock) {
            error(where, format(tr("%s is %lld bytes, a media block holds at most %llu (4 GiB); make it smaller"),
                                file.c_str(), static_cast<long long>(st.st_size),
                                static_cast<unsigned long long>(rvlformat::kMaxBlock)));
            return false;
        }
        return true;
    }

    // The one file beside path whose name differs from its name only in
    // case, or "".
    static std::string sameButCase(const std::string& path) {
        size_t slash = path.rfind('/');
        std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1), wanted = foldedCase(path.substr(slash + 1));
        std::string found;
        int matches = 0;
        if (DIR* list = opendir(folder.c_str())) {
            while (dirent* entry = readdir(list))
                if (foldedCase(entry->d_name) == wanted && ++matches == 1) found = entry->d_name;
            closedir(list);
        }
        return matches == 1 ? found : "";
    }

    // The absolute path with every link resolved, or "" with errno set.
    static std::string resolved(const std::string& path) {
        char* real = realpath(path.c_str(), nullptr);
        if (!real) return "";
        std::string text = real;
        free(real);
        return text;
    }

    // Reads the file just as it was checked.
    bool readChecked(const std::string& full, const struct stat& st, const std::string& where,
                     std::vector<uint8_t>& out) {
        std::string readError;
        if (readWholeFile(full, out, &readError, &st, !options.allowOutside)) return true;
        error(where, readError);
        return false;
    }

    // Reads the file named by object[key] into out right away.
    bool readNow(const Json& object, const char* key, const std::string& where, const std::string& what,
                 std::vector<uint8_t>& out) {
        std::string full;
        struct stat st {};
        return locate(object, key, where, what, full, st, nullptr) && readChecked(full, st, where, out);
    }

    // Finds and checks the media file named by object[key]; it is read into
    // out by readMedia, once the whole manifest is known to fit the format.
    bool media(const Json& object, const char* key, const std::string& where, const std::string& what,
               MediaBytes& out, std::string* givenName = nullptr) {
        Pending file;
        if (!locate(object, key, where, what, file.path, file.st, givenName)) return false;
        file.to = &out;
        file.source = current;
        file.where = where;
        pending.push_back(file);
        return true;
    }

    // The pack's size when every file found is stored as it is.
    uint64_t projectedSize(const Module& module) const {
        uint64_t size = moduleSize(module);
        for (const Pending& file : pending) size += static_cast<uint64_t>(file.st.st_size);
        return size;
    }

    // Reads each distinct file once; every question naming it shares the
    // copy. Questions that already failed get nothing read.
    void readMedia() {
        std::map<std::pair<dev_t, ino_t>, MediaBytes> read;
        for (const Pending& file : pending) {
            if (file.source && file.source->failed) continue;
            auto known = read.find({file.st.st_dev, file.st.st_ino});
            if (known != read.end()) {
                *file.to = known->second;
                continue;
            }
            std::vector<uint8_t> bytes;
            if (!readChecked(file.path, file.st, file.where, bytes)) {
                if (file.source) file.source->failed = true;
                continue;
            }
            *file.to = std::move(bytes);
            read.emplace(std::make_pair(file.st.st_dev, file.st.st_ino), *file.to);
        }
        pending.clear();
    }

    void forbidMedia(const Json& object, const std::string& where, const std::string& typeName,
                     const std::vector<std::string>& keys) {
        for (const std::string& key : keys) {
            if (object.contains(key))
                error(at(where, key), format(tr("a %s question carries no \"%s\"; remove it or change \"type\""),
                                             typeName.c_str(), key.c_str()));
        }
    }

    bool type(const Json& object, const std::string& where, char& out) {
        auto it = object.find("type");
        if (it == object.end()) {
            error(where, tr("\"type\" is missing; give \"text\", \"picture\", \"audio\" or \"video\""));
            return false;
        }
        if (it->is_number_integer() && it->get<int64_t>() >= 0 && it->get<int64_t>() <= 255) {
            out = static_cast<char>(it->get<int64_t>());  // a raw type byte, as unpack writes unknown ones
            return true;
        }
        std::string name = it->is_string() ? it->get<std::string>() : it->dump();
        for (const auto& t : kTypeNames) {
            if (it->is_string() && (name == t.word || name == std::string(1, typeCode(t.type)))) {
                out = typeCode(t.type);
                return true;
            }
        }
        error(where, format(tr("unknown type %s; use \"text\", \"picture\", \"audio\" or \"video\""),
                            (it->is_string() ? "\"" + shownPath(name) + "\"" : name).c_str()));
        return false;
    }

    // "fit": "letterbox", "stretch" or "none"; out stays as it is when the key is absent.
    void fit(const Json& object, const std::string& where, Fit& out) {
        auto it = object.find("fit");
        if (it == object.end()) return;
        if (*it == "letterbox" || *it == "stretch" || *it == "none")
            out = *it == "letterbox" ? Fit::Letterbox : *it == "stretch" ? Fit::Stretch : Fit::None;
        else
            error(where, format(tr("\"fit\" %s is not known; use \"letterbox\" (pad a video with black to 4:3, the "
                                   "default), \"stretch\" (stretch it to 4:3) or \"none\" (store the files as they "
                                   "are); in a table поля, растянуть or как есть"),
                                it->dump().c_str()));
    }

    // The question's place in messages: its numbers, the start of its text
    // and its media file, read before anything is checked.
    static const size_t labelBytes = 64;
    static std::string label(const Json& q, size_t t, size_t index) {
        std::wstring text;
        std::string file;
        if (q.is_object()) {
            auto it = q.find("question");
            if (it != q.end() && it->is_string()) {
                // Enough of a text of any length to name the question by.
                const std::string& whole = it->get_ref<const std::string&>();
                size_t cut = whole.size() > 4 * labelBytes ? utf8CharacterStart(whole.data(), 4 * labelBytes) : whole.size();
                text = utf8ToUtf16(whole.substr(0, cut));
            }
            for (const char* key : {"video", "media"}) {
                it = q.find(key);
                if (file.empty() && it != q.end() && it->is_string()) file = it->get<std::string>();
            }
        }
        return questionLabel(t, index, text, file);
    }

    void question(const Json& q, const std::string& where, Question& ask, MediaSource& source) {
        size_t errorsBefore = countFindings(issues, Severity::Error);
        current = &source;
        readQuestion(q, where, ask, source);
        current = nullptr;
        source.failed = countFindings(issues, Severity::Error) != errorsBefore;
    }

    void readQuestion(const Json& q, const std::string& where, Question& ask, MediaSource& source) {
        if (!q.is_object()) {
            error(where, tr("must be an object with \"type\", \"question\", \"answer\" and \"points\""));
            return;
        }
        unknownKeys(q, {"type", "question", "answer", "points", "media", "audio", "video", "fit"}, where);
        source.fit = sources.fit;  // the pack's, unless the question gives its own
        fit(q, at(where, "fit"), source.fit);
        bool typed = type(q, at(where, "type"), ask.type);
        text(q, "question", at(where, "question"), tr("question text"), ask.question, true);
        text(q, "answer", at(where, "answer"), tr("answer"), ask.answer, true);
        auto points = q.find("points");
        const int most = rvlformat::kMaxPoints;
        if (points == q.end()) {
            error(at(where, "points"), format(tr("\"points\" is missing; give a whole number from 0 to %d"), most));
        } else if (points->is_string()) {
            error(at(where, "points"), format(tr("points must be a number, got the text %s; write it as a whole number "
                                                 "from 0 to %d, in digits"),
                                              points->dump().c_str(), most));
        } else if (points->is_number_float() && std::isfinite(points->get<double>()) &&
                   points->get<double>() != std::floor(points->get<double>())) {
            error(at(where, "points"), format(tr("points must be a whole number, got %s; give a whole number from 0 to %d"),
                                              points->dump().c_str(), most));
        } else if (points->is_number_float() && points->get<double>() >= 0 && points->get<double>() <= rvlformat::kMaxPoints) {
            ask.points = static_cast<uint16_t>(points->get<double>());  // 100.0, as a spreadsheet may keep it
        } else if (!points->is_number_integer() || points->get<int64_t>() < 0 || points->get<int64_t>() > rvlformat::kMaxPoints) {
            error(at(where, "points"), format(tr("points %s do not fit: give a whole number from 0 to %d"),
                                              points->dump().c_str(), most));
        } else {
            ask.points = static_cast<uint16_t>(points->get<int64_t>());
        }
        if (!typed) return;
        switch (rvlformat::askType(ask.type)) {
        case AskType::Picture:
            forbidMedia(q, where, "picture", {"audio", "video"});
            media(q, "media", at(where, "media"), tr("picture"), ask.media, &source.media);
            break;
        case AskType::Audio:
            forbidMedia(q, where, "audio", {"audio", "video"});
            media(q, "media", at(where, "media"), tr("sound"), ask.media, &source.media);
            break;
        case AskType::Video:
            forbidMedia(q, where, "video", {"media"});
            if (!q.contains("audio"))
                source.soundFromVideo = true;
            else if (q["audio"].is_null())
                source.silent = true;
            else
                media(q, "audio", at(where, "audio"), tr("sound track"), ask.media, &source.audio);
            media(q, "video", at(where, "video"), tr("video"), ask.video, &source.video);
            break;
        default:
            forbidMedia(q, where, ask.type == typeCode(AskType::Text) ? "text" : "media-less", {"media", "audio", "video"});
        }
    }

    void topic(const Json& t, size_t index, Topic& topic) {
        const TablePlaces& table = sources.table;
        std::string where = table.empty() ? topicPlace(index) : table.topicRow(index);
        if (!t.is_object()) {
            error(where, tr("must be an object with \"name\" and \"questions\""));
            return;
        }
        unknownKeys(t, {"name", "questions"}, where);
        text(t, "name", where, tr("topic name"), topic.name, true);
        auto qs = t.find("questions");
        if (qs == t.end()) return;  // a topic without questions is allowed
        if (!qs->is_array()) {
            error(where, tr("\"questions\" must be an array"));
            return;
        }
        if (qs->size() > rvlformat::kMaxAsks) {
            error(where, format(tr("%zu questions, a topic holds at most %zu; move some into another topic"), qs->size(),
                                rvlformat::kMaxAsks));
            overLimit = true;
        }
        topic.questions.resize(qs->size());
        sources.questions[index].resize(qs->size());
        for (size_t q = 0; q < qs->size(); ++q) {
            // A question of a table goes by its row, with the label's text and file.
            std::string place = label((*qs)[q], index, q);
            if (!table.empty()) place = table.row(index, q) + place.substr(questionPlace(index, q).size());
            question((*qs)[q], place, topic.questions[q], sources.questions[index][q]);
        }
    }
};

// "4.6 GiB"
std::string gibibytes(uint64_t bytes) {
    char text[32];
    snprintf(text, sizeof text, tr("%.1f GiB"), double(bytes) / double(uint64_t(1) << 30));
    return text;
}

// Strips the JSON library's "[json.exception.parse_error.101] " prefix.
std::string plainParseMessage(const std::string& what) {
    size_t close = what.find("] ");
    return close == std::string::npos ? what : what.substr(close + 2);
}

// The deepest nesting of arrays and objects in JSON text, strings skipped;
// exact for valid JSON, which is all the parser accepts.
// How deep arrays and objects nest, and how many values they hold (an
// element or a member follows each opening bracket or comma), read off the
// bytes without parsing them.
struct JsonShape {
    int deepest = 0;
    long values = 0;
};

JsonShape shapeOf(const std::vector<uint8_t>& text) {
    JsonShape shape;
    int depth = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        uint8_t c = text[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            shape.deepest = std::max(shape.deepest, ++depth);
            ++shape.values;
        } else if (c == ']' || c == '}') {
            --depth;
        } else if (c == ',') {
            ++shape.values;
        }
    }
    return shape;
}

bool loadRoot(Json root, const std::string& dir, Module& module, std::vector<Finding>& issues,
              const ManifestOptions& options, ManifestMedia* media, std::vector<uint8_t> table = {});

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

// Empties what a load fills and reads the input file whole; false, with an
// error asking for what was expected, when it cannot be read.
static bool startLoad(const std::string& path, const char* expected, Module& module, ManifestMedia* media,
                      std::vector<uint8_t>& bytes, std::vector<Finding>& issues) {
    module = Module{};
    if (media) *media = ManifestMedia{};
    std::string readError;
    if (readWholeFile(path, bytes, &readError)) return true;
    addFinding(issues, Severity::Error, "", format(tr("%s; give the path of %s"), readError.c_str(), expected));
    return false;
}

bool loadManifest(const std::string& path, Module& module, std::vector<Finding>& issues,
                  const ManifestOptions& options, ManifestMedia* media) {
    std::vector<uint8_t> bytes;
    if (!startLoad(path, tr("the JSON manifest"), module, media, bytes, issues)) return false;
    // Deeper nesting is refused before parsing: it would only exhaust the
    // stack of whatever walks the values later; so are more values than a
    // pack can use, which could exhaust memory inside the parser.
    const JsonShape shape = shapeOf(bytes);
    if (shape.deepest > maxManifestDepth) {
        addFinding(issues, Severity::Error, path,
                   format(tr("arrays and objects are nested more than %d levels deep, a manifest needs five; fix the "
                             "manifest"),
                          int(maxManifestDepth)));
        return false;
    }
    if (shape.values > maxManifestValues) {
        addFinding(issues, Severity::Error, path,
                   format(tr("the manifest holds more than %ld values, a full pack needs about half a million; fix "
                             "the manifest"),
                          maxManifestValues));
        return false;
    }
    Json root;
    try {
        root = Json::parse(bytes.begin(), bytes.end());
    } catch (const Json::exception& e) {
        addFinding(issues, Severity::Error, path,
                   format(tr("bad JSON: %s; fix the manifest"), plainParseMessage(e.what()).c_str()));
        return false;
    }
    if (!root.is_object()) {
        addFinding(issues, Severity::Error, path,
                   tr("the manifest must be a JSON object with \"name\", \"author\" and \"topics\""));
        return false;
    }
    return loadRoot(std::move(root), folderOf(path), module, issues, options, media);
}

bool loadQuestionsTable(const std::string& path, const PackDetails& details, Module& module,
                        std::vector<Finding>& issues, const ManifestOptions& options, ManifestMedia* media) {
    std::vector<uint8_t> table;
    if (!startLoad(path, tr("the questions table"), module, media, table, issues)) return false;
    Json root = Json::object();
    if (!details.name.empty()) root["name"] = details.name;
    if (!details.author.empty()) root["author"] = details.author;
    uint32_t seconds = 0;
    bool timeGiven = details.created.empty() || parseIsoTime(details.created, seconds);
    if (!timeGiven)
        addFinding(issues, Severity::Error, "--created",
                   format(tr("\"%s\" is not an ISO 8601 time between 1970 and 2106; write it like "
                             "2024-05-01T18:30:00+03:00"),
                          details.created.c_str()));
    else if (!details.created.empty())
        root["created"] = details.created;
    root["questions"] = path.substr(path.rfind('/') + 1);
    return loadRoot(std::move(root), folderOf(path), module, issues, options, media, std::move(table)) && timeGiven;
}

namespace {

// Fills module from a manifest's root object, reading its media from dir;
// table holds the questions table "questions" names when it is read already.
bool loadRoot(Json root, const std::string& dir, Module& module, std::vector<Finding>& issues,
              const ManifestOptions& options, ManifestMedia* media, std::vector<uint8_t> table) {
    module = Module{};
    ManifestMedia unused;
    ManifestMedia& sources = media ? *media : unused;
    sources = ManifestMedia{};
    size_t errorsBefore = countFindings(issues, Severity::Error);
    ManifestReader reader{dir, issues, options, sources, {}, nullptr, false};
    const std::string manifest = tr("manifest");  // the place of the manifest's own keys
    reader.unknownKeys(root, {"name", "author", "created", "topics", "questions", "trailing", "fit"}, manifest);
    // "questions" names a questions table that gives the topics.
    if (root.contains("questions")) {
        if (root.contains("topics")) {
            reader.error(manifest, tr("both \"questions\" and \"topics\" are given; keep one"));
            return false;
        }
        if (table.empty() && !reader.readNow(root, "questions", manifest, tr("questions table"), table)) return false;
        Json topics;
        std::string name = root["questions"].get<std::string>();
        // Only a table that cannot be read stops here; bad rows still leave the others to read.
        if (!readQuestionsTable(table, name, topics, sources.table, issues) && topics.empty()) return false;
        reader.overLimit = sources.table.overLimit;
        root["topics"] = std::move(topics);
        reader.dir = (name[0] == '/' ? "" : dir) + folderOf(name);  // the table's media are relative to the table
    }
    reader.fit(root, manifest, sources.fit);
    reader.text(root, "name", manifest, tr("pack name"), module.packName, false);
    reader.text(root, "author", manifest, tr("author"), module.author, false);

    auto created = root.find("created");
    if (created == root.end()) {
        module.created = static_cast<uint32_t>(time(nullptr));
    } else if (created->is_string()) {
        if (!parseIsoTime(created->get<std::string>(), module.created))
            reader.error(manifest, format(tr("\"created\" %s is not an ISO 8601 time between 1970 and 2106; write it "
                                             "like \"2024-05-01T18:30:00Z\""),
                                          created->dump().c_str()));
    } else if (created->is_number_integer() && created->get<int64_t>() >= 0 &&
               static_cast<uint64_t>(created->get<int64_t>()) <= rvlformat::kMaxCreated) {
        module.created = static_cast<uint32_t>(created->get<int64_t>());
    } else {
        reader.error(manifest, tr("\"created\" must be an ISO 8601 time such as \"2024-05-01T18:30:00Z\""));
    }

    auto topicList = root.find("topics");
    if (topicList == root.end() || !topicList->is_array()) {
        reader.error(manifest, tr("\"topics\" is missing or not an array; list the topics in it"));
    } else {
        if (topicList->size() > rvlformat::kMaxTopics) {
            reader.error(manifest, format(tr("%zu topics, a pack holds at most %zu; split it into two packs"),
                                          topicList->size(), rvlformat::kMaxTopics));
            reader.overLimit = true;
        }
        module.topics.resize(topicList->size());
        sources.questions.resize(topicList->size());
        for (size_t t = 0; t < topicList->size(); ++t) reader.topic((*topicList)[t], t, module.topics[t]);
    }
    reader.dir = dir;
    MediaBytes trailing;
    if (root.contains("trailing")) reader.media(root, "trailing", manifest, tr("trailing bytes"), trailing);
    uint64_t projected = reader.projectedSize(module);
    if (projected > options.maxPackSize) {
        reader.error(manifest, format(tr("the pack would be %llu bytes (%s), more than the %s a host's computer can be "
                                         "expected to load; split it into smaller packs, or give --max-size to allow "
                                         "more"),
                                      static_cast<unsigned long long>(projected), gibibytes(projected).c_str(),
                                      gibibytes(options.maxPackSize).c_str()));
        reader.overLimit = true;
    }
    sources.mediaRead = !reader.overLimit;
    if (sources.mediaRead) reader.readMedia();
    module.trailing = trailing.bytes();
    return countFindings(issues, Severity::Error) == errorsBefore;
}

} // namespace

} // namespace rvlpack


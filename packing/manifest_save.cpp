// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a module back out as a manifest: one file per media block, named
// by its kind, and the questions in the manifest or in a table beside it.
#include "packing/manifest.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include "module/format.h"
#include "packing/iso_time.h"
#include "packing/media_kind.h"
#include "platform/utf16.h"

namespace rvlpack {

using Json = nlohmann::ordered_json;
using rvlformat::typeCode;

namespace {

// A text as a JSON string, or as its UTF-16 code units when UTF-8 cannot
// carry it.
Json textJson(const std::wstring& units) {
    if (!hasLoneSurrogate(units)) return Json(utf16ToUtf8(units));
    Json array = Json::array();
    for (wchar_t unit : units) array.push_back(static_cast<uint32_t>(unit));
    return array;
}

// Writes bytes to a new file at path; false with error set on failure.
bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) {
        if (error) *error = "cannot create " + path + ": " + strerror(errno);
        return false;
    }
    bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int code = ok ? 0 : errno;
    // Buffered bytes meet a full disk only at the close: its errno says so.
    if (fclose(file) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (!ok && error) *error = "cannot write " + path + ": " + strerror(code ? code : EIO);
    return ok;
}

} // namespace

bool saveManifest(const Module& module, const std::string& dir, std::string* error, bool table,
                  std::vector<Finding>* warnings) {
    std::string mediaDir = dir + "/media";
    if (mkdir(mediaDir.c_str(), 0777) != 0 && errno != EEXIST) {
        if (error) *error = "cannot create " + mediaDir + ": " + strerror(errno);
        return false;
    }
    auto saveBlock = [&](const std::vector<uint8_t>& block, const std::string& stem, std::string& name) {
        name = "media/" + stem + mediaExtension(block);
        return writeBytes(dir + "/" + name, block, error);
    };
    Json root;
    root["name"] = textJson(module.packName);
    root["author"] = textJson(module.author);
    root["created"] = formatIsoTime(module.created);
    root["topics"] = Json::array();
    for (size_t t = 0; t < module.topics.size(); ++t) {
        const Topic& topic = module.topics[t];
        Json jt;
        jt["name"] = textJson(topic.name);
        jt["questions"] = Json::array();
        for (size_t q = 0; q < topic.questions.size(); ++q) {
            const Question& ask = topic.questions[q];
            char stem[64];
            snprintf(stem, sizeof stem, "t%02zuq%02zu", t + 1, q + 1);
            Json jq;
            jq["type"] = static_cast<int>(static_cast<uint8_t>(ask.type));  // unknown bytes stay numbers
            for (const auto& t : kTypeNames) {
                if (ask.type == typeCode(t.type)) jq["type"] = t.word;
            }
            jq["question"] = textJson(ask.question);
            jq["answer"] = textJson(ask.answer);
            jq["points"] = ask.points;
            std::string name;
            if (rvlformat::carriesMedia(ask.type) && !rvlformat::carriesVideo(ask.type)) {
                if (!saveBlock(ask.media, stem, name)) return false;
                jq["media"] = name;
            } else if (rvlformat::carriesVideo(ask.type) && ask.media.empty()) {
                jq["audio"] = nullptr;  // a silent clip
                if (!saveBlock(ask.video, std::string(stem) + "-video", name)) return false;
                jq["video"] = name;
            } else if (rvlformat::carriesVideo(ask.type)) {
                if (!saveBlock(ask.media, std::string(stem) + "-sound", name)) return false;
                jq["audio"] = name;
                if (!saveBlock(ask.video, std::string(stem) + "-video", name)) return false;
                jq["video"] = name;
            }
            // A stored video stays as it is, though build pads those not 4:3 by default.
            if (rvlformat::carriesVideo(ask.type)) jq["fit"] = "stretch";
            jt["questions"].push_back(jq);
        }
        root["topics"].push_back(jt);
    }
    if (!module.trailing.empty()) {
        std::string name = "media/trailing.bin";
        if (!writeBytes(dir + "/" + name, module.trailing, error)) return false;
        root["trailing"] = name;
    }
    if (table) {
        std::string csv, whyNot;
        if (!csvFromTopics(root["topics"], csv, whyNot, warnings)) {
            if (error) *error = "the questions do not fit a table: " + whyNot + "; unpack without --csv";
            return false;
        }
        if (!writeBytes(dir + "/questions.csv", std::vector<uint8_t>(csv.begin(), csv.end()), error)) return false;
        root.erase("topics");
        root["questions"] = "questions.csv";
    }
    std::string text = root.dump(2, ' ', false) + "\n";
    return writeBytes(dir + "/manifest.json", std::vector<uint8_t>(text.begin(), text.end()), error);
}

} // namespace rvlpack

// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the module loader with whole files: whatever the bytes, it returns,
// and it agrees with the pack tool's reader of the same bytes: both refuse
// them, or both give the same records, media bytes included.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "module/format.h"
#include "module/loader.h"
#include "module/records.h"
#include "packing/pack_reader.h"
#include "platform/utf16.h"

using namespace Ravlin::RM_Reader;

namespace {

bool sameBlock(const unsigned char* block, uint32_t size, const std::vector<uint8_t>& bytes) {
    return block && size == bytes.size() && (size == 0 || memcmp(block, bytes.data(), size) == 0);
}

bool sameAsk(const RM_Ask& a, const rvlpack::Question& q) {
    if (a.type != q.type || a.question != q.question || a.answer != q.answer || a.points != q.points) return false;
    if (rvlformat::carriesMedia(a.type) ? !sameBlock(a.media, a.mediaSize, q.media) : a.media != nullptr) return false;
    return rvlformat::carriesVideo(a.type) ? sameBlock(a.video, a.videoSize, q.video) : a.video == nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bool loaded = loadModule(utf8ToUtf16(fuzzInputFile(data, size)));
    rvlpack::Module read;
    fuzzCheck(loaded == rvlpack::readModule(data, size, read), "the loader and the pack reader agree on refusing");
    if (!loaded) {
        fuzzCheck(!loaderError.empty(), "a refused module leaves a message");
        fuzzCheck(topics.empty() && packName.empty() && author.empty(), "a refused module leaves no records");
    } else {
        fuzzCheck(packName == read.packName && author == read.author && topics.size() == read.topics.size(),
                  "the header and the topic count agree");
        for (size_t t = 0; t < topics.size(); ++t) {
            const std::vector<RM_Ask>& asks = topics[t].asks;
            const std::vector<rvlpack::Question>& questions = read.topics[t].questions;
            fuzzCheck(topics[t].name == read.topics[t].name && asks.size() == questions.size(), "topics agree");
            for (size_t a = 0; a < asks.size(); ++a) fuzzCheck(sameAsk(asks[a], questions[a]), "questions agree");
        }
    }
    unloadModule();
    fuzzCheck(topics.empty() && loaderError.empty(), "unloading empties the records");
    return 0;
}

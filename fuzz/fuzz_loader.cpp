// Fuzzes the module loader with whole files: whatever the bytes, it returns,
// and its result is consistent (a refusal leaves a message and no module; a
// load leaves media blocks of exactly their stated lengths).
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "module/loader.h"
#include "module/records.h"
#include "platform/utf16.h"

using namespace Ravlin::RM_Reader;

namespace {

// Reads every byte of a block, so a block shorter than its length is caught
// by ASan; the sum only keeps the reads from being optimised away.
unsigned touch(const unsigned char* block, uint32_t size) {
    unsigned sum = 0;
    for (uint32_t i = 0; i < size; ++i) sum += block[i];
    return sum;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzSetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzSetInput(data, size);
    bool loaded = loadModule(utf8ToUtf16(fuzzInputPath()));
    if (!loaded) {
        fuzzCheck(!loaderError.empty(), "a refused module leaves a message");
        fuzzCheck(topics.empty() && packName.empty() && author.empty(), "a refused module leaves no records");
    } else {
        fuzzCheck(size >= 4 + 4 + 1 + 1 + 1, "a loaded module holds at least its header");
        fuzzCheck(topics.size() == data[9 + 2 * packName.size() + 1 + 2 * author.size()],
                  "the topic count is the count byte");
        volatile unsigned sink = 0;
        for (const RM_Topic& topic : topics) {
            fuzzCheck(topic.name.size() <= 255 && topic.asks.size() <= 255, "counts fit a byte");
            for (const RM_Ask& ask : topic.asks) {
                fuzzCheck(ask.question.size() <= 255 && ask.answer.size() <= 255, "texts fit a count byte");
                bool hasMedia = ask.type == 'I' || ask.type == 'A' || ask.type == 'V';
                fuzzCheck(hasMedia == (ask.media != nullptr), "media blocks exactly for 'I', 'A' and 'V'");
                fuzzCheck((ask.type == 'V') == (ask.video != nullptr), "a second block exactly for 'V'");
                fuzzCheck(ask.mediaSize <= size && ask.videoSize <= size, "no block is longer than the file");
                if (ask.media) sink = sink + touch(ask.media, ask.mediaSize);
                if (ask.video) sink = sink + touch(ask.video, ask.videoSize);
            }
        }
    }
    unloadModule();
    fuzzCheck(topics.empty() && loaderError.empty(), "unloading empties the records");
    return 0;
}

// The .rvl writer: big-endian numbers, count-prefixed UTF-16BE strings, and
// media blocks behind their u32 lengths, in file order.
#include "packing/module_writer.h"

#include <cstdio>

#include "platform/utf16.h"

namespace rvlpack {

namespace {

bool setError(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

void putU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void putString(std::vector<uint8_t>& out, const std::wstring& text) {
    out.push_back(static_cast<uint8_t>(text.size()));
    for (wchar_t unit : text) putU16(out, static_cast<uint16_t>(unit));
}

void putBlock(std::vector<uint8_t>& out, const std::vector<uint8_t>& block) {
    putU32(out, static_cast<uint32_t>(block.size()));
    out.insert(out.end(), block.begin(), block.end());
}

bool checkText(const std::wstring& text, const std::string& where, std::string* error) {
    if (text.size() > 255)
        return setError(error, where + ": " + std::to_string(text.size()) + " UTF-16 units, the format holds at most 255");
    for (wchar_t unit : text) {
        if (static_cast<uint32_t>(unit) > 0xFFFF)
            return setError(error, where + ": holds a value that is not a UTF-16 code unit");
    }
    return true;
}

bool checkBlock(const std::vector<uint8_t>& block, const std::string& where, std::string* error) {
    if (block.size() > 0xFFFFFFFFull)
        return setError(error, where + ": " + std::to_string(block.size()) + " bytes, the format holds at most 4294967295");
    return true;
}

} // namespace

bool checkLimits(const Module& module, std::string* error) {
    if (!checkText(module.packName, "pack name", error) || !checkText(module.author, "author", error)) return false;
    if (module.topics.size() > 255)
        return setError(error, std::to_string(module.topics.size()) + " topics, the format holds at most 255");
    for (size_t t = 0; t < module.topics.size(); ++t) {
        const Topic& topic = module.topics[t];
        std::string at = "topic " + std::to_string(t + 1);
        if (!checkText(topic.name, at + " name", error)) return false;
        if (topic.questions.size() > 255)
            return setError(error, at + ": " + std::to_string(topic.questions.size()) +
                                       " questions, the format holds at most 255");
        for (size_t q = 0; q < topic.questions.size(); ++q) {
            const Question& ask = topic.questions[q];
            std::string qat = at + " question " + std::to_string(q + 1);
            if (!checkText(ask.question, qat + " text", error) || !checkText(ask.answer, qat + " answer", error) ||
                !checkBlock(ask.media, qat + " media", error) || !checkBlock(ask.video, qat + " video", error))
                return false;
        }
    }
    return true;
}

bool writeModule(const Module& module, std::vector<uint8_t>& out, std::string* error) {
    if (!checkLimits(module, error)) return false;
    const char magic[] = {'R', 'V', 'L', '1'};
    out.insert(out.end(), magic, magic + 4);
    putU32(out, module.created);
    putString(out, module.packName);
    putString(out, module.author);
    out.push_back(static_cast<uint8_t>(module.topics.size()));
    for (const Topic& topic : module.topics) {
        putString(out, topic.name);
        out.push_back(static_cast<uint8_t>(topic.questions.size()));
        for (const Question& ask : topic.questions) {
            out.push_back(static_cast<uint8_t>(ask.type));
            putString(out, ask.question);
            putString(out, ask.answer);
            putU16(out, ask.points);
            if (ask.type == 'I' || ask.type == 'A' || ask.type == 'V') putBlock(out, ask.media);
            if (ask.type == 'V') putBlock(out, ask.video);
        }
    }
    return true;
}

bool writeModuleFile(const Module& module, const std::string& path, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!writeModule(module, bytes, error)) return false;
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return setError(error, "cannot create " + path);
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    written = fclose(file) == 0 && written;
    if (!written) {
        remove(path.c_str());
        return setError(error, "cannot write " + path);
    }
    return true;
}

std::wstring u16(const std::string& utf8) { return utf8ToUtf16(utf8); }

} // namespace rvlpack

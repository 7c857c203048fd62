// The module loader. Every count and length in a module is checked against
// the bytes left in the file before anything is read or allocated, so a cut
// or crafted file gives a false result with a message, never a crash.
#include "module/loader.h"

#include <sys/stat.h>

#include <cstdio>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "module/read_primitives.h"
#include "module/records.h"
#include "platform/utf16.h"
#include "platform/wide_path.h"

using namespace Ravlin::RM_Reader;

namespace {

const wchar_t kNotAModule[] = L"Данный фаил не является игровым модулем Ravlin.";
const wchar_t kOutOfMemory[] = L"Недостаточно памяти для загрузки модуля.";

// Every block the loader allocated. Records only refer to blocks; this list
// keeps them reachable for the life of the process and lets a failed load
// give them back. The list itself is never destroyed: a global vector would
// be freed by the static destructors at exit, and the blocks, still in use
// until then, would look lost to a leak checker run after them.
std::vector<unsigned char*>& mediaBlocks = *new std::vector<unsigned char*>;

// The offset is counted here as fields are read: ftell costs a system call
// (lseek) each time, and the checks below ask for it several times per
// question.
struct ModuleFile {
    FILE* file;
    uint64_t size;
    uint64_t at = 0;
};

uint64_t offsetOf(const ModuleFile& m) { return m.at; }

uint64_t bytesLeft(const ModuleFile& m) {
    uint64_t at = offsetOf(m);
    return at >= m.size ? 0 : m.size - at;
}

bool fail(const std::wstring& reason) {
    unloadModule();
    loaderError = reason;
    return false;
}

bool failTruncated(const ModuleFile& m, const wchar_t* what) {
    return fail(L"Модуль повреждён: файл обрывается на байте " + std::to_wstring(m.size) +
                L", не дочитано: " + what + L".");
}

// Checks that n more bytes stand in the file before they are read.
bool need(const ModuleFile& m, uint64_t n, const wchar_t* what) {
    if (bytesLeft(m) < n) return failTruncated(m, what);
    return true;
}

bool readCount(ModuleFile& m, int& count, const wchar_t* what) {
    if (!need(m, 1, what)) return false;
    count = fgetc(m.file) & 0xFF;
    m.at += 1;
    return true;
}

bool readText(ModuleFile& m, std::wstring& out, const wchar_t* what) {
    int count = 0;
    if (!readCount(m, count, what)) return false;
    if (!need(m, 2u * static_cast<uint64_t>(count), what)) return false;
    out = readString(count, m.file);
    m.at += 2u * static_cast<uint64_t>(count);
    return true;
}

bool readLength(ModuleFile& m, uint32_t& length, const wchar_t* what) {
    if (!need(m, 4, what)) return false;
    length = readU32BE(m.file);
    m.at += 4;
    return true;
}

// Reads one media block of the given length with one read into an
// allocation of exactly that size.
bool readBlock(ModuleFile& m, uint32_t length, unsigned char*& block, const wchar_t* what) {
    uint64_t at = offsetOf(m);
    if (bytesLeft(m) < length) {
        return fail(L"Модуль повреждён: " + std::wstring(what) + L" длиной " + std::to_wstring(length) +
                    L" байт с байта " + std::to_wstring(at) + L" выходит за конец файла (файл обрывается на байте " +
                    std::to_wstring(m.size) + L").");
    }
    // The slot first: were the list unable to grow, no block is left behind.
    mediaBlocks.push_back(nullptr);
    block = mediaBlocks.back() = new (std::nothrow) unsigned char[length];
    if (!block) {
        return fail(L"Недостаточно памяти: " + std::wstring(what) + L" занимает " + std::to_wstring(length) +
                    L" байт.");
    }
    if (length > 0 && fread(block, 1, length, m.file) != length) return failTruncated(m, what);
    m.at += length;
    return true;
}

bool readMedia(ModuleFile& m, RM_Ask& ask) {
    switch (ask.type) {
    case 'A':
        return readLength(m, ask.mediaSize, L"длина звука") &&
               readBlock(m, ask.mediaSize, ask.media, L"звук");
    case 'I':
        if (!readLength(m, ask.mediaSize, L"длина картинки")) return false;
        std::wcout << L"File size: " << ask.mediaSize << std::endl;
        return readBlock(m, ask.mediaSize, ask.media, L"картинка");
    case 'V':
        if (!readLength(m, ask.mediaSize, L"длина звуковой дорожки видео")) return false;
        std::wcout << L"Видео size: " << ask.mediaSize << std::endl;
        return readBlock(m, ask.mediaSize, ask.media, L"звуковая дорожка видео") &&
               readLength(m, ask.videoSize, L"длина видео") &&
               readBlock(m, ask.videoSize, ask.video, L"видео");
    default:
        return true;
    }
}

bool readQuestion(ModuleFile& m, RM_Ask& ask) {
    int type = 0;
    if (!readCount(m, type, L"тип вопроса")) return false;
    ask.type = static_cast<char>(type);
    if (!readText(m, ask.question, L"текст вопроса")) return false;
    if (!readText(m, ask.answer, L"текст ответа")) return false;
    if (!need(m, 2, L"очки вопроса")) return false;
    ask.points = readU16BE(m.file);
    m.at += 2;
    std::wcout << L"Вопрос: " << ask.question << std::endl;
    std::wcout << L"Ответ: " << ask.answer << std::endl;
    std::wcout << L"Очки: " << ask.points << std::endl;
    std::wcout << L"File pos: " << static_cast<long>(offsetOf(m)) << std::endl;
    if (!readMedia(m, ask)) return false;
    std::wcout << L"---------------------" << std::endl;
    return true;
}

bool readModuleLocked(ModuleFile& m) {
    char magic[4] = {0, 0, 0, 0};
    for (char& c : magic) {
        int byte = fgetc(m.file);
        c = byte == EOF ? '\0' : static_cast<char>(byte);
    }
    const std::string expected = std::string("RVL") + "1";
    if (std::string(magic, 4) != expected) return fail(kNotAModule);
    m.at = 4;

    if (!need(m, 4, L"время создания")) return false;
    creationTime = readTime(m.file);
    m.at += 4;
    creationTimeKnown = true;
    if (!readText(m, packName, L"название пака")) return false;
    if (!readText(m, author, L"автор")) return false;

    int topicCount = 0;
    if (!readCount(m, topicCount, L"число тем")) return false;
    std::cout << topicCount << std::endl;

    topics.reserve(static_cast<size_t>(topicCount));
    for (int t = 0; t < topicCount; ++t) {
        topics.emplace_back();
        RM_Topic& topic = topics[static_cast<size_t>(t)];
        if (!readText(m, topic.name, L"название темы")) return false;
        int askCount = 0;
        if (!readCount(m, askCount, L"число вопросов")) return false;
        std::wcout << L"Тема: " << topic.name << askCount << std::endl;
        topic.asks.reserve(static_cast<size_t>(askCount));
        for (int a = 0; a < askCount; ++a) {
            topic.asks.emplace_back();
            if (!readQuestion(m, topic.asks[static_cast<size_t>(a)])) return false;
        }
    }
    return true;
}

// Strings come a unit at a time, so a module is millions of small reads;
// once other threads exist (SDL starts some) each read would take the
// stream's lock with an atomic operation. Holding it for the whole load
// makes the per-read lock a cheap recursive one.
bool readModule(ModuleFile& m) {
    flockfile(m.file);
    bool loaded = readModuleLocked(m);
    // Every read was checked against the size the file had when opened; a
    // file cut short meanwhile shows here as a read that hit its end.
    if (loaded && (feof(m.file) || ferror(m.file))) loaded = failTruncated(m, L"файл изменился во время чтения");
    funlockfile(m.file);
    return loaded;
}

} // namespace

void unloadModule() {
    topics.clear();
    topics.shrink_to_fit();
    packName.clear();
    author.clear();
    creationTime = std::tm{};
    creationTimeKnown = false;
    loaderError.clear();
    for (unsigned char* block : mediaBlocks) delete[] block;
    mediaBlocks.clear();
}

namespace {

bool openAndRead(const std::wstring& path, FILE*& file) {
    // Opening a named pipe waits for a writer, perhaps for ever: look at
    // what the path is before opening it.
    struct stat before {};
    if (stat(utf16ToUtf8(path).c_str(), &before) == 0 && !S_ISREG(before.st_mode))
        return fail(L"Не удалось прочитать файл модуля (это не обычный файл): " + path);
    file = openWidePath(path, "rb");
    if (!file) return fail(L"Не удалось открыть файл модуля: " + path);
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode))
        return fail(L"Не удалось прочитать файл модуля (это не обычный файл): " + path);
    ModuleFile m{file, static_cast<uint64_t>(info.st_size)};
    return readModule(m);
}

} // namespace

void rejectModule() {
    unloadModule();
    loaderError = kNotAModule;
}

bool loadModule(std::wstring path) {
    FILE* file = nullptr;
    bool loaded = false;
    // Media blocks are allocated without exceptions; what is left is the
    // standard library's own small allocations (texts, records). Every length
    // is checked against the file first, so they fail only when the machine
    // is out of memory; the load then fails like any other, with its
    // records freed, instead of ending the process.
    try {
        loaded = openAndRead(path, file);
    } catch (const std::bad_alloc&) {
        // Free the records before the message takes any memory.
        unloadModule();
        loaderError = kOutOfMemory;
        loaded = false;
    }
    if (file) fclose(file);
    return loaded;
}

// SPDX-License-Identifier: GPL-3.0-or-later
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

#include "module/format.h"
#include "module/records.h"
#include "platform/local_time.h"
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

using rvlformat::Field;

// Names of the fields as the messages give them, in the order of Field.
const wchar_t* const kFieldNames[] = {
    L"сигнатура", L"время создания", L"название пака", L"автор", L"число тем",
    L"название темы", L"число вопросов",
    L"тип вопроса", L"текст вопроса", L"текст ответа", L"очки вопроса",
    L"длина картинки", L"картинка", L"длина звука", L"звук",
    L"длина звуковой дорожки видео", L"звуковая дорожка видео", L"длина видео", L"видео",
};
static_assert(sizeof kFieldNames / sizeof *kFieldNames == size_t(Field::Video) + 1, "a name for every field");

bool fail(const std::wstring& reason) {
    unloadModule();
    loaderError = reason;
    return false;
}

bool failWith(const rvlformat::Failure& f) {
    std::wstring what = kFieldNames[static_cast<size_t>(f.field)];
    const std::wstring fileEnd = std::to_wstring(f.offset + f.left);
    const bool isBlock = f.field == Field::Picture || f.field == Field::Sound || f.field == Field::Track ||
                         f.field == Field::Video;
    switch (f.fault) {
    case rvlformat::Fault::NotAModule: return fail(kNotAModule);
    case rvlformat::Fault::NoMemory:
        return fail(L"Недостаточно памяти: " + what + L" занимает " + std::to_wstring(f.needed) + L" байт.");
    case rvlformat::Fault::Truncated:
        if (isBlock) {
            return fail(L"Модуль повреждён: " + what + L" длиной " + std::to_wstring(f.needed) + L" байт с байта " +
                        std::to_wstring(f.offset) + L" выходит за конец файла (файл обрывается на байте " + fileEnd +
                        L").");
        }
        break;
    case rvlformat::Fault::ReadFailed:
        // Every length was checked against the size the file had when it was
        // opened: a field that still comes up short means the file was cut
        // meanwhile. A media block names itself; a short text or number says so.
        if (!isBlock) what = L"файл изменился во время чтения";
        break;
    default: break;
    }
    return fail(L"Модуль повреждён: файл обрывается на байте " + fileEnd + L", не дочитано: " + what + L".");
}

// Fills the module objects and prints the trace as the fields arrive.
class LoaderSink : public rvlformat::ModuleSink {
    void header(uint32_t created, std::wstring& pack, std::wstring& by) override {
        localTime64(static_cast<int64_t>(created), creationTime);
        creationTimeKnown = true;
        packName = std::move(pack);
        author = std::move(by);
    }
    void topicCount(size_t count) override {
        std::cout << static_cast<int>(count) << std::endl;
        topics.reserve(count);
    }
    void topic(std::wstring& name, size_t askCount) override {
        topics.emplace_back();
        RM_Topic& topic = topics.back();
        topic.name = std::move(name);
        std::wcout << L"Тема: " << topic.name << static_cast<int>(askCount) << std::endl;
        topic.asks.reserve(askCount);
    }
    void ask(rvlformat::AskHead& head, uint64_t endOfPoints) override {
        topics.back().asks.emplace_back();
        RM_Ask& ask = topics.back().asks.back();
        ask.type = head.type;
        ask.question = std::move(head.question);
        ask.answer = std::move(head.answer);
        ask.points = head.points;
        std::wcout << L"Вопрос: " << ask.question << std::endl;
        std::wcout << L"Ответ: " << ask.answer << std::endl;
        std::wcout << L"Очки: " << ask.points << std::endl;
        std::wcout << L"File pos: " << static_cast<long>(endOfPoints) << std::endl;
    }
    void blockLength(Field block, uint32_t length) override {
        if (block == Field::Picture) std::wcout << L"File size: " << length << std::endl;
        if (block == Field::Track) std::wcout << L"Видео size: " << length << std::endl;
    }
    // Each block is one allocation of exactly its length, read straight into.
    bool block(Field block, uint32_t length, uint8_t*& to) override {
        RM_Ask& ask = topics.back().asks.back();
        // The slot first: were the list unable to grow, no block is left behind.
        mediaBlocks.push_back(nullptr);
        to = mediaBlocks.back() = new (std::nothrow) unsigned char[length];
        (block == Field::Video ? ask.video : ask.media) = to;
        (block == Field::Video ? ask.videoSize : ask.mediaSize) = length;
        return to != nullptr;
    }
    void askDone() override { std::wcout << L"---------------------" << std::endl; }
};

// Strings come a few bytes at a time, so a module is millions of small reads;
// once other threads exist (SDL starts some) each read would take the
// stream's lock with an atomic operation. Holding it for the whole load
// makes the per-read lock a cheap recursive one.
bool readModuleFile(FILE* file, uint64_t size) {
    LoaderSink sink;
    rvlformat::Failure failure;
    flockfile(file);
    bool loaded = rvlformat::readModule(file, size, sink, failure);
    funlockfile(file);
    return loaded || failWith(failure);
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
    return readModuleFile(file, static_cast<uint64_t>(info.st_size));
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

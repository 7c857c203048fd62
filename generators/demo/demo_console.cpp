// SPDX-License-Identifier: GPL-3.0-or-later
// Expected trace and listing of a module, so that the end-to-end test can
// compare the reader's stdout with it line for line. The trace follows the
// written bytes through the format core; the listing follows the records.
#include "generators/demo/demo_console.h"

#include <ctime>

#include "module/format.h"
#include "platform/utf16.h"

namespace {

using rvlformat::AskType;
using rvlformat::Field;

std::string utf8(const std::wstring& units) { return utf16ToUtf8(units); }

std::string typeText(const rvlpack::Question& q) {
    switch (rvlformat::askType(q.type)) {
    case AskType::Text: return "; Тип: Текст\n";
    case AskType::Picture: return "; Тип: Картинка(" + std::to_string(q.media.size()) + " байт)\n";
    case AskType::Audio: return "; Тип: Аудио(" + std::to_string(q.media.size()) + " байт)\n";
    case AskType::Video:
        return "; Тип: Видео(" + std::to_string(q.media.size()) + " байт аудио и " + std::to_string(q.video.size()) +
               " байт видео)\n";
    default: return "";  // no type text and no line end
    }
}

// The trace, line by line as the fields are read; the file offsets come
// from the reading itself. Media bytes are skipped.
struct TraceWriter : rvlformat::ModuleSink {
    std::string trace;

    void header(uint32_t, std::wstring&, std::wstring&) override {}
    void topicCount(size_t count) override { trace += std::to_string(count) + "\n"; }
    void topic(std::wstring& name, size_t askCount) override {
        trace += "Тема: " + utf8(name) + std::to_string(askCount) + "\n";
    }
    void ask(rvlformat::AskHead& q, uint64_t endOfPoints) override {
        trace += "Вопрос: " + utf8(q.question) + "\nОтвет: " + utf8(q.answer) + "\nОчки: " + std::to_string(q.points) +
                 "\nFile pos: " + std::to_string(endOfPoints) + "\n";
    }
    void blockLength(Field block, uint32_t length) override {
        if (block == Field::Picture) trace += "File size: " + std::to_string(length) + "\n";
        if (block == Field::Track) trace += "Видео size: " + std::to_string(length) + "\n";
    }
    bool block(Field, uint32_t, uint8_t*&) override { return true; }
    void askDone() override { trace += "---------------------\n"; }
};

} // namespace

bool expectedConsole(const rvlpack::Module& module, long utcOffsetSeconds, const std::vector<uint8_t>& written,
                     std::string& text, std::string& error) {
    TraceWriter writer;
    rvlformat::Failure failure;
    if (!rvlformat::readModule(written.data(), written.size(), writer, failure)) {
        error = "the written module does not read back: field " + std::to_string(int(failure.field)) + " at byte " +
                std::to_string(failure.offset);
        return false;
    }
    const std::string& trace = writer.trace;

    std::time_t shifted = static_cast<std::time_t>(module.created) + utcOffsetSeconds;
    std::tm t{};
    gmtime_r(&shifted, &t);
    std::string listing = "Версия: RVL1\n";
    listing += "Время создания: " + std::to_string(t.tm_year + 1900) + "." + std::to_string(t.tm_mon + 1) + "." +
               std::to_string(t.tm_mday) + " " + std::to_string(t.tm_hour) + ":" + std::to_string(t.tm_min) + ":" +
               std::to_string(t.tm_sec) + "\n";
    listing += "Автор: " + utf8(module.author) + "; Название пака: " + utf8(module.packName) + "\n";
    for (const rvlpack::Topic& topic : module.topics) {
        listing += "Тема <" + utf8(topic.name) + ">:\n";
        for (const rvlpack::Question& q : topic.questions) {
            listing += "\tВопрос: " + utf8(q.question) + "; Ответ: " + utf8(q.answer) +
                       "; Баллы: " + std::to_string(q.points) + typeText(q);
        }
    }
    text = trace + listing;
    return true;
}

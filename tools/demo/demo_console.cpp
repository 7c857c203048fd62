// Expected trace and listing of a module, computed from the module's records
// and the layout of the file format, so that the end-to-end test can compare
// the reader's stdout with it line for line.
#include "tools/demo/demo_console.h"

#include <ctime>

#include "platform/utf16.h"

namespace {

std::string utf8(const std::wstring& units) { return utf16ToUtf8(units); }

// Bytes a module string takes in the file: its count byte and the units.
size_t stringBytes(const std::wstring& text) { return 1 + 2 * text.size(); }

std::string typeText(const rvlpack::Question& q) {
    switch (q.type) {
    case 'T': return "; Тип: Текст\n";
    case 'I': return "; Тип: Картинка(" + std::to_string(q.media.size()) + " байт)\n";
    case 'A': return "; Тип: Аудио(" + std::to_string(q.media.size()) + " байт)\n";
    case 'V':
        return "; Тип: Видео(" + std::to_string(q.media.size()) + " байт аудио и " + std::to_string(q.video.size()) +
               " байт видео)\n";
    default: return "";  // no type text and no line end
    }
}

} // namespace

bool expectedConsole(const rvlpack::Module& module, long utcOffsetSeconds, size_t writtenSize, std::string& text,
                     std::string& error) {
    std::string trace = std::to_string(module.topics.size()) + "\n";
    size_t offset = 4 + 4 + stringBytes(module.packName) + stringBytes(module.author) + 1;
    for (const rvlpack::Topic& topic : module.topics) {
        offset += stringBytes(topic.name) + 1;
        trace += "Тема: " + utf8(topic.name) + std::to_string(topic.questions.size()) + "\n";
        for (const rvlpack::Question& q : topic.questions) {
            offset += 1 + stringBytes(q.question) + stringBytes(q.answer) + 2;
            trace += "Вопрос: " + utf8(q.question) + "\n";
            trace += "Ответ: " + utf8(q.answer) + "\n";
            trace += "Очки: " + std::to_string(q.points) + "\n";
            trace += "File pos: " + std::to_string(offset) + "\n";
            if (q.type == 'I') trace += "File size: " + std::to_string(q.media.size()) + "\n";
            if (q.type == 'V') trace += "Видео size: " + std::to_string(q.media.size()) + "\n";
            if (q.type == 'I' || q.type == 'A') offset += 4 + q.media.size();
            if (q.type == 'V') offset += 4 + q.media.size() + 4 + q.video.size();
            trace += "---------------------\n";
        }
    }
    if (offset != writtenSize) {
        error = "the trace's offsets add up to " + std::to_string(offset) + " bytes, the writer wrote " +
                std::to_string(writtenSize);
        return false;
    }

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

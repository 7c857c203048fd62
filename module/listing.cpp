// SPDX-License-Identifier: GPL-3.0-or-later
// The console listing of the loaded module: a three-line header, then one
// line per topic and one tab-led line per question.
#include "module/listing.h"

#include <iostream>

#include "module/format.h"
#include "module/records.h"

using namespace Ravlin::RM_Reader;

namespace {

// A rejected file has no creation stamp: the line then shows a dash rather
// than a time that was never read.
void printCreationTime() {
    std::wcout << L"Время создания: ";
    if (creationTimeKnown) {
        std::wcout << int(creationTime.tm_year + 1900) << L"." << int(creationTime.tm_mon + 1) << L"."
                   << int(creationTime.tm_mday) << L" " << int(creationTime.tm_hour) << L":"
                   << int(creationTime.tm_min) << L":" << int(creationTime.tm_sec);
    } else {
        std::wcout << L"-";
    }
    std::wcout << std::endl;
}

// An unknown type code gets no type text and no line end, so the next
// question or topic continues the same line.
void printAsk(const RM_Ask& ask) {
    std::wcout << L"\tВопрос: " << ask.question << L"; Ответ: " << ask.answer << L"; Баллы: "
               << static_cast<unsigned>(ask.points);
    switch (rvlformat::askType(ask.type)) {
    case rvlformat::AskType::Text:
        std::wcout << L"; Тип: Текст" << std::endl;
        break;
    case rvlformat::AskType::Picture:
        std::wcout << L"; Тип: Картинка(" << ask.mediaSize << L" байт)" << std::endl;
        break;
    case rvlformat::AskType::Audio:
        std::wcout << L"; Тип: Аудио(" << ask.mediaSize << L" байт)" << std::endl;
        break;
    case rvlformat::AskType::Video:
        std::wcout << L"; Тип: Видео(" << ask.mediaSize << L" байт аудио и " << ask.videoSize << L" байт видео)"
                   << std::endl;
        break;
    default:
        break;
    }
}

} // namespace

void printModule() {
    std::wcout << L"Версия: " << rvlformat::kMagic << std::endl;
    printCreationTime();
    std::wcout << L"Автор: " << author << L"; Название пака: " << packName << std::endl;
    for (const RM_Topic& topic : topics) {
        std::wcout << L"Тема <" << topic.name << L">:" << std::endl;
        for (const RM_Ask& ask : topic.asks) printAsk(ask);
    }
    // A trailing unknown-type question leaves its line open; show it now anyway.
    std::wcout.flush();
}

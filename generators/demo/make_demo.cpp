// SPDX-License-Identifier: GPL-3.0-or-later
// Builds the demo module: ten topics with Russian names, text, picture (PNG
// and JPEG), audio and video questions, points from 100 to 65535. Besides the
// module it writes the console text the reader must print for it and a few
// facts the end-to-end test relies on (as shell assignments).
#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <string>

#include "packing/module_writer.h"
#include "generators/demo/demo_console.h"
#include "generators/demo/demo_media.h"

using rvlformat::AskType;
using rvlpack::Question;
using rvlpack::Topic;
using rvlpack::u16;

namespace {

// The test runs the reader three hours east of UTC (TZ=MSK-3).
const long kTestUtcOffset = 3 * 3600;
// 2024-04-05 06:07:08 UTC: single-digit month, day and minute show that the
// listing does not pad its numbers.
const uint32_t kCreated = 1712297228;
const int kVideoFrames = 75;
const double kVideoFps = 25.0;

Question text(const char* q, const char* a, uint16_t points) {
    Question r;
    r.question = u16(q);
    r.answer = u16(a);
    r.points = points;
    return r;
}

Question withMedia(AskType type, const char* q, const char* a, uint16_t points, const Bytes& media,
                   const Bytes& video = {}) {
    Question r = text(q, a, points);
    r.type = rvlformat::typeCode(type);
    r.media = media;
    r.video = video;
    return r;
}

bool writeText(const std::string& path, const std::string& text) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        fprintf(stderr, "fopen(%s) failed\n", path.c_str());
        return false;
    }
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = fclose(f) == 0 && ok;
    if (!ok) fprintf(stderr, "writing %s failed\n", path.c_str());
    return ok;
}

std::string colour(const uint8_t* c) {
    return std::to_string(c[0]) + " " + std::to_string(c[1]) + " " + std::to_string(c[2]);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s DEMO.rvl EXPECTED_CONSOLE.txt FACTS.sh\n", argv[0]);
        return 2;
    }
    std::string modulePath = argv[1];
    if ((IMG_Init(IMG_INIT_PNG | IMG_INIT_JPG) & (IMG_INIT_PNG | IMG_INIT_JPG)) != (IMG_INIT_PNG | IMG_INIT_JPG)) {
        fprintf(stderr, "IMG_Init: %s\n", SDL_GetError());
        return 1;
    }
    Bytes png, jpeg, video;
    bool ok = makePngPicture(png) && makeJpegPicture(jpeg) &&
              makeVideo(kVideoFrames, kVideoFps, modulePath + ".clip.avi", video);
    IMG_Quit();
    if (!ok) return 1;
    Bytes melody = makeMelodyWav();
    Bytes beeps = makeBeepWav(kVideoFrames / kVideoFps);

    rvlpack::Module m;
    m.created = kCreated;
    m.packName = u16("Демонстрационный пак");
    m.author = u16("Команда RVL Reader");
    m.topics = {
        {u16("Разминка"),
         {text("Сколько месяцев в году?", "Двенадцать", 100), text("Столица Франции?", "Париж", 200),
          text("Сколько ног у паука?", "Восемь", 300), text("Какого цвета небо днём?", "Голубого", 400),
          text("Самая длинная река Европы?", "Волга", 500), text("Сколько сторон у шестиугольника?", "Шесть", 600),
          text("Кто написал «Евгения Онегина»?", "Пушкин", 700), text("Самая высокая гора мира?", "Эверест", 800),
          text("Сколько секунд в часе?", "3600", 1000)}},
        {u16("Города"),
         {text("Город на Неве?", "Санкт-Петербург", 150), text("Столица Японии?", "Токио", 250),
          withMedia(AskType::Picture, "Какая фигура в центре?", "Красный круг", 350, png)}},
        {u16("Реки"), {text("Какая река течёт через Каир?", "Нил", 120), text("Приток Волги?", "Ока", 240)}},
        {u16("Числа"),
         {text("Наибольшее число баллов?", "65535", 65535), text("Два в шестнадцатой минус один?", "65535", 4096),
          text("Сколько будет 7×80?", "560", 560)}},
        {u16("Музыка"),
         {withMedia(AskType::Audio, "Что звучит?", "Гамма до мажор", 300, melody), text("Сколько нот в октаве?", "Семь", 200)}},
        {u16("Кино"), {withMedia(AskType::Video, "Сколько фигур в ролике?", "Три", 500, beeps, video)}},
        {u16("Природа"), {withMedia(AskType::Picture, "Что на снимке?", "Закат над морем", 400, jpeg)}},
        {u16("Космос"), {text("Ближайшая к Солнцу планета?", "Меркурий", 777), text("Спутник Земли?", "Луна", 111)}},
        {u16("Спорт"), {}},
        // The end-to-end test scrolls to this last topic and plays every
        // question of it, in this order.
        {u16("Всё сразу"),
         {text("Сколько дней в високосном году?", "366", 100),
          withMedia(AskType::Picture, "Какая фигура в центре картинки?", "Красный круг", 2000, png),
          withMedia(AskType::Picture, "Что изображено на снимке?", "Солнце над морем", 30000, jpeg),
          withMedia(AskType::Audio, "Какая мелодия звучит?", "Гамма до мажор", 400, melody),
          withMedia(AskType::Video, "Сколько кадров в ролике?", "Семьдесят пять", 5000, beeps, video),
          text("Самый большой океан Земли?", "Тихий", 65535)}},
    };

    std::vector<uint8_t> bytes;
    std::string error;
    if (!rvlpack::writeModule(m, bytes, &error) || !rvlpack::writeModuleFile(m, modulePath, &error)) {
        fprintf(stderr, "writing %s: %s\n", modulePath.c_str(), error.c_str());
        return 1;
    }
    std::string console;
    if (!expectedConsole(m, kTestUtcOffset, bytes, console, error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    const Topic& tour = m.topics.back();
    std::string types, points;
    for (const Question& q : tour.questions) {
        types += q.type;
        points += (points.empty() ? "" : " ") + std::to_string(q.points);
    }
    std::string facts = "# Facts about the demo module for the end-to-end test.\n";
    facts += "DEMO_TOPICS=" + std::to_string(m.topics.size()) + "\n";
    facts += "DEMO_TOUR_TYPES=" + types + "\n";
    facts += "DEMO_TOUR_POINTS='" + points + "'\n";
    facts += "DEMO_PNG_CENTRE='" + colour(DemoColours::pngCentre) + "'\n";
    facts += "DEMO_JPEG_CENTRE='" + colour(DemoColours::jpegCentre) + "'\n";
    facts += "DEMO_VIDEO_GROUND='" + colour(DemoColours::videoGround) + "'\n";
    facts += "DEMO_VIDEO_SECONDS=" + std::to_string(kVideoFrames / kVideoFps) + "\n";
    facts += "DEMO_TZ=MSK-3\n";
    if (!writeText(argv[2], console) || !writeText(argv[3], facts)) return 1;
    printf("%s: %zu bytes, %zu topics\n", modulePath.c_str(), bytes.size(), m.topics.size());
    return 0;
}

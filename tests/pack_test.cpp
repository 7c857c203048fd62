// SPDX-License-Identifier: GPL-3.0-or-later
// The pack tool on real manifests and real media: round trips, every error,
// warning and refusal with its message and exit status (run in-process), and
// the program itself for its exit statuses and its all-or-nothing output.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include <nlohmann/json.hpp>

#include "packing/iso_time.h"
#include "packing/manifest.h"
#include "packing/pack_reader.h"
#include "packing/temporary_files.h"
#include "presentation/sound_decode.h"
#include "tests/support/spreadsheets.h"
#include "tests/support/test_support.h"
#include "tools/rvl-pack/pack_tool.h"

using namespace testing_support;
using Json = nlohmann::ordered_json;

namespace {

// The same commands in this process; exitCode is the status they return.
ProcessResult pack(std::vector<std::string> args) {
    args.insert(args.begin(), "rvl-pack");
    char *out = nullptr, *err = nullptr;
    size_t outSize = 0, errSize = 0;
    FILE* outFile = open_memstream(&out, &outSize);
    FILE* errFile = open_memstream(&err, &errSize);
    ProcessResult r;
    r.exitCode = rvlpack::runPackTool(args, outFile, errFile);
    fclose(outFile);
    fclose(errFile);
    r.out.assign(out, outSize);
    r.err.assign(err, errSize);
    free(out);
    free(err);
    return r;
}

std::vector<std::string> linesStarting(const std::string& text, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : lines(text))
        if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
}

// Names in dir and the sums of its files up to 1 MiB: what a failed command
// must leave as it was.
std::string snapshot(const std::string& dir) {
    return runProcess({"/bin/sh", "-c", "cd '" + dir + "' && find . | sort && find . -type f -size -1048576c -exec md5sum {} + | sort"}).out;
}

Json question(const char* type, const std::string& q, const std::string& a, int points) {
    return Json{{"type", type}, {"question", q}, {"answer", a}, {"points", points}};
}

Bytes pngHeader(uint32_t w, uint32_t h) {
    Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (uint32_t v : {w, h}) b.insert(b.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
    b.insert(b.end(), {8, 6, 0, 0, 0, 0, 0, 0, 0});
    return b;
}

void makeLink(const char* target, const std::string& path) { EXPECT_EQ(symlink(target, path.c_str()), 0) << path; }

Bytes firstPart(const Bytes& bytes, double share) { return Bytes(bytes.begin(), bytes.begin() + long(bytes.size() * share)); }

// A clean manifest: nothing in it draws an error or a warning.
Json cleanManifest() {
    return Json::parse(R"({"name": "Пак", "author": "Автор", "created": "2024-05-01T18:30:00+03:00",
        "topics": [{"name": "Всё", "questions": [
            {"type": "text", "question": "Два плюс два?", "answer": "4", "points": 100},
            {"type": "picture", "question": "Что на картинке?", "answer": "Градиент", "points": 200, "media": "media/pic.png"},
            {"type": "audio", "question": "Что звучит?", "answer": "Ля", "points": 300, "media": "media/tone.wav"},
            {"type": "video", "question": "Что в ролике?", "answer": "Квадрат", "points": 400,
             "audio": "media/tone.wav", "video": "media/clip.avi"}]}]})");
}

void writeCleanPack(const ScratchDir& dir, const Json& manifest = cleanManifest()) {
    mkdir(dir.file("media").c_str(), 0755);
    writeFile(dir.file("media/pic.png"), makePng(32, 24));
    writeFile(dir.file("media/tone.wav"), makeWav(0.3));
    writeFile(dir.file("media/clip.avi"), makeClip("avi", "MJPG", 5, 64, 48, 10));
    writeText(dir.file("pack.json"), manifest.dump(2));
}

} // namespace

TEST(PackTool, ProgramExitStatusesAndAllOrNothingOutput) {
    const std::string tool = runDir() + "/rvl-pack";
    auto packProcess = [&](std::vector<std::string> args) {
        args.insert(args.begin(), tool);
        return runProcess(args, {"LC_ALL=C"});  // English, whatever the machine's language
    };
    ScratchDir dir;
    unlink(dir.file("res").c_str());  // the fonts must be found beside the tool
    writeCleanPack(dir);
    ProcessResult clean = packProcess({"build", "pack.json", "-o", "pack.rvl"});
    EXPECT_EQ(clean.exitCode, 0) << clean.err;
    EXPECT_EQ(clean.err, "") << "no finding, and the fonts were found";
    EXPECT_EQ(lines(clean.out), (std::vector<std::string>{"wrote pack.rvl: 1 topic, 4 questions, 16924 bytes",
                                                          "summary: 4 questions (1 text, 1 picture, 1 sound, 1 video)"}));
    EXPECT_EQ(packProcess({"--version"}).out, "rvl-pack 1.0.0\n");
    EXPECT_EQ(packProcess({"check", "pack.rvl"}).exitCode, 0);
    writeText(dir.file("empty.json"), R"({"topics": []})");  // no topics: a warning
    ProcessResult warning = packProcess({"build", "empty.json", "-o", "empty.rvl"});
    EXPECT_EQ(warning.exitCode, 1) << warning.err;
    EXPECT_EQ(packProcess({"make", "pack.json"}).exitCode, 2);
    // Where no audio device opens, a sound the reader refuses is still named for what is wrong with it.
    Json nine = cleanManifest();
    nine["fit"] = "none", nine["topics"][0]["questions"][2]["media"] = "nine.wav";
    writeFile(dir.file("nine.wav"), makeWav(0.1, 8000, 9));
    writeText(dir.file("nine.json"), nine.dump());
    ProcessResult noDevice = runProcess({tool, "build", "nine.json", "-o", "nine.rvl"}, {"ALSOFT_DRIVERS=no-such-driver", "LC_ALL=C"});
    EXPECT_NE(noDevice.err.find("(nine.wav): the sound does not decode (SFML: Failed to load sound buffer (unsupported "
                                "number of channels: 9))"), std::string::npos) << noDevice.err;

#ifndef RVL_SANITIZE  // the sanitizer's shadow memory alone needs more address space than the cap
    // A pack claiming a 1 GB block (a sparse file) unpacked in 600 MB of
    // address space: one line and status 2, not an abort.
    Bytes huge = {'R', 'V', 'L', '1', 0, 0, 0, 0, 0, 0, 1, 0, 1, 'I', 0, 0, 0, 1, 0x3B, 0x9A, 0xCA, 0x00};
    writeFile(dir.file("huge.rvl"), huge);
    ASSERT_EQ(truncate(dir.file("huge.rvl").c_str(), off_t(huge.size()) + 1000000000), 0);
    ProcessResult noMemory = runProcess({"/usr/bin/prlimit", "--as=629145600", tool, "unpack", "huge.rvl", "-o", "huge"}, {"LC_ALL=C"});
    EXPECT_EQ(noMemory.exitCode, 2) << noMemory.err;
    EXPECT_NE(noMemory.err.find("error: out of memory"), std::string::npos) << noMemory.err;
    unlink(dir.file("huge.rvl").c_str());
#endif

    // Writes that fail half-way (file size limit) leave the old pack, an
    // existing empty folder and the directory exactly as they were.
    writeText(dir.file("old.rvl"), "old pack");
    mkdir(dir.file("empty").c_str(), 0755);
    auto before = snapshot(dir.path());
    for (std::vector<std::string> args : {std::vector<std::string>{"build", "pack.json", "-o", "old.rvl"},
                                          std::vector<std::string>{"unpack", "pack.rvl", "-o", "empty"}}) {
        args.insert(args.begin(), {"/usr/bin/prlimit", "--fsize=2048", tool});
        ProcessResult limited = runProcess(args, {"LC_ALL=C"});
        EXPECT_EQ(limited.exitCode, 2) << args[3] << "\n" << limited.err;
        EXPECT_NE(limited.err.find("File too large"), std::string::npos) << limited.err;
        EXPECT_EQ(snapshot(dir.path()), before) << args[3];
    }
}

// Each command takes its own options and lists them in its --help; a wrong
// command line is refused with status 2 before anything is read or written.
TEST(PackTool, CommandLineOfSubcommands) {
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string said;  // the start of a line of stdout (status 0) or stderr
    };
    const std::vector<Row> rows = {
        {{}, 2, "A subcommand is required"},
        {{"make", "pack.json"}, 2, "A subcommand is required"},
        {{"build", "pack.json"}, 2, "-o is required"},
        {{"build", "-o", "p.rvl"}, 2, "INPUT is required"},
        {{"build", "pack.json", "other.json", "-o", "p.rvl"}, 2, "The following argument was not expected: other.json"},
        {{"check", "pack.rvl", "-o", "p.rvl"}, 2, "The following arguments were not expected"},
        {{"unpack", "pack.rvl", "-o", "p", "--res", "res"}, 2, "The following arguments were not expected"},
        {{"build", "pack.json", "-o", "p.rvl", "--csv"}, 2, "The following argument was not expected: --csv"},
        {{"build", "pack.json", "-o", "p.rvl", "--max-size", "6X"}, 2, "error: --max-size needs a size in bytes"},
        {{"build", "pack.json", "-o", "p.rvl", "--max-size", ""}, 2, "error: --max-size needs a size in bytes"},
        {{"build", "pack.json", "-o", "p.rvl", "--author", "A"}, 2, "error: --name, --author and --created go with a build from a table"},
        {{"--help"}, 0, "  check                       Check a pack against"},
        {{"unpack", "--help"}, 0, "  --csv                       Write the questions as DIR/questions.csv"},
        {{"build", "-h"}, 0, "  --max-size SIZE             Raise the 4G limit"},
    };
    ScratchDir dir;
    writeCleanPack(dir);
    for (const Row& row : rows) {
        ProcessResult r = pack(row.args);
        std::string joined;
        for (const std::string& a : row.args) joined += a + " ";
        SCOPED_TRACE(joined + "\n" + r.out + r.err);
        EXPECT_EQ(r.exitCode, row.status);
        EXPECT_FALSE(linesStarting(row.status ? r.err : r.out, row.said).empty());
        EXPECT_FALSE(fileExists(dir.file("p.rvl")) || fileExists(dir.file("p")));
    }
    EXPECT_EQ(pack({"build", "--help"}).out.find("--csv"), std::string::npos) << "unpack's option only";
    EXPECT_EQ(pack({"build", "pack.json", "-o", "p.rvl", "--max-size=1G", "--allow-outside"}).exitCode, 0);
}

// rvl-pack speaks the desktop's language by gettext's rule, findings and
// counts included; CLI11's own parser messages stay English.
TEST(PackTool, MessagesInRussian) {
    const std::vector<std::string> russian = {"LC_ALL=ru_RU.UTF-8", "LANGUAGE="};
    struct Row {
        std::vector<std::string> args, env;
        int status;
        std::string said;  // the start of a line of stdout and stderr together
    };
    const std::vector<Row> rows = {
        {{"build", "pack.json", "-o", "pack.rvl"}, russian, 1, "записан pack.rvl: 2 темы, 4 вопроса, 16936 байт"},
        {{"build", "pack.json", "-o", "pack.rvl"}, russian, 1, "итог: 4 вопроса (1 текстовый, 1 с картинкой, 1 со звуком, 1 с видео)"},
        {{"build", "pack.json", "-o", "pack.rvl"}, russian, 1, "предупреждение: тема 2: в теме нет вопросов; табло покажет её без клеток; добавьте вопросы или удалите тему"},
        {{"build", "pack.json", "-o", "pack.rvl"}, {"LC_ALL=", "LC_MESSAGES=", "LANG=ru_RU.UTF-8", "LANGUAGE="}, 1, "итог: 4 вопроса (1 текстовый, 1 с картинкой, 1 со звуком, 1 с видео)"},
        {{"build", "pack.json", "-o", "pack.rvl"}, {"LC_ALL=C", "LANGUAGE=ru"}, 1, "summary: 4 questions (1 text, 1 picture, 1 sound, 1 video)"},
        {{"check", "zip.rvl"}, russian, 2, "ошибка: zip.rvl: не модуль: в байте 0 он начинается с байтов 50 4B 03 04, а модуль начинается с \"RVL1\"; дайте модуль .rvl, собранный rvl-pack build"},
        {{"check", "pack.rvl"}, russian, 1, "pack.rvl: 2 темы, 4 вопроса, 16936 байт; 1 предупреждение"},
        {{"build", "pack.json", "-o", "p.rvl", "--max-size", "6X"}, russian, 2, "ошибка: --max-size требует размер в байтах или с K, M, G или T (двоичные единицы), например 6G"},
        {{"build", "pack.json"}, russian, 2, "-o is required"},
        {{"build", "q.csv", "-o", "q.rvl"}, russian, 1, "предупреждение: q.csv, строка 3 \"Что 😀?\": текст вопроса: символ, которого нет в шрифте Brush.ttf программы rvl-reader: \"😀\" (U+1F600); на его месте ничего не будет видно; удалите или замените его"},
        {{"build", "bad.csv", "-o", "q.rvl"}, russian, 2, "ошибка: bad.csv, строка 1: в заголовке нет столбца answer (ответ); добавьте его"},
        {{"build", "bad.json", "-o", "q.rvl"}, russian, 2, "ошибка: тема 1, вопрос 1 \"Два плюс два?\": баллы должны быть числом, а здесь текст \"сто\"; запишите целое число от 0 до 65535 цифрами"},
        {{"build", "bad.json", "-o", "q.rvl"}, russian, 2, "ошибка: тема 1, вопрос 2 \"Что на картинке?\" (media): файл \"media\" (картинка) - не обычный файл; укажите файл"},
        {{"build", "bmp.json", "-o", "q.rvl"}, russian, 0, "замечание: тема 1, вопрос 2 \"Что на картинке?\" (media/pic.bmp): картинка преобразована (BMP 8x8, "},
        {{"unpack", "--help"}, russian, 0, "  --csv                       Записать вопросы в DIR/questions.csv, на который ссылается DIR/manifest.json"},
    };
    ScratchDir dir;
    Json m = cleanManifest();
    m["topics"].push_back(Json{{"name", "Пусто"}, {"questions", Json::array()}});
    writeCleanPack(dir, m);
    writeFile(dir.file("zip.rvl"), {'P', 'K', 3, 4, 0, 0});
    writeText(dir.file("q.csv"), "тема,баллы,вопрос,ответ\nВсё,100,Два?,2\nВсё,200,Что 😀?,Да\n");
    writeText(dir.file("bad.csv"), "topic,points,question\nВсё,100,Два?\n");
    m["topics"][0]["questions"][0]["points"] = "сто", m["topics"][0]["questions"][1]["media"] = "media";
    writeText(dir.file("bad.json"), m.dump());
    m = cleanManifest(), m["topics"][0]["questions"][1]["media"] = "media/pic.bmp";
    writeFile(dir.file("media/pic.bmp"), makeBmp(8, 8));
    writeText(dir.file("bmp.json"), m.dump());
    for (const Row& row : rows) {
        std::vector<std::string> args = row.args;
        args.insert(args.begin(), runDir() + "/rvl-pack");
        ProcessResult r = runProcess(args, row.env);
        SCOPED_TRACE(args[1] + " " + row.env[0] + "\n" + r.out + r.err);
        EXPECT_EQ(r.exitCode, row.status);
        EXPECT_FALSE(linesStarting(r.out + r.err, row.said).empty()) << "expected: " << row.said;
    }
}

// An interrupt or a termination ends the tool with the temporary files it
// holds removed (the video copy for the reader's capture, a pack being written).
TEST(PackTool, InterruptRemovesHeldTemporaryFiles) {
    for (int signalNumber : {SIGINT, SIGTERM}) {
        ScratchDir dir;
        ProcessResult r = runInChild([&] {
            rvlpack::removeTemporariesOnSignal();
            mkdir(dir.file("rvl-pack-1").c_str(), 0700);
            rvlpack::holdTemporary(dir.file("rvl-pack-1"));
            rvlpack::holdTemporary(dir.file("rvl-pack-1/videobuffer.bin"));
            writeText(dir.file("rvl-pack-1/videobuffer.bin"), "video");
            raise(signalNumber);
        });
        EXPECT_EQ(r.signal, signalNumber);
        EXPECT_FALSE(fileExists(dir.file("rvl-pack-1"))) << strsignal(signalNumber);
    }
}

TEST(PackTool, RoundTripEveryTypeCyrillicNonBmpAndEmptyMedia) {
    ScratchDir dir;
    Json m = cleanManifest();
    m["name"] = "Пак 🎲";  // a letter outside the BMP: two UTF-16 units
    Json& qs = m["topics"][0]["questions"];
    qs[1]["media"] = "media/../media/pic.png";  // stays inside the folder
    qs.push_back(question("video", "Немое кино 𝄞", "Да", 500));
    qs[4]["audio"] = "media/empty.bin", qs[4]["video"] = "media/clip.avi";
    qs.push_back(question("audio", "Тишина", "", 600));
    qs[5]["media"] = "media/empty.bin";
    m["topics"].push_back(Json{{"name", "Пусто"}, {"questions", Json::array()}});
    writeCleanPack(dir, m);
    writeFile(dir.file("media/empty.bin"), {});

    ProcessResult first = pack({"build", "pack.json", "-o", "first.rvl"});
    EXPECT_EQ(first.exitCode, 1) << "the empty sound, the clef the card's font lacks and the empty topic are "
                                    "warnings, the silent clip is not\n" << first.err;
    EXPECT_EQ(linesStarting(first.err, "warning: ").size(), 3u) << first.err;

    rvlpack::Module module;
    rvlpack::ReadFailure failure;
    ASSERT_TRUE(rvlpack::readModuleFile(dir.file("first.rvl"), module, &failure)) << failure.message;
    EXPECT_EQ(module.packName, (std::wstring{L'П', L'а', L'к', L' ', wchar_t(0xD83C), wchar_t(0xDFB2)}));
    EXPECT_EQ(module.created, 1714577400u) << "18:30 at +03:00 is 15:30 UTC";
    ASSERT_EQ(module.topics.size(), 2u);
    ASSERT_EQ(module.topics[0].questions.size(), 6u);
    EXPECT_EQ(module.topics[0].questions[4].question.substr(11), (std::wstring{wchar_t(0xD834), wchar_t(0xDD1E)}));
    EXPECT_EQ(module.topics[0].questions[1].media, readFile(dir.file("media/pic.png")));
    EXPECT_EQ(module.topics[0].questions[4].video, readFile(dir.file("media/clip.avi")));
    EXPECT_TRUE(module.topics[0].questions[5].media.empty() && module.topics[1].questions.empty());
    // Each file is read once, however many questions name it, and they share its bytes.
    rvlpack::Module loaded;
    std::vector<rvlpack::Finding> issues;
    ASSERT_TRUE(rvlpack::loadManifest(dir.file("pack.json"), loaded, issues));
    const auto& asks = loaded.topics[0].questions;
    EXPECT_TRUE(asks[2].media.copy() == asks[3].media.copy() && asks[3].video.copy() == asks[4].video.copy());

    mkdir(dir.file("out").c_str(), 0755);  // an empty folder may be the target
    ProcessResult unpacked = pack({"unpack", "first.rvl", "-o", "out"});
    ASSERT_EQ(unpacked.exitCode, 0) << unpacked.err;
    pack({"build", "out/manifest.json", "-o", "second.rvl"});
    EXPECT_EQ(readFile(dir.file("second.rvl")), readFile(dir.file("first.rvl")));

    // Bytes UTF-8 cannot carry (unpaired surrogates), an unknown type byte and
    // bytes after the last question still come back unchanged.
    rvlpack::Module odd;
    odd.created = 4294967295u;
    odd.packName = std::wstring{wchar_t(0xD800), L'x', wchar_t(0xDC00)};
    odd.topics.push_back(rvlpack::Topic{L"", {ask('X', 65535)}});
    odd.trailing = {0xDE, 0xAD};
    ASSERT_TRUE(rvlpack::writeModuleFile(odd, dir.file("odd.rvl")));
    const Bytes oddBytes = readFile(dir.file("odd.rvl"));
    EXPECT_EQ(Bytes(oddBytes.end() - 2, oddBytes.end()), odd.trailing) << "the trailing bytes were not written";
    ASSERT_EQ(pack({"unpack", "odd.rvl", "-o", "odd"}).exitCode, 0);
    EXPECT_EQ(pack({"build", "odd/manifest.json", "-o", "odd2.rvl"}).exitCode, 1);
    EXPECT_EQ(readFile(dir.file("odd2.rvl")), readFile(dir.file("odd.rvl")));

    // The worked example of the format, byte for byte.
    writeText(dir.file("tiny.json"), R"({"created": "1970-01-01T00:00:00Z", "topics": [{"name": "A", "questions": [
        {"type": "T", "question": "Q?", "answer": "B", "points": 100}]}]})");
    EXPECT_EQ(pack({"build", "tiny.json", "-o", "tiny.rvl"}).exitCode, 0);
    EXPECT_EQ(readFile(dir.file("tiny.rvl")), exampleModule());
}

// Each row spoils the clean pack and runs a command (build pack.json by
// default). An "error:" message must come with status 2 and the directory
// untouched; a "warning:" one with status 1 as the only warning; none at all
// with status 0.
TEST(PackTool, EachFindingWithItsMessageAndStatus) {
    struct Row {
        const char* name;
        std::function<void(Json&, const ScratchDir&)> spoil;
        std::string message;
        std::vector<std::string> args = {"build", "pack.json", "-o", "pack.rvl"};
    };
    auto q = [](Json& m, int i) -> Json& { return m["topics"][0]["questions"][i]; };
    auto file = [](const char* name, std::vector<uint8_t> bytes) {
        return [=](Json&, const ScratchDir& d) { writeFile(d.file(name), bytes); };
    };
    auto media = [&](int i, const char* key, const char* name, std::vector<uint8_t> bytes) {
        return [=](Json& m, const ScratchDir& d) {
            writeFile(d.file(name), bytes);
            q(m, i)[key] = name;
        };
    };
    auto set = [&](int i, const char* key, Json value) { return [=](Json& m, const ScratchDir&) { q(m, i)[key] = value; }; };
    // Media build would convert, stored as they are so that the check sees them.
    auto kept = [](std::function<void(Json&, const ScratchDir&)> spoil) {
        return [=](Json& m, const ScratchDir& d) { spoil(m, d), m["fit"] = "none"; };
    };
    std::string wide, emoji128;
    for (int k = 0; k < 60; ++k) wide += "Ж";
    for (int i = 0; i < 128; ++i) emoji128 += "😀";
    std::vector<uint8_t> text(31, 'x'), example = exampleModule();
    std::vector<uint8_t> tail = example;
    tail.insert(tail.end(), {1, 2, 3});
    std::vector<Row> rows = {
        // What the format cannot hold, or what is missing.
        {"non-BMP letters count twice", set(0, "answer", emoji128),
         "error: topic 1 question 1 \"Два плюс два?\": the answer is 256 UTF-16 units long, the format holds at most 255"},
        {"256 topics", [](Json& m, const ScratchDir&) { m["topics"] = Json::array(); m["topics"][255] = {{"name", ""}}; },
         "error: manifest: 256 topics, a pack holds at most 255; split it into two packs"},
        {"256 questions", [&](Json& m, const ScratchDir&) { for (int i = 4; i < 256; ++i) q(m, i) = q(m, 0); }, "error: topic 1: 256 questions, a topic holds at most 255"},
        {"points as text", set(0, "points", "100"), "error: topic 1 question 1 \"Два плюс два?\": points must be a number, got the text \"100\""},
        {"media over 4 GiB",
         [&](Json& m, const ScratchDir& d) {
             writeFile(d.file("huge.wav"), {});
             ASSERT_EQ(truncate(d.file("huge.wav").c_str(), 4294967296LL), 0) << "sparse file";
             q(m, 2)["media"] = "huge.wav";
         },
         "error: topic 1 question 3 \"Что звучит?\" (huge.wav): the sound file \"huge.wav\" is 4294967296 bytes, a media block holds at most 4294967295"},
        {"unknown type", set(0, "type", "pictur"), "error: topic 1 question 1 \"Два плюс два?\": unknown type \"pictur\"; use \"text\", \"picture\", \"audio\" or \"video\""},
        {"media on a text question", set(0, "media", "media/pic.png"), "error: topic 1 question 1 \"Два плюс два?\" (media/pic.png): a text question carries no \"media\""},
        {"video without its video", [&](Json& m, const ScratchDir&) { q(m, 3).erase("video"); }, "error: topic 1 question 4 \"Что в ролике?\": \"video\" is missing"},
        {"creation time after 2106", [](Json& m, const ScratchDir&) { m["created"] = "2106-02-07T06:28:16Z"; },
         "error: manifest: \"created\" \"2106-02-07T06:28:16Z\" is not an ISO 8601 time between 1970 and 2106"},
        {"not an object", [](Json& m, const ScratchDir&) { m = Json::array(); }, "error: pack.json: the manifest must be a JSON object"},
        {"bad JSON", file("broken.json", {'{', '"', 'a', '"', ':', '[', '1', ',', ']', '}'}),
         "error: broken.json: bad JSON: parse error at line 1, column 9: syntax error while parsing value", {"build", "broken.json", "-o", "pack.rvl"}},
        {"nested 100000 deep", [](Json&, const ScratchDir& d) { writeText(d.file("deep.json"), "{\"created\":" + std::string(100000, '[') + std::string(100000, ']') + "}"); },
         "error: deep.json: arrays and objects are nested more than 64 levels deep", {"build", "deep.json", "-o", "p.rvl"}},
        {"two million and one values", [](Json&, const ScratchDir& d) {
             std::string zeros;
             for (int i = 0; i < 2000000; ++i) zeros += "0,";
             writeText(d.file("wide.json"), "{\"created\":[" + zeros + "0]}");
         },
         "error: wide.json: the manifest holds more than 2000000 values", {"build", "wide.json", "-o", "p.rvl"}},
        {"a million bad questions, cut at 100 lines, errors before the warning found first",
         [&](Json& m, const ScratchDir&) {
             m["comment"] = "x";
             for (int i = 0; i < 110; ++i) q(m, i) = question("T", "", "", 65536);
         },
         "error: topic 1 question 100: points 65536 do not fit: give a whole number from 0 to 65535\n"
         "and 12 more\nerror: nothing was written to pack.rvl\n"},
        {"two problems in one run",
         [&](Json& m, const ScratchDir& d) {
             q(m, 1)["question"] = "Что это за город на фото 1911 года, и кто там?";
             q(m, 1)["media"] = "nope.png";
             media(2, "media", "media/noise.wav", text)(m, d);
         },
         "error: topic 1 question 2 \"Что это за город на фото 1911 года, и кт…\" (nope.png): the picture file \"nope.png\" cannot be found (looked for "
         "nope.png: No such file or directory); check the path, it is relative to the manifest\nwarning: topic 1 question 3 \"Что звучит?\" "
         "(media/noise.wav): the sound does not decode"},
        // Inputs and outputs that are not what they seem.
        {"manifest missing", nullptr, "error: cannot open absent.json: No such file or directory; give the path of the JSON manifest", {"build", "absent.json", "-o", "a.rvl"}},
        {"manifest is a directory", nullptr, "error: cannot open media: Is a directory", {"build", "media", "-o", "a.rvl"}},
        {"pack is a FIFO", [](Json&, const ScratchDir& d) { mkfifo(d.file("p.rvl").c_str(), 0600); }, "error: cannot open p.rvl: not a regular file", {"check", "p.rvl"}},
        {"output is the manifest", nullptr, "error: -o pack.json names the manifest itself", {"build", "pack.json", "-o", "pack.json"}},
        {"output is a media file", media(2, "media", "tone.wav", makeWav(0.1)),
         "error: topic 1 question 3 \"Что звучит?\" (tone.wav): the sound file \"tone.wav\" is the output pack itself", {"build", "pack.json", "-o", "tone.wav"}},
        {"absolute media path", set(1, "media", "/etc/passwd"), "error: topic 1 question 2 \"Что на картинке?\" (/etc/passwd): the picture file \"/etc/passwd\" lies "
         "outside the manifest's folder; media of a manifest are read only from its folder, so that a manifest from someone else cannot pull "
         "private files into the pack; copy the file beside the manifest, or give --allow-outside if you trust it"},
        {"media path leading out", set(2, "media", "media/../../../../etc/passwd"),
         "error: topic 1 question 3 \"Что звучит?\" (media/../../../../etc/passwd): the sound file \"media/../../../../etc/passwd\" lies outside"},
        {"outside, allowed", [&](Json& m, const ScratchDir& d) { q(m, 1)["media"] = d.file("media/pic.png"); }, "", {"build", "pack.json", "-o", "pack.rvl", "--allow-outside"}},
        {"NUL in a media path", set(1, "media", std::string("media/pic\0.png", 14)),
         "error: topic 1 question 2 \"Что на картинке?\" (media/pic\\x00.png): the picture file \"media/pic\\x00.png\" holds a NUL byte"},
        {"link leading out", [](Json& m, const ScratchDir& d) { makeLink("/etc/passwd", d.file("media/key.png")), m["topics"][0]["questions"][1]["media"] = "media/key.png"; },
         "error: topic 1 question 2 \"Что на картинке?\" (media/key.png): the picture file \"media/key.png\" leads outside the manifest's folder through a symbolic link (to /etc/passwd)"},
        {"linked folder leading out", [](Json& m, const ScratchDir& d) { makeLink("/etc", d.file("etc")), m["topics"][0]["questions"][2]["media"] = "etc/passwd"; },
         "error: topic 1 question 3 \"Что звучит?\" (etc/passwd): the sound file \"etc/passwd\" leads outside the manifest's folder through a symbolic link (to /etc/passwd)"},
        {"link inside", [](Json& m, const ScratchDir& d) { makeLink("pic.png", d.file("media/same.png")), m["topics"][0]["questions"][1]["media"] = "media/same.png"; }, ""},
        {"output is a symbolic link to a file", [](Json&, const ScratchDir& d) { writeText(d.file("old.rvl"), "old"), makeLink("old.rvl", d.file("link.rvl")); },
         "error: -o link.rvl is a symbolic link; the build would replace it", {"build", "pack.json", "-o", "link.rvl"}},
        {"output is a FIFO", [](Json&, const ScratchDir& d) { mkfifo(d.file("fifo").c_str(), 0600); }, "error: -o fifo is not a regular file", {"build", "pack.json", "-o", "fifo"}},
        {"pack over 4 GiB, counted before reading", [&](Json& m, const ScratchDir& d) {
             writeFile(d.file("big.wav"), {});
             ASSERT_EQ(truncate(d.file("big.wav").c_str(), 3LL << 30), 0) << "sparse file";
             q(m, 2)["media"] = q(m, 3)["audio"] = "big.wav";
         }, "error: manifest: the pack would be 6442"},
        {"over --max-size", nullptr, "error: manifest: the pack would be ", {"build", "pack.json", "-o", "pack.rvl", "--max-size", "1K"}},
        {"GIF claiming 65535x65535", media(1, "media", "media/huge.gif", forgedGif()),
         "error: topic 1 question 2 \"Что на картинке?\" (media/huge.gif): the picture cannot be used: its header claims 65535x65535 pixels, more than the 16384 a side"},
        {"BMP claiming 20000x20000", media(1, "media", "media/huge.bmp", forgedBmp()), "error: topic 1 question 2 \"Что на картинке?\" (media/huge.bmp): the picture cannot be used: its header claims 20000x20000 pixels"},
        {"PNG claiming 16384x4097", media(1, "media", "media/huge.png", pngHeader(16384, 4097)), "error: topic 1 question 2 \"Что на картинке?\" (media/huge.png): the picture cannot be used: its header claims 16384x4097 pixels"},
        {"question of 3 MiB", set(0, "question", std::string(3 << 20, 'x')),
         "error: topic 1 question 1 \"" + std::string(40, 'x') + "…\": the question text is 3145728 UTF-16 units long"},
        {"control characters in keys", [&](Json& m, const ScratchDir&) { q(m, 0)["com\x1bment"] = "x"; }, "warning: topic 1 question 1 \"Два плюс два?\": unknown key \"com\\x1Bment\""},
        {"NUL in a question", set(0, "question", std::string("Два\0два", 13)),
         "warning: topic 1 question 1 \"Два\\x00два\": the question text holds the control character U+0000 at unit 4; the reader shows the text only up to it"},
        {"topic without questions", [](Json& m, const ScratchDir&) { m["topics"].push_back({{"name", "Пусто"}}); }, "warning: topic 2: the topic has no questions"},
        {"sound longer than the reader plays", [&](Json& m, const ScratchDir&) { maxSoundSamples = 800, q(m, 3)["audio"] = nullptr; },
         "warning: topic 1 question 3 \"Что звучит?\" (media/tone.wav): the sound lasts 0.3 s, the reader plays only its first 0.1 s and cuts the last 0.2 s"},
        {"unpack --csv of a topic named by a line break", [](Json&, const ScratchDir& d) {
             rvlpack::Module blank;
             blank.topics.push_back(rvlpack::Topic{L" \n", {ask('T', 100)}});
             writeFile(d.file("p.rvl"), moduleBytes(blank));
         }, "error: the questions do not fit a table: a topic's name is only blanks or line breaks", {"unpack", "p.rvl", "-o", "out", "--csv"}},
        {"formula-looking cell on unpack --csv", [](Json&, const ScratchDir& d) {
             rvlpack::Module formula;
             formula.topics.push_back(rvlpack::Topic{L"T", {rvlpack::Question{'T', L"=1+1", L"2", 100, {}, {}}}});
             writeFile(d.file("p.rvl"), moduleBytes(formula));
         }, "warning: questions.csv row 2, column \"question\": the cell starts with \"=\", and a spreadsheet", {"unpack", "p.rvl", "-o", "out", "--csv"}},
        {"unpack into .", file("p.rvl", example), "error: .: names a directory by \".\"", {"unpack", "p.rvl", "-o", "."}},
        {"unpack into a folder with files", file("p.rvl", example), "error: media: exists and is not an empty directory; name a new directory", {"unpack", "p.rvl", "-o", "media"}},
        // A pack from elsewhere (packs cut short are the loader tests' table).
        {"foreign pack", file("p.rvl", {'P', 'K', 3, 4, 0, 0}), "error: p.rvl: not a module: it starts with the bytes 50 4B 03 04 at byte 0", {"unpack", "p.rvl", "-o", "out"}},
        // What the reader will show badly.
        {"picture not PNG or JPEG", kept(media(1, "media", "media/pic.tif", {'I', 'I', '*', 0, 8, 0, 0, 0, 2, 0, 0, 1, 3, 0, 1, 0, 0, 0, 8, 0, 0, 0,
                                                                           1, 1, 3, 0, 1, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0})),
         "warning: topic 1 question 2 \"Что на картинке?\" (media/pic.tif): the picture is a TIFF file, the reader shows PNG and JPEG only; convert it to PNG or JPEG"},
        {"JPEG cut short", kept(media(1, "media", "media/cut.jpg", firstPart(encodePicture(patternSurface(64, 48), "jpg"), 0.75))),
         "warning: topic 1 question 2 \"Что на картинке?\" (media/cut.jpg): the JPEG picture is cut short (it has no end marker)"},
        {"AVI cut short", media(3, "video", "media/cut.avi", firstPart(makeClip("avi", "MJPG", 50, 64, 48, 10), 0.5)),
         "warning: topic 1 question 4 \"Что в ролике?\" (media/cut.avi): the video file is cut short: its pictures end at "},
        {"picture larger than the window", kept(media(1, "media", "media/big.png", makePng(1025, 10))),
         "warning: topic 1 question 2 \"Что на картинке?\" (media/big.png): the picture is 1025x10 pixels, larger than the 1024x768 window"},
        {"sound track that does not decode", media(3, "audio", "media/noise.wav", text),
         "warning: topic 1 question 4 \"Что в ролике?\" (media/clip.avi): the sound track \"media/noise.wav\" does not decode"},
        {"video that does not open", media(3, "video", "media/noise.avi", text),
         "warning: topic 1 question 4 \"Что в ролике?\" (media/noise.avi): the video does not open in OpenCV; the reader will show no picture"},
        {"question wider than the window", set(0, "question", wide), "warning: topic 1 question 1 \"" + wide.substr(0, 80) + "…\": the question text is 2580 "
         "pixels wide on the question card, the window is 1024; it will be cut off at both ends; shorten it to 23 characters or fewer"},
        {"character the card's font lacks", set(0, "question", "Что это 😀?"), "warning: topic 1 question 1 \"Что это 😀?\": the question text holds a character "
         "the reader's font Brush.ttf cannot draw: \"😀\" (U+1F600)"},
        {"answer wider than the window", set(0, "answer", wide), "warning: topic 1 question 1 \"Два плюс два?\": the answer line (\"Ответ: \" and the answer) is "},
        {"topic name wider than its row", [](Json& m, const ScratchDir&) { m["topics"][0]["name"] = "Очень длинное название темы"; }, "warning: topic 1: the topic name is "},
        {"21 questions", [&](Json& m, const ScratchDir&) { for (int i = 4; i < 21; ++i) q(m, i) = q(m, 0); }, "warning: topic 1: 21 questions, the board shows 20 at a time"},
        {"unknown type byte", set(0, "type", 88), "warning: topic 1 question 1 \"Два плюс два?\": type byte 88 ('X') is not a known type"},
        {"no topics", [](Json& m, const ScratchDir&) { m["topics"] = Json::array(); }, "warning: the pack has no topics; the reader will show an empty board"},
        {"unknown key", set(0, "comment", "x"), "warning: topic 1 question 1 \"Два плюс два?\": unknown key \"comment\" is ignored"},
        {"bytes after the last question", file("p.rvl", tail), "warning: 3 bytes follow the last question and the reader ignores them", {"check", "p.rvl"}},
        {"fonts not where --res says", nullptr, "note: no Brush.ttf and FuturaC.ttf in /nonexistent; the text checks were skipped",
         {"build", "pack.json", "-o", "pack.rvl", "--res", "/nonexistent"}},
    };
    const uint64_t savedMaxSoundSamples = maxSoundSamples;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        Json m = cleanManifest();
        writeCleanPack(dir);
        if (row.spoil) row.spoil(m, dir);
        writeText(dir.file("pack.json"), m.dump(2));
        auto before = snapshot(dir.path());
        ProcessResult r = pack(row.args);
        maxSoundSamples = savedMaxSoundSamples;
        const std::string kind = row.message.substr(0, row.message.find(':'));
        EXPECT_EQ(r.exitCode, kind == "error" ? 2 : kind == "warning" ? 1 : 0) << r.err;
        if (kind == "error") {
            EXPECT_EQ(snapshot(dir.path()), before) << "a failed command changes nothing";
        }
        if (kind == "warning") {
            EXPECT_EQ(linesStarting(r.err, "warning: ").size(), 1u) << r.err;
        }
        if (row.message.empty()) {
            EXPECT_EQ(r.err, "") << "a row without a message says nothing";
        } else {
            EXPECT_NE(r.err.find(row.message), std::string::npos) << "expected: " << row.message << "\nactual: " << r.err;
        }
    }
}

static std::string repeated(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) all += text;
    return all;
}

// Questions tables as spreadsheets export them build the same bytes as the
// manifest they stand for, and so do the table and manifest unpack --csv
// writes. A bad table gets every bad cell named by row and column, and no pack.
TEST(PackTool, QuestionsTablesAsSpreadsheetsExportThem) {
    ScratchDir dir;
    Json m = cleanManifest();
    m["topics"][0]["questions"][0]["question"] = "Два плюс\nдва?";
    m["topics"].push_back({{"name", "Ещё"}, {"questions", {question("text", "Он сказал \"да\", а потом?", "Нет", 500)}}});
    m["topics"].push_back({{"name", "Пусто"}, {"questions", Json::array()}});
    writeCleanPack(dir, m);
    // The line break draws a warning: the reader shows none.
    ASSERT_EQ(pack({"build", "pack.json", "-o", "ref.rvl"}).exitCode, 1);
    ASSERT_EQ(pack({"unpack", "ref.rvl", "-o", "out", "--csv"}).exitCode, 0);
    // The rows of m, types partly left to the files; '|' stands for the separator, '~' for a row's end.
    auto table = [](std::string header, char separator, const std::string& end) {
        std::string text = header + "~Всё|100|\"Два плюс\nдва?\"|4|||~Ещё|500|\"Он сказал \"\"да\"\", а потом?\"|Нет|||~"
                           "Всё|200|Что на картинке?|Градиент|картинка|media/pic.png|~Всё|300|Что звучит?|Ля||media/tone.wav|~"
                           "Всё|400|Что в ролике?|Квадрат|video|media/clip.avi|media/tone.wav~Пусто||||||", out;
        for (char c : text) out += c == '|' ? std::string(1, separator) : c == '~' ? end : std::string(1, c);
        return out;
    };
    struct Row {
        const char* name;
        std::string csv;  // written as the input file args[1] names
        std::vector<std::string> args, messages;
    };
    const std::vector<std::string> build = {"build", "q.csv", "-o", "t.rvl", "--name", "Пак", "--author", "Автор",
                                            "--created", "2024-05-01T18:30:00+03:00"};
    auto from = [&](const std::string& input) {
        std::vector<std::string> args = build;
        args[1] = input;
        return args;
    };
    // The same table as a host's spreadsheet: Russian headers, topic cells
    // merged, a number as text, a formula, repeated empty cells; then saved
    // by a spreadsheet program.
    const std::vector<std::vector<std::string>> grid = {
        {"Тема", "Баллы", "Вопрос", "Ответ", "Тип", "Звук", "Файл"},
        {"Всё", "100", "Два плюс\nдва?", "#4", "", "", ""},
        {"", "=2*100|200", "Что на картинке?", "Градиент", "картинка", "", "media/pic.png"},
        {"", "#300", "Что звучит?", "Ля", "", "", "media/tone.wav"},
        {"", "#400", "Что в ролике?", "Квадрат", "video", "media/tone.wav", "media/clip.avi"},
        {"Ещё", "#500", "Он сказал \"да\", а потом?", "Нет"},
        {"Пусто", "", "", "", "", "", ""}};
    auto text = [](const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); };
    std::vector<std::vector<std::string>> fractionAndDate = {{"topic", "points", "question", "answer", "media"},
                                                             {"A", "#100.5", "Q", "A", "@45413|2024-05-01"}};
    std::vector<std::vector<std::string>> over(300, {"A", "#1", "Q", "Q"}), tooLong(70000, {"A", "#1", "Q", "Q"});
    over.insert(over.begin(), {"topic", "points", "question", "answer"});
    tooLong.insert(tooLong.begin(), over[0]);
    auto big = sheetParts(false, over);
    big.back().second = std::string(65 << 20, ' ');
    writeText(dir.file("real.csv"), table("topic|points|question|answer|type|media|audio", ',', "\n"));
    for (const char* saved : {"real.xlsx", "real.ods"})
        ASSERT_EQ(runProcess({"/usr/bin/ssconvert", dir.file("real.csv"), dir.file(saved)}).exitCode, 0) << saved;
    std::vector<std::string> unpacked = from("out/questions.csv");
    const std::vector<Row> rows = {
        {"comma", table("topic|points|question|answer|type|media|audio", ',', "\n"), build, {}},
        {"semicolon, BOM, Russian", table("\xEF\xBB\xBFТема|Баллы|Вопрос|Ответ|Тип|Файл|Звук", ';', "\r\n"), build, {}},
        {"tab", table(" TOPIC |Points|question|answer|type|media|audio", '\t', "\r\n"), build, {}},
        {"the table unpack --csv wrote", "", unpacked, {}},
        {"the manifest unpack --csv wrote", "", {"build", "out/manifest.json", "-o", "t.rvl"}, {}},
        {"bad cells", "topic,points,question,answer,media\nВсё,сто,Q,A,\n\nВсё,100,Q,A,nope.png\n", build,
         {"error: q.csv row 2 \"Q\", column \"points\": points must be a number, got the text \"сто\"",
          "error: q.csv row 4 \"Q\" (nope.png), column \"media\": the picture file \"nope.png\" cannot be found"}},
        {"Windows code page", "topic,points,question,answer\n\xC2\xF1\xB8,100,Q,A\n", build,
         {"error: q.csv row 2, column 1: the table is not UTF-8 text"}},
        {"too wide", "topic,points,question,answer\nA,1,Q,A\nB,1,Q,A\nB,1," + std::string(120, 'W') + ",A\n", build,
         {"warning: q.csv row 4 \"WWW", "summary: 3 questions (3 text); 1 question is too wide for the card and will be cut"}},
        {"a cell of 3 MiB", "topic,points,question,answer\nA,1," + std::string(3 << 20, 'x') + ",A\n", build,
         {"error: q.csv row 2, column \"question\": the cell holds 3145728 bytes, more than 255 characters"}},
        {"300 questions in a topic", "topic,points,question,answer\n" + repeated("A,1,Q,A\n", 300), build,
         {"error: q.csv row 257: the topic \"A\" has 300 questions, a topic holds at most 255 (45 too many)"}},
        {"rows with the other separator", "topic;points;question;answer\nA,1,Q,A\n", build,
         {"warning: q.csv row 2: the row is one cell holding \",\", while the header is separated by \";\""}},
        {"blank lines before the header", "\n\ntopic,points,question,answer\nA,сто,Q,A\n", build,
         {"error: q.csv row 4 \"Q\", column \"points\": points must be a number"}},
        {"UTF-16 without a BOM", std::string("t\0o\0p\0i\0c\0\n\0", 12), build,
         {"error: q.csv: the table is UTF-16 text; save it as .xlsx or .ods, or as CSV in UTF-8: in LibreOffice, "
          "\"Character set: Unicode (UTF-8)\" in the CSV dialog; in Excel, \"CSV UTF-8\"; in Google Sheets, download as CSV"}},
        {".xlsx written here", text(spreadsheet(false, grid)), from("q.xlsx"), {}},
        {".ods written here", text(spreadsheet(true, grid)), from("q.ods"), {}},
        {".xlsx saved by ssconvert", "", from("real.xlsx"), {}},
        {".ods saved by ssconvert", "", from("real.ods"), {}},
        {"fraction points and a date", text(spreadsheet(false, fractionAndDate)), from("q.xlsx"),
         {"error: q.xlsx row 2 \"Q\", column \"points\": points must be a whole number, got 100.5",
          "error: q.xlsx row 2, column \"media\": cannot tell the question type from the file name \"2024-05-01\""}},
        {"300 questions as one repeated row", text(spreadsheet(true, over)), from("q.ods"),
         {"error: q.ods row 257: the topic \"A\" has 300 questions, a topic holds at most 255 (45 too many)"}},
        {"70000 rows", text(spreadsheet(true, tooLong)), from("q.ods"),
         {"error: q.ods: the file cannot be read as an .ods spreadsheet: the sheet has cells in row 65537, a "
          "questions table has at most 65536 rows"}},
        {"a sheet of 65 MiB", text(zipped(big)), from("q.xlsx"),
         {"error: q.xlsx: the file cannot be read as an .xlsx workbook: xl/worksheets/sheet1.xml unpacks to 68157440 "
          "bytes, more than the 64 MB"}},
        {"a title above the header", "Вопросы на вечер,,,\n\ntopic,points,question,answer\nA,сто,Q,A\n", build,
         {"error: q.csv row 4 \"Q\", column \"points\"", "note: q.csv row 3: the header is taken from this row"}},
        {"paths as a host types them", "topic,points,question,answer,media\nA,1,Q,A,media\\pic.png\nA,2,Q,A," + dir.path() +
         "/media/pic.png\nA,3,Q,A,media/PIC.PNG\nA,4,Q,A,..\\..\\x.png\n", build,
         {"error: q.csv row 4 \"Q\" (media/PIC.PNG), column \"media\": the picture file \"media/PIC.PNG\" "
          "cannot be found (looked for media/PIC.PNG: No such file or directory); did you mean pic.png?",
          "error: q.csv row 5 \"Q\" (..\\..\\x.png), column \"media\": the picture file \"..\\..\\x.png\" lies outside", "!row 2", "!row 3"}},
        {"Russian fit words", "тема,баллы,вопрос,ответ,кадр\nA,1,Q,A,как есть\nA,2,Q,A,растянуть\nA,3,Q,A,поля\nA,4,Q,A,вширь\n", build,
         {"error: q.csv row 5 \"Q\", column \"кадр\": \"fit\" \"вширь\" is not known", "!row 2", "!row 3", "!row 4"}},
        {"old binary workbook", "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", from("q.xls"),
         {"error: q.xls: the file is an old binary Excel workbook (.xls); save it as .xlsx, .ods or CSV UTF-8"}},
        {"control character in a header", "topic,points,question,answer,no\x01te\nA,1,Q,A,\n", build,
         {"warning: q.csv row 1, column \"no\\x01te\": unknown column is ignored"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (!row.csv.empty()) writeText(dir.file(row.args[1]), row.csv);
        unlink(dir.file("t.rvl").c_str());
        ProcessResult r = pack(row.args);
        bool failed = !row.messages.empty() && row.messages[0].rfind("error", 0) == 0;
        EXPECT_EQ(r.exitCode, failed ? 2 : 1) << r.err;
        EXPECT_EQ(fileExists(dir.file("t.rvl")), !failed);
        EXPECT_TRUE(!row.messages.empty() || readFile(dir.file("t.rvl")) == readFile(dir.file("ref.rvl")));
        for (const std::string& message : row.messages)  // "!..." must not be said
            EXPECT_EQ((r.err + r.out).find(message.substr(message[0] == '!')) == std::string::npos, message[0] == '!')
                << "expected: " << message << "\nactual: " << r.err;
    }
}

// Every form a creation time may take, each read and formatted back, and the
// times the format cannot hold or that do not exist, refused (-1).
TEST(PackManifest, CreationTimesInIso8601) {
    const int64_t may = 1714577400;  // 2024-05-01 15:30 UTC
    const std::pair<const char*, int64_t> rows[] = {
        {"2024-05-01T15:30:00Z", may}, {"2024-05-01T15:30Z", may}, {"2024-05-01 15:30:00Z", may},
        {"2024-05-01T18:30:00+03:00", may}, {"2024-05-01T18:30:00+0300", may}, {"2024-05-01T13:30:00-02", may},
        {"1970-01-01T00:00:00Z", 0}, {"2106-02-07T06:28:15Z", 4294967295}, {"2024-02-29T00:00:00Z", 1709164800},
        {"1969-12-31T23:59:59Z", -1}, {"2106-02-07T06:28:16Z", -1}, {"2023-02-29T00:00:00Z", -1},
        {"2024-05-01T24:00:00Z", -1}, {"2024-05-01T10:00:00+3", -1}, {"2024-5-1", -1}, {"2024-05-01X", -1}, {"", -1},
    };
    for (const auto& [text, expected] : rows) {
        uint32_t seconds = 0, back = 0;
        const int64_t read = rvlpack::parseIsoTime(text, seconds) ? int64_t(seconds) : -1;
        const std::string formatted = rvlpack::formatIsoTime(seconds);
        EXPECT_TRUE(read == expected && rvlpack::parseIsoTime(formatted, back) && back == seconds)
            << text << ": expected " << expected << ", read " << read << ", formatted back " << formatted;
    }
}

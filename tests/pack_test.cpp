// The pack tool run as a process on real manifests and real media: round
// trips, every hard error and every warning with its message and exit
// status, and no output left behind by a failed build or unpack.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "module/loader.h"
#include "module/records.h"
#include "packing/manifest.h"
#include "packing/pack_check.h"
#include "packing/module_writer.h"
#include "packing/pack_reader.h"
#include "tests/support/test_support.h"

using namespace testing_support;
using Json = nlohmann::ordered_json;

namespace {

std::string tool() { return runDir() + "/rvl-pack"; }

ProcessResult pack(std::vector<std::string> args) {
    args.insert(args.begin(), tool());
    return runProcess(args);
}

void writeJson(const std::string& path, const Json& json) { writeText(path, json.dump(2)); }

std::vector<std::string> linesStarting(const std::string& text, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : lines(text))
        if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
}

// Names in dir, for "nothing was left behind" checks.
std::vector<std::string> listDir(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

Json question(const char* type, const std::string& q, const std::string& a, int points) {
    return Json{{"type", type}, {"question", q}, {"answer", a}, {"points", points}};
}

// A clean manifest: nothing in it draws an error or a warning.
Json cleanManifest() {
    Json pic = question("picture", "Что на картинке?", "Градиент", 200);
    pic["media"] = "media/pic.png";
    Json snd = question("audio", "Что звучит?", "Ля", 300);
    snd["media"] = "media/tone.wav";
    Json vid = question("video", "Что в ролике?", "Квадрат", 400);
    vid["audio"] = "media/tone.wav";
    vid["video"] = "media/clip.avi";
    return Json{{"name", "Пак"},
                {"author", "Автор"},
                {"created", "2024-05-01T18:30:00+03:00"},
                {"topics", Json::array({Json{{"name", "Всё"},
                                             {"questions", Json::array({question("text", "Два плюс два?", "4", 100),
                                                                        pic, snd, vid})}}})}};
}

void writeCleanMedia(const ScratchDir& dir) {
    mkdir(dir.file("media").c_str(), 0755);
    writeFile(dir.file("media/pic.png"), makePng(32, 24));
    writeFile(dir.file("media/tone.wav"), makeWav(0.3));
    writeFile(dir.file("media/clip.avi"), makeClip("avi", "MJPG", 5, 64, 48, 10));
}

// One change to the clean manifest (and its media) and the message it must draw.
struct SpoilRow {
    const char* name;
    std::function<void(Json&, const ScratchDir&)> spoil;
    std::string message;
};

// The clean media, and the clean manifest with the row's change, as pack.json.
void writeSpoiledPack(const ScratchDir& dir, const SpoilRow& row) {
    writeCleanMedia(dir);
    Json m = cleanManifest();
    row.spoil(m, dir);
    writeJson(dir.file("pack.json"), m);
}

std::vector<uint8_t> example26() {
    std::vector<uint8_t> b = {'R', 'V', 'L', '1', 0, 0, 0, 0, 0, 0, 1, 1, 0, 0x41, 1,
                              0x54, 2, 0, 0x51, 0, 0x3F, 1, 0, 0x42, 0, 0x64};
    return b;
}

} // namespace

TEST(PackTool, CleanPackBuildsAndChecksWithoutFindings) {
    ScratchDir dir;
    writeCleanMedia(dir);
    ASSERT_FALSE(readFile(dir.file("media/clip.avi")).empty()) << "OpenCV wrote no MJPEG AVI";
    writeJson(dir.file("pack.json"), cleanManifest());

    ProcessResult built = pack({"build", "pack.json", "-o", "pack.rvl"});
    EXPECT_EQ(built.exitCode, 0) << built.err;
    EXPECT_EQ(built.err, "");
    EXPECT_NE(built.out.find("wrote pack.rvl: 1 topic, 4 questions"), std::string::npos) << built.out;

    ProcessResult checked = pack({"check", "pack.rvl"});
    EXPECT_EQ(checked.exitCode, 0) << checked.err;
    EXPECT_EQ(checked.err, "");

    // The reader's own loader accepts what the tool wrote.
    unloadModule();
    testing::internal::CaptureStdout();
    bool loaded = loadModule(L"pack.rvl");
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(loaded);
    using namespace Ravlin::RM_Reader;
    ASSERT_EQ(topics.size(), 1u);
    ASSERT_EQ(topics[0].asks.size(), 4u);
    const char types[] = {'T', 'I', 'A', 'V'};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(topics[0].asks[i].type, types[i]) << "question " << i + 1;
    EXPECT_EQ(topics[0].asks[1].mediaSize, readFile(dir.file("media/pic.png")).size());
    EXPECT_EQ(topics[0].asks[3].videoSize, readFile(dir.file("media/clip.avi")).size());
    EXPECT_EQ(packName, L"Пак");
    unloadModule();

    // The worked example of the format, byte for byte.
    writeJson(dir.file("tiny.json"),
              Json{{"name", ""},
                   {"author", ""},
                   {"created", "1970-01-01T00:00:00Z"},
                   {"topics", Json::array({Json{{"name", "A"}, {"questions", Json::array({question("T", "Q?", "B", 100)})}}})}});
    ProcessResult tiny = pack({"build", "tiny.json", "-o", "tiny.rvl"});
    EXPECT_EQ(tiny.exitCode, 0) << tiny.err;
    EXPECT_EQ(readFile(dir.file("tiny.rvl")), example26());
}

TEST(PackTool, RoundTripEveryTypeCyrillicNonBmpAndEmptyMedia) {
    ScratchDir dir;
    writeCleanMedia(dir);
    writeFile(dir.file("media/empty.bin"), {});
    Json m = cleanManifest();
    m["name"] = "Пак 🎲";  // a letter outside the BMP: two UTF-16 units
    Json& qs = m["topics"][0]["questions"];
    Json silentClip = question("video", "Немое кино 𝄞", "Да", 500);
    silentClip["audio"] = "media/empty.bin";
    silentClip["video"] = "media/clip.avi";
    Json emptySound = question("audio", "Тишина", "", 600);
    emptySound["media"] = "media/empty.bin";
    qs.push_back(silentClip);
    qs.push_back(emptySound);
    m["topics"].push_back(Json{{"name", "Пусто"}, {"questions", Json::array()}});
    writeJson(dir.file("pack.json"), m);

    ProcessResult first = pack({"build", "pack.json", "-o", "first.rvl"});
    EXPECT_EQ(first.exitCode, 1) << "the two empty sounds are warnings\n" << first.err;
    EXPECT_EQ(linesStarting(first.err, "warning: ").size(), 2u) << first.err;

    rvlpack::Module module;
    rvlpack::ReadFailure failure;
    ASSERT_TRUE(rvlpack::readModuleFile(dir.file("first.rvl"), module, &failure)) << failure.message;
    EXPECT_EQ(module.packName, (std::wstring{L'П', L'а', L'к', L' ', wchar_t(0xD83C), wchar_t(0xDFB2)}));
    EXPECT_EQ(module.created, 1714577400u) << "18:30 at +03:00 is 15:30 UTC";
    ASSERT_EQ(module.topics.size(), 2u);
    ASSERT_EQ(module.topics[0].questions.size(), 6u);
    EXPECT_EQ(module.topics[0].questions[4].question.substr(11), (std::wstring{wchar_t(0xD834), wchar_t(0xDD1E)}));
    EXPECT_TRUE(module.topics[0].questions[4].media.empty());
    EXPECT_EQ(module.topics[0].questions[4].video, readFile(dir.file("media/clip.avi")));
    EXPECT_TRUE(module.topics[0].questions[5].media.empty());
    EXPECT_TRUE(module.topics[1].questions.empty());

    ProcessResult unpacked = pack({"unpack", "first.rvl", "-o", "out"});
    ASSERT_EQ(unpacked.exitCode, 0) << unpacked.err;
    std::vector<std::string> expectedMedia = {"t01q02.png",        "t01q03.wav",       "t01q04-sound.wav",
                                              "t01q04-video.avi",  "t01q05-sound.bin", "t01q05-video.avi",
                                              "t01q06.bin"};
    EXPECT_EQ(listDir(dir.file("out/media")), expectedMedia);
    ProcessResult second = pack({"build", "out/manifest.json", "-o", "second.rvl"});
    EXPECT_EQ(second.exitCode, 1) << second.err;
    EXPECT_EQ(readFile(dir.file("second.rvl")), readFile(dir.file("first.rvl")));

    // Bytes UTF-8 cannot carry (unpaired surrogates), an unknown type byte and
    // bytes after the last question still come back unchanged.
    rvlpack::Module odd;
    odd.created = 4294967295u;
    odd.packName = std::wstring{wchar_t(0xD800), L'x', wchar_t(0xDC00)};
    rvlpack::Question raw;
    raw.type = 'X';
    raw.question = L"Ж";
    raw.points = 65535;
    odd.topics.push_back(rvlpack::Topic{L"", {raw}});
    odd.trailing = {0xDE, 0xAD};
    ASSERT_TRUE(rvlpack::writeModuleFile(odd, dir.file("odd.rvl")));
    ProcessResult oddOut = pack({"unpack", "odd.rvl", "-o", "odd"});
    ASSERT_EQ(oddOut.exitCode, 0) << oddOut.err;
    ProcessResult oddBack = pack({"build", "odd/manifest.json", "-o", "odd2.rvl"});
    EXPECT_EQ(oddBack.exitCode, 1) << "unknown type and trailing bytes warn\n" << oddBack.err;
    EXPECT_EQ(readFile(dir.file("odd2.rvl")), readFile(dir.file("odd.rvl")));
}

TEST(PackTool, HardErrorsStopTheBuildAndWriteNothing) {
    using Row = SpoilRow;
    std::string emoji128;
    for (int i = 0; i < 128; ++i) emoji128 += "😀";
    auto q0 = [](Json& m) -> Json& { return m["topics"][0]["questions"][0]; };
    std::vector<Row> rows = {
        {"text over 255 units", [&](Json& m, const ScratchDir&) { q0(m)["question"] = std::string(256, 'a'); },
         "error: topic 1 question 1: the question text is 256 UTF-16 units long, the format holds at most 255"},
        {"non-BMP letters count twice", [&](Json& m, const ScratchDir&) { q0(m)["answer"] = emoji128; },
         "error: topic 1 question 1: the answer is 256 UTF-16 units long"},
        {"topic name over 255", [](Json& m, const ScratchDir&) { m["topics"][0]["name"] = std::string(300, 'n'); },
         "error: topic 1: the topic name is 300 UTF-16 units long"},
        {"256 topics",
         [](Json& m, const ScratchDir&) {
             for (int i = 0; i < 255; ++i) m["topics"].push_back(Json{{"name", "t"}});
         },
         "error: manifest: 256 topics, a pack holds at most 255; split it into two packs"},
        {"256 questions",
         [&](Json& m, const ScratchDir&) {
             for (int i = 0; i < 252; ++i) m["topics"][0]["questions"].push_back(q0(m));
         },
         "error: topic 1: 256 questions, a topic holds at most 255"},
        {"points over 65535", [&](Json& m, const ScratchDir&) { q0(m)["points"] = 65536; },
         "error: topic 1 question 1: points 65536 do not fit: give a whole number from 0 to 65535"},
        {"negative points", [&](Json& m, const ScratchDir&) { q0(m)["points"] = -5; },
         "error: topic 1 question 1: points -5 do not fit"},
        {"missing media file", [](Json& m, const ScratchDir&) { m["topics"][0]["questions"][1]["media"] = "nope.png"; },
         "error: topic 1 question 2: the picture file \"nope.png\" cannot be found"},
        {"media over 4 GiB",
         [](Json& m, const ScratchDir& dir) {
             FILE* f = fopen(dir.file("huge.wav").c_str(), "wb");
             fclose(f);
             ASSERT_EQ(truncate(dir.file("huge.wav").c_str(), 4294967296LL), 0) << "sparse file";
             m["topics"][0]["questions"][2]["media"] = "huge.wav";
         },
         "error: topic 1 question 3: the sound file \"huge.wav\" is 4294967296 bytes, a media block holds at most "
         "4294967295"},
        {"unknown type", [&](Json& m, const ScratchDir&) { q0(m)["type"] = "pictur"; },
         "error: topic 1 question 1: unknown type \"pictur\"; use \"text\", \"picture\", \"audio\" or \"video\""},
        {"media on a text question", [&](Json& m, const ScratchDir&) { q0(m)["media"] = "media/pic.png"; },
         "error: topic 1 question 1: a text question carries no \"media\""},
        {"picture without media", [](Json& m, const ScratchDir&) { m["topics"][0]["questions"][1].erase("media"); },
         "error: topic 1 question 2: \"media\" is missing"},
        {"video without its video", [](Json& m, const ScratchDir&) { m["topics"][0]["questions"][3].erase("video"); },
         "error: topic 1 question 4: \"video\" is missing"},
        {"missing answer", [&](Json& m, const ScratchDir&) { q0(m).erase("answer"); },
         "error: topic 1 question 1: \"answer\" is missing"},
        {"bad creation time", [](Json& m, const ScratchDir&) { m["created"] = "2024-02-30T10:00:00Z"; },
         "error: manifest: \"created\" \"2024-02-30T10:00:00Z\" is not an ISO 8601 time"},
        {"creation time after 2106", [](Json& m, const ScratchDir&) { m["created"] = "2106-02-07T06:28:16Z"; },
         "is not an ISO 8601 time between 1970 and 2106"},
        {"not an object", [](Json& m, const ScratchDir&) { m = Json::array(); },
         "error: pack.json: the manifest must be a JSON object"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        writeSpoiledPack(dir, row);
        std::vector<std::string> before = listDir(dir.path());
        ProcessResult r = pack({"build", "pack.json", "-o", "pack.rvl"});
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_NE(r.err.find(row.message), std::string::npos) << "expected: " << row.message << "\nactual: " << r.err;
        EXPECT_NE(r.err.find("error: nothing was written to pack.rvl"), std::string::npos) << r.err;
        EXPECT_EQ(listDir(dir.path()), before) << "a failed build leaves no file";
    }
}

TEST(PackTool, BadPathsAndBadJsonGiveClearErrorsAndNoOutput) {
    ScratchDir dir;
    writeCleanMedia(dir);
    writeText(dir.file("broken.json"), "{\n  \"name\": \"Пак\",\n  \"topics\": [1,]\n}\n");
    writeText(dir.file("old.rvl"), "old pack");
    writeJson(dir.file("pack.json"), cleanManifest());
    struct Row {
        const char* name;
        std::vector<std::string> args;
        std::string message;
        std::string output;  // must not appear, or keep its old content
    };
    std::vector<Row> rows = {
        {"manifest missing", {"build", "absent.json", "-o", "a.rvl"},
         "error: cannot open absent.json: No such file or directory; give the path of the JSON manifest", "a.rvl"},
        {"manifest is a directory", {"build", "media", "-o", "a.rvl"}, "error: cannot open media: Is a directory", "a.rvl"},
        {"bad JSON", {"build", "broken.json", "-o", "old.rvl"},
         "error: broken.json: bad JSON: parse error at line 3, column 16: syntax error while parsing value", "old.rvl"},
        {"output directory missing", {"build", "pack.json", "-o", "no/such/dir/a.rvl"},
         "error: cannot create no/such/dir/a.rvl: No such file or directory", "no/such/dir/a.rvl"},
        {"pack missing", {"check", "absent.rvl"}, "error: cannot open absent.rvl: No such file or directory", ""},
        {"unpack of a file that is no pack", {"unpack", "old.rvl", "-o", "media"},
         "error: old.rvl: not a module", ""},
        {"no output", {"build", "pack.json"}, "error: build needs -o PACK.rvl", ""},
        {"unknown command", {"make", "pack.json"}, "error: unknown command \"make\"", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> before = listDir(dir.path());
        ProcessResult r = pack(row.args);
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_NE(r.err.find(row.message), std::string::npos) << "expected: " << row.message << "\nactual: " << r.err;
        EXPECT_EQ(listDir(dir.path()), before) << "nothing new in the directory";
    }
    EXPECT_EQ(readFile(dir.file("old.rvl")), std::vector<uint8_t>({'o', 'l', 'd', ' ', 'p', 'a', 'c', 'k'}));

    // A real pack into a directory that holds files: refused, nothing touched.
    ASSERT_EQ(pack({"build", "pack.json", "-o", "good.rvl"}).exitCode, 0);
    std::vector<std::string> mediaBefore = listDir(dir.file("media"));
    ProcessResult r = pack({"unpack", "good.rvl", "-o", "media"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("error: media: exists and is not an empty directory; name a new directory"), std::string::npos)
        << r.err;
    EXPECT_EQ(listDir(dir.file("media")), mediaBefore);

    // A write that fails half-way (file size limit) leaves neither a partial
    // pack nor a temporary file, and the old pack as it was.
    std::vector<std::string> before = listDir(dir.path());
    ProcessResult limited =
        runProcess({"/usr/bin/prlimit", "--fsize=2048", tool(), "build", "pack.json", "-o", "old.rvl"});
    EXPECT_EQ(limited.exitCode, 2) << limited.err;
    EXPECT_NE(limited.err.find("error: cannot write old.rvl: File too large"), std::string::npos) << limited.err;
    EXPECT_EQ(listDir(dir.path()), before);
    EXPECT_EQ(readFile(dir.file("old.rvl")).size(), 8u);
}

TEST(PackTool, ForeignAndTruncatedPacksNameTheByteOffset) {
    ScratchDir dir;
    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;
        std::string message;
    };
    const std::vector<uint8_t> example = example26();
    std::vector<uint8_t> cut25(example.begin(), example.begin() + 25);
    std::vector<uint8_t> cut23(example.begin(), example.begin() + 23);
    std::vector<Row> rows = {
        {"foreign", {'P', 'K', 3, 4, 0, 0}, "not a module: it starts with the bytes 50 4B 03 04 at byte 0"},
        {"wrong version", {'R', 'V', 'L', '2', 0, 0, 0, 0}, "not a module: it starts with the bytes 52 56 4C 32"},
        {"empty", {}, "not a module: the file is empty"},
        {"cut in the points", cut25,
         "truncated at byte 24: the file ends inside the points of topic 1 question 1 (needs 2 bytes, 1 left)"},
        {"cut in the answer", cut23,
         "truncated at byte 21: the file ends inside the answer of topic 1 question 1 (needs 3 bytes, 2 left)"},
        {"media length past the end", {'R', 'V', 'L', '1', 0, 0, 0, 0, 0, 0, 1, 0, 1, 'I', 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF, 1},
         "truncated at byte 22: the file ends inside the picture of topic 1 question 1 (needs 4294967295 bytes, 1 left)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        writeFile(dir.file("p.rvl"), row.bytes);
        ProcessResult checked = pack({"check", "p.rvl"});
        EXPECT_EQ(checked.exitCode, 2);
        EXPECT_NE(checked.err.find("error: p.rvl: " + row.message), std::string::npos)
            << "expected: " << row.message << "\nactual: " << checked.err;
        ProcessResult unpacked = pack({"unpack", "p.rvl", "-o", "out"});
        EXPECT_EQ(unpacked.exitCode, 2);
        EXPECT_NE(unpacked.err.find(row.message), std::string::npos) << unpacked.err;
        EXPECT_FALSE(fileExists(dir.file("out")));
    }

    // Every cut of a module with all media kinds fails, at an offset inside
    // the cut, and the whole module parses.
    rvlpack::Module m;
    m.packName = L"Пак";
    rvlpack::Question t, i, a, v;
    t.type = 'T';
    i.type = 'I';
    i.media = {1, 2, 3};
    a.type = 'A';
    a.media = {4};
    v.type = 'V';
    v.media = {5, 6};
    v.video = {7, 8, 9};
    m.topics.push_back(rvlpack::Topic{L"Т", {t, i, a, v}});
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(rvlpack::writeModule(m, bytes));
    for (size_t size = 0; size < bytes.size(); ++size) {
        rvlpack::Module out;
        rvlpack::ReadFailure failure;
        ASSERT_FALSE(rvlpack::readModule(bytes.data(), size, out, &failure)) << "cut at " << size;
        EXPECT_LE(failure.offset, size) << failure.message;
        EXPECT_NE(failure.message.find("at byte " + std::to_string(failure.offset)), std::string::npos)
            << failure.message;
    }
    rvlpack::Module whole;
    ASSERT_TRUE(rvlpack::readModule(bytes.data(), bytes.size(), whole));
    EXPECT_EQ(whole.topics[0].questions[3].video, (std::vector<uint8_t>{7, 8, 9}));
}

TEST(PackTool, EachWarningOnceWithItsMessage) {
    using Row = SpoilRow;
    auto q = [](Json& m, int i) -> Json& { return m["topics"][0]["questions"][i]; };
    std::string wide;
    for (int k = 0; k < 60; ++k) wide += "Ж";
    std::vector<Row> rows = {
        {"picture not PNG or JPEG",
         [&](Json& m, const ScratchDir& d) {
             writeFile(d.file("media/pic.bmp"), makeBmp(8, 8));
             q(m, 1)["media"] = "media/pic.bmp";
         },
         "warning: topic 1 question 2: the picture is a BMP file, the reader shows PNG and JPEG only; convert it to "
         "PNG or JPEG"},
        {"picture that does not decode",
         [&](Json& m, const ScratchDir& d) {
             std::vector<uint8_t> png = makePng(8, 8);
             png.resize(40);
             writeFile(d.file("media/cut.png"), png);
             q(m, 1)["media"] = "media/cut.png";
         },
         "warning: topic 1 question 2: the PNG picture does not decode (SDL_image: "},
        {"empty picture",
         [&](Json& m, const ScratchDir& d) {
             writeFile(d.file("media/none.png"), {});
             q(m, 1)["media"] = "media/none.png";
         },
         "warning: topic 1 question 2: the picture is empty (0 bytes)"},
        {"picture larger than the window",
         [&](Json& m, const ScratchDir& d) {
             writeFile(d.file("media/big.png"), makePng(1025, 10));
             q(m, 1)["media"] = "media/big.png";
         },
         "warning: topic 1 question 2: the picture is 1025x10 pixels, larger than the 1024x768 window"},
        {"sound that does not decode",
         [&](Json& m, const ScratchDir& d) {
             writeText(d.file("media/noise.wav"), "this is not a sound file at all");
             q(m, 2)["media"] = "media/noise.wav";
         },
         "warning: topic 1 question 3: the sound does not decode"},
        {"sound whose data comes before its format",
         [&](Json& m, const ScratchDir& d) {
             std::vector<uint8_t> wav = makeWav(100), fmt(wav.begin() + 12, wav.begin() + 36);
             wav.erase(wav.begin() + 12, wav.begin() + 36);
             wav.insert(wav.end(), fmt.begin(), fmt.end());
             writeFile(d.file("media/swapped.wav"), wav);
             q(m, 2)["media"] = "media/swapped.wav";
         },
         "warning: topic 1 question 3: the sound does not decode"},
        {"sound track that does not decode",
         [&](Json& m, const ScratchDir& d) {
             writeText(d.file("media/noise.wav"), "this is not a sound file at all");
             q(m, 3)["audio"] = "media/noise.wav";
         },
         "warning: topic 1 question 4: the sound track does not decode"},
        {"video that does not open",
         [&](Json& m, const ScratchDir& d) {
             writeText(d.file("media/noise.avi"), "this is not a video file at all");
             q(m, 3)["video"] = "media/noise.avi";
         },
         "warning: topic 1 question 4: the video does not open in OpenCV; the reader will show no picture"},
        {"question wider than the window", [&](Json& m, const ScratchDir&) { q(m, 0)["question"] = wide; },
         "warning: topic 1 question 1: the question text is "},
        {"answer wider than the window", [&](Json& m, const ScratchDir&) { q(m, 0)["answer"] = wide; },
         "warning: topic 1 question 1: the answer line (\"Ответ: \" and the answer) is "},
        {"topic name wider than its row", [](Json& m, const ScratchDir&) { m["topics"][0]["name"] = "Очень длинное название темы"; },
         "warning: topic 1: the topic name is "},
        {"21 questions",
         [&](Json& m, const ScratchDir&) {
             for (int k = 0; k < 17; ++k) m["topics"][0]["questions"].push_back(q(m, 0));
         },
         "warning: topic 1: 21 questions, the board shows 20 at a time; question 21 and later appear only after "
         "earlier ones are played"},
        {"unknown type byte", [&](Json& m, const ScratchDir&) { q(m, 0)["type"] = 88; },
         "warning: topic 1 question 1: type byte 88 ('X') is not a known type"},
        {"no topics", [](Json& m, const ScratchDir&) { m["topics"] = Json::array(); },
         "warning: the pack has no topics; the reader will show an empty board"},
        {"unknown key", [&](Json& m, const ScratchDir&) { q(m, 0)["comment"] = "x"; },
         "warning: topic 1 question 1: unknown key \"comment\" is ignored"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        writeSpoiledPack(dir, row);
        ProcessResult r = pack({"build", "pack.json", "-o", "pack.rvl"});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        std::vector<std::string> warnings = linesStarting(r.err, "warning: ");
        ASSERT_EQ(warnings.size(), 1u) << r.err;
        EXPECT_EQ(warnings[0].rfind(row.message, 0), 0u) << "expected: " << row.message << "\nactual: " << warnings[0];
        EXPECT_TRUE(fileExists(dir.file("pack.rvl"))) << "warnings do not stop the build";
        if (row.message.find("unknown key") != std::string::npos) continue;  // the pack keeps no keys
        // The written pack draws the same warning from the check library
        // (the check command itself runs below on a pack with trailing bytes).
        rvlpack::Module built;
        ASSERT_TRUE(rvlpack::readModuleFile(dir.file("pack.rvl"), built));
        std::vector<rvlpack::Issue> found;
        rvlpack::checkModule(built, rvlpack::CheckOptions{runDir() + "/res"}, found);
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(rvlpack::formatIssue(found[0]), warnings[0]);
    }

    // Bytes after the last question: only a pack can have them.
    ScratchDir dir;
    std::vector<uint8_t> bytes = example26();
    bytes.insert(bytes.end(), {1, 2, 3});
    writeFile(dir.file("tail.rvl"), bytes);
    ProcessResult tail = pack({"check", "tail.rvl"});
    EXPECT_EQ(tail.exitCode, 1);
    EXPECT_EQ(linesStarting(tail.err, "warning: "),
              std::vector<std::string>{"warning: 3 bytes follow the last question and the reader ignores them; to drop "
                                       "them, unpack the pack, remove \"trailing\" from the manifest and build it again"});
}

TEST(PackTool, FontsAreFoundBesideTheToolOrInResAndWidthChecksSkipWithoutThem) {
    ScratchDir dir;
    writeCleanMedia(dir);
    Json m = cleanManifest();
    std::string wide;
    for (int k = 0; k < 60; ++k) wide += "Ж";
    m["topics"][0]["questions"][0]["question"] = wide;
    writeJson(dir.file("pack.json"), m);

    ProcessResult fromRunDir = pack({"build", "pack.json", "-o", "a.rvl"});
    EXPECT_EQ(fromRunDir.exitCode, 1) << "fonts in res/ beside the tool\n" << fromRunDir.err;

    ProcessResult named = pack({"build", "pack.json", "-o", "b.rvl", "--res", runDir() + "/res"});
    EXPECT_EQ(named.exitCode, 1) << named.err;

    ProcessResult none = pack({"build", "pack.json", "-o", "c.rvl", "--res", "/nonexistent"});
    EXPECT_EQ(none.exitCode, 0) << none.err;
    EXPECT_EQ(none.err, "note: no Brush.ttf and FuturaC.ttf in /nonexistent; the text width checks were skipped\n");
    EXPECT_EQ(readFile(dir.file("c.rvl")), readFile(dir.file("a.rvl")));

    // A copy of the tool without res/ beside it uses ./res, then gives up.
    ASSERT_EQ(system(("cp " + tool() + " " + dir.file("rvl-pack-copy")).c_str()), 0);
    ProcessResult cwdRes = runProcess({dir.file("rvl-pack-copy"), "check", "a.rvl"});
    EXPECT_EQ(cwdRes.exitCode, 1) << "./res is the scratch directory's link to the fonts\n" << cwdRes.err;
    unlink(dir.file("res").c_str());
    ProcessResult noRes = runProcess({dir.file("rvl-pack-copy"), "check", "a.rvl"});
    EXPECT_EQ(noRes.exitCode, 0) << noRes.err;
    EXPECT_NE(noRes.err.find("note: the reader's fonts were not found (looked in " + dir.path() + "/res and ./res)"),
              std::string::npos)
        << noRes.err;
}

TEST(PackManifest, CreationTimesInIso8601) {
    struct Row {
        const char* text;
        bool accepted;
        uint32_t seconds;
    };
    const Row rows[] = {
        {"2024-05-01T15:30:00Z", true, 1714577400u},
        {"2024-05-01T15:30Z", true, 1714577400u},
        {"2024-05-01 15:30:00Z", true, 1714577400u},
        {"2024-05-01T18:30:00+03:00", true, 1714577400u},
        {"2024-05-01T18:30:00+0300", true, 1714577400u},
        {"2024-05-01T13:30:00-02", true, 1714577400u},
        {"1970-01-01T00:00:00Z", true, 0u},
        {"2106-02-07T06:28:15Z", true, 4294967295u},
        {"2024-02-29T00:00:00Z", true, 1709164800u},
        {"1969-12-31T23:59:59Z", false, 0},
        {"2106-02-07T06:28:16Z", false, 0},
        {"2023-02-29T00:00:00Z", false, 0},
        {"2024-05-01T24:00:00Z", false, 0},
        {"2024-05-01T10:00:00+3", false, 0},
        {"2024-5-1", false, 0},
        {"2024-05-01X", false, 0},
        {"", false, 0},
    };
    for (const Row& row : rows) {
        uint32_t seconds = 0;
        bool accepted = rvlpack::parseIsoTime(row.text, seconds);
        EXPECT_EQ(accepted, row.accepted) << row.text;
        if (row.accepted && accepted) {
            EXPECT_EQ(seconds, row.seconds) << row.text;
            EXPECT_EQ(rvlpack::parseIsoTime(rvlpack::formatIsoTime(seconds), seconds) && seconds == row.seconds, true)
                << "formatted back: " << rvlpack::formatIsoTime(seconds);
        }
    }
}

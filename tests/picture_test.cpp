// Picture questions: the decoder's gate on untrusted bytes, and the screen
// read back from the frames the dummy video driver saves.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "presentation/picture_decode.h"
#include "presentation/presentations.h"
#include "shell/globals.h"
#include "tests/support/presentation_support.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

void putBe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (24 - 8 * i));
}

void putBe16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v >> 8);
    b[at + 1] = uint8_t(v);
}

// PNG's chunk checksum, so that a patched header still passes libpng's check.
uint32_t crc32(const uint8_t* p, size_t n) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// Offset of the baseline frame header marker (FF C0) of an encoded JPEG.
size_t frameHeaderAt(const std::vector<uint8_t>& jpeg) {
    for (size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) return i;
    return 0;
}

class PictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.ok());
        SDL_RenderCopy(renderer, bgTexture, nullptr, nullptr);
        background = captureWindow();
    }
    void TearDown() override { SDL_FreeSurface(background); }

    // Shows the picture; returns its frames. With waited given, a left press
    // is sent once the first frame is out, and waited tells whether the
    // picture was still showing when it came.
    std::vector<SDL_Surface*> show(std::vector<uint8_t>& bytes, bool* waited = nullptr) {
        return showRaw(bytes.empty() ? nullptr : bytes.data(), uint32_t(bytes.size()), waited);
    }
    std::vector<SDL_Surface*> showRaw(unsigned char* bytes, uint32_t size, bool* waited = nullptr) {
        FrameRecorder recorder;
        if (waited) {
            LeftPressAfterFrames press(recorder, 1);
            showImageAsk(bytes, size);
            *waited = press.pushed();
        } else {
            showImageAsk(bytes, size);
        }
        std::vector<SDL_Surface*> frames;
        for (const std::string& name : recorder.frames()) frames.push_back(loadFrame(name));
        return frames;
    }
    void release(std::vector<SDL_Surface*>& frames) {
        for (SDL_Surface* s : frames) SDL_FreeSurface(s);
        frames.clear();
    }
    bool queueEmpty() { return SDL_PeepEvents(nullptr, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 0; }

    ScratchDir dir;
    SdlWindow window;
    SDL_Surface* background = nullptr;
};

TEST_F(PictureTest, DecoderTakesPngAndJpegOnlyAndChecksTheirSize) {
    SDL_Surface* pattern = patternSurface(301, 201);
    const std::vector<uint8_t> png = encodePng(pattern);
    const std::vector<uint8_t> jpeg = encodeJpeg(pattern);
    const std::vector<uint8_t> bmp = encodeBmp(pattern);
    SDL_FreeSurface(pattern);
    ASSERT_GT(png.size(), 100u);
    ASSERT_GT(jpeg.size(), 100u);
    size_t sof = frameHeaderAt(jpeg);
    ASSERT_NE(sof, 0u) << "no baseline frame header in the encoded JPEG";

    auto pngSized = [&](uint32_t w, uint32_t h) {
        std::vector<uint8_t> b = png;
        putBe32(b, 16, w);
        putBe32(b, 20, h);
        putBe32(b, 29, crc32(&b[12], 17));
        return b;
    };
    auto jpegSized = [&](uint32_t w, uint32_t h) {
        std::vector<uint8_t> b = jpeg;
        putBe16(b, sof + 5, h);
        putBe16(b, sof + 7, w);
        return b;
    };
    const std::string xpm = "/* XPM */\nstatic char *p[] = {\"1 1 1 1\", \"a c #FF0000\", \"a\"};\n";
    const std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0,
                                      0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 1, 0, 0x3B};
    std::vector<uint8_t> garbage(4000);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 7919 >> 3);

    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;
        int w, h;  // 0: refused
    };
    const std::vector<Row> rows = {
        {"PNG", png, 301, 201},
        {"JPEG", jpeg, 301, 201},
        {"BMP is not a module format", bmp, 0, 0},
        {"GIF is not a module format", gif, 0, 0},
        {"XPM is not a module format", std::vector<uint8_t>(xpm.begin(), xpm.end()), 0, 0},
        {"garbage", garbage, 0, 0},
        {"PNG signature alone", std::vector<uint8_t>(png.begin(), png.begin() + 8), 0, 0},
        {"PNG cut after its header", std::vector<uint8_t>(png.begin(), png.begin() + 40), 0, 0},
        {"PNG with its header rewritten", pngSized(301, 201), 301, 201},
        {"PNG claiming 100000 pixels wide", pngSized(100000, 10), 0, 0},
        {"PNG claiming a side over the limit", pngSized(maxPictureSide + 1, 1), 0, 0},
        {"PNG claiming too many pixels", pngSized(8193, 8193), 0, 0},
        {"PNG claiming zero width", pngSized(0, 10), 0, 0},
        {"JPEG claiming 60000 by 60000", jpegSized(60000, 60000), 0, 0},
        {"JPEG without a height", jpegSized(301, 0), 0, 0},
        {"JPEG cut before its frame header", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + long(sof)), 0, 0},
        {"JPEG start then scan data", {0xFF, 0xD8, 0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 63, 0}, 0, 0},
        {"JPEG segment longer than the bytes", {0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0xF0, 0, 0}, 0, 0},
    };
    for (const Row& row : rows) {
        SDL_Surface* s = decodeQuestionPicture(row.bytes.data(), uint32_t(row.bytes.size()));
        if (row.w == 0) {
            EXPECT_EQ(s, nullptr) << row.name << ": expected refused, got a picture";
        } else {
            ASSERT_NE(s, nullptr) << row.name << ": " << SDL_GetError();
            EXPECT_EQ(s->w, row.w) << row.name;
            EXPECT_EQ(s->h, row.h) << row.name;
        }
        SDL_FreeSurface(s);
    }
    EXPECT_EQ(decodeQuestionPicture(nullptr, 0), nullptr) << "empty block";
    // A count beyond the signed 32-bit range is refused before any byte is read.
    EXPECT_EQ(decodeQuestionPicture(png.data(), uint32_t(INT_MAX) + 1u + uint32_t(png.size())), nullptr);
    EXPECT_EQ(decodeQuestionPicture(png.data(), 0xFFFFFFFFu), nullptr);
}

TEST_F(PictureTest, PictureStandsCentredAtItsOwnSizeCutAtTheEdges) {
    struct Row {
        int w, h, x, y;
    };
    const std::vector<Row> rows = {
        {301, 201, 362, 284},
        {2000, 1000, -488, -116},
        {10, 7, 507, 381},
        {1024, 768, 0, 0},
    };
    for (const Row& row : rows) {
        SDL_Surface* pattern = patternSurface(row.w, row.h);
        std::vector<uint8_t> png = encodePng(pattern);
        SDL_FreeSurface(pattern);
        pushLeftClick(900, 700);  // already queued: ends it right after its one frame
        std::vector<SDL_Surface*> frames = show(png);
        ASSERT_EQ(frames.size(), 1u) << row.w << "x" << row.h;
        long wrong = 0;
        std::string first;
        for (int y = 0; y < 768; ++y) {
            for (int x = 0; x < 1024; ++x) {
                bool inside = x >= row.x && x < row.x + row.w && y >= row.y && y < row.y + row.h;
                SDL_Color want = inside ? patternColour(x - row.x, y - row.y) : pixelOf(background, x, y);
                SDL_Color got = pixelOf(frames[0], x, y);
                if (got.r == want.r && got.g == want.g && got.b == want.b) continue;
                if (wrong++ == 0)
                    first = "at (" + std::to_string(x) + "," + std::to_string(y) + ") want " + describe(want) +
                            " got " + describe(got);
            }
        }
        EXPECT_EQ(wrong, 0) << row.w << "x" << row.h << " expected at (" << row.x << "," << row.y << "); first "
                            << first;
        EXPECT_TRUE(queueEmpty());
        release(frames);
    }
}

TEST_F(PictureTest, JpegIsShownCentred) {
    const SDL_Color colour{200, 40, 90, 255};
    SDL_Surface* solid = solidSurface(200, 100, colour);
    std::vector<uint8_t> jpeg = encodeJpeg(solid);
    SDL_FreeSurface(solid);
    pushLeftClick();
    std::vector<SDL_Surface*> frames = show(jpeg);
    ASSERT_EQ(frames.size(), 1u);
    struct Probe {
        int x, y;
        bool inside;
    };
    const std::vector<Probe> probes = {{412, 334, true}, {611, 433, true}, {512, 384, true},
                                       {411, 334, false}, {612, 433, false}, {412, 333, false}, {611, 434, false}};
    for (const Probe& p : probes) {
        SDL_Color got = pixelOf(frames[0], p.x, p.y);
        SDL_Color want = p.inside ? colour : pixelOf(background, p.x, p.y);
        int tolerance = p.inside ? 8 : 0;
        EXPECT_TRUE(std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
                    std::abs(got.b - want.b) <= tolerance)
            << "(" << p.x << "," << p.y << ") want " << describe(want) << " got " << describe(got);
    }
    release(frames);
}

TEST_F(PictureTest, UndecodableBytesShowTheBackgroundAndWaitForThePress) {
    std::vector<uint8_t> garbage(512, 0x5A);
    SDL_Surface* pattern = patternSurface(40, 30);
    std::vector<uint8_t> bmp = encodeBmp(pattern);
    SDL_FreeSurface(pattern);
    std::vector<uint8_t> empty;
    struct Row {
        const char* name;
        std::vector<uint8_t>* bytes;
    };
    for (const Row& row : std::vector<Row>{{"garbage", &garbage}, {"BMP", &bmp}, {"empty", &empty}}) {
        bool waited = false;
        std::vector<SDL_Surface*> frames = show(*row.bytes, &waited);
        ASSERT_EQ(frames.size(), 1u) << row.name;
        EXPECT_EQ(countDifferences(frames[0], background), 0) << row.name << ": background alone";
        EXPECT_TRUE(waited) << row.name << ": returned before the press";
        release(frames);
    }
}

TEST_F(PictureTest, OnlyALeftPressEndsItAndTheQueueIsDrainedBehindIt) {
    SDL_Surface* pattern = patternSurface(64, 64);
    std::vector<uint8_t> png = encodePng(pattern);
    SDL_FreeSurface(pattern);
    pushButton(SDL_BUTTON_RIGHT);
    pushButton(SDL_BUTTON_MIDDLE);
    pushButton(SDL_BUTTON_LEFT, SDL_MOUSEBUTTONUP);
    pushMotion(5, 5);
    pushWheel(1);
    pushKey(SDL_SCANCODE_F10);
    pushKey(SDL_SCANCODE_F10, SDL_KEYUP);
    pushKey(SDL_SCANCODE_RETURN);
    pushQuit();
    bool waited = false;
    std::vector<SDL_Surface*> frames = show(png, &waited);
    EXPECT_EQ(frames.size(), 1u) << "drawn once, never redrawn";
    EXPECT_TRUE(waited) << "ended before the left press";
    EXPECT_TRUE(queueEmpty());
    EXPECT_TRUE(running);
    release(frames);

    // A press behind the ending one is consumed with it.
    pushLeftClick();
    pushLeftClick();
    pushButton(SDL_BUTTON_RIGHT);
    frames = show(png);
    EXPECT_EQ(frames.size(), 1u);
    EXPECT_TRUE(queueEmpty()) << "events queued behind the press must be consumed";
    release(frames);
}

} // namespace

// Picture questions: the decoder's gate on untrusted bytes, and the screen
// read back from the frames the dummy video driver saves.
#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "presentation/picture_decode.h"
#include "presentation/presentations.h"
#include "shell/globals.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

class PictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.ok());
        SDL_RenderCopy(renderer, bgTexture, nullptr, nullptr);
        background = capture();
    }

    // Shows the picture and returns its frames. With waited given, a left
    // press is sent once the first frame is out, and waited tells whether the
    // picture still showed when it came.
    std::vector<Frame> show(Bytes bytes, bool* waited = nullptr) {
        FrameRecorder recorder;
        std::unique_ptr<LeftPressAfterFrames> press(waited ? new LeftPressAfterFrames(recorder, 1) : nullptr);
        showImageAsk(bytes.empty() ? nullptr : bytes.data(), uint32_t(bytes.size()));
        if (press) {
            // Waited: the press was pushed and the picture took it. A loop
            // that ended early leaves a late press in the queue.
            press->stop();
            *waited = press->pushed() && queueEmpty();
        }
        return recorder.loaded();
    }

    ScratchDir dir;
    SdlWindow window;
    Frame background;
};

TEST_F(PictureTest, DecoderTakesPngAndJpegOnlyAndChecksTheirSize) {
    const Bytes png = makePng(301, 201);
    const Bytes jpeg = encodePicture(patternSurface(301, 201), "jpg");
    size_t sof = 2;
    while (sof + 9 < jpeg.size() && !(jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC0)) ++sof;
    ASSERT_LT(sof + 9, jpeg.size()) << "no baseline frame header in the encoded JPEG";
    // 8193 by 8193 (0x2001) in the frame header: more pixels than the limit.
    Bytes jpegHuge = jpeg;
    jpegHuge[sof + 5] = jpegHuge[sof + 7] = 0x20;
    jpegHuge[sof + 6] = jpegHuge[sof + 8] = 0x01;
    struct Row {
        const char* name;
        Bytes bytes;
        int w;  // 0: refused
    };
    const std::vector<Row> rows = {
        {"PNG", png, 301},
        {"JPEG", jpeg, 301},
        {"BMP is not a module format", makeBmp(301, 201), 0},
        {"PNG cut after its header", Bytes(png.begin(), png.begin() + 40), 0},
        {"PNG with a side over the limit", makePng(maxPictureSide + 1, 1), 0},
        {"JPEG claiming more pixels than the limit", jpegHuge, 0},
    };
    for (const Row& row : rows) {
        SDL_Surface* s = decodeQuestionPicture(row.bytes.data(), uint32_t(row.bytes.size()));
        EXPECT_EQ(s ? s->w * 1000 + s->h : 0, row.w ? 301201 : 0) << row.name << ": " << SDL_GetError();
        SDL_FreeSurface(s);
    }
    EXPECT_EQ(decodeQuestionPicture(nullptr, 0), nullptr) << "empty block";
    // A count beyond the signed 32-bit range is refused before any byte is read.
    EXPECT_EQ(decodeQuestionPicture(png.data(), uint32_t(INT_MAX) + 1u + uint32_t(png.size())), nullptr);
}

TEST_F(PictureTest, PictureStandsCentredAtItsOwnSizeCutAtTheEdgesOrNotAtAll) {
    struct Row {
        const char* name;
        Bytes bytes;
        int w, h, x, y;  // where the picture stands; 0 by 0: the background alone
    };
    const std::vector<Row> rows = {{"301x201", makePng(301, 201), 301, 201, 362, 284},
                                   {"2000x1000", makePng(2000, 1000), 2000, 1000, -488, -116},
                                   {"bytes that do not decode", Bytes(512, 0x5A), 0, 0, 0, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bool waited = false;
        std::vector<Frame> frames = show(row.bytes, &waited);
        ASSERT_EQ(frames.size(), 1u) << "drawn once, never redrawn";
        EXPECT_TRUE(waited) << "ended before the left press";
        long wrong = 0;
        std::string first;
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 1024; ++x) {
                bool inside = x >= row.x && x < row.x + row.w && y >= row.y && y < row.y + row.h;
                SDL_Color want = inside ? patternColour(x - row.x, y - row.y) : background.at(x, y);
                SDL_Color got = frames[0].at(x, y);
                if ((got.r == want.r && got.g == want.g && got.b == want.b) || wrong++) continue;
                first = "(" + std::to_string(x) + "," + std::to_string(y) + ") " + describe(got);
            }
        EXPECT_EQ(wrong, 0) << "expected at (" << row.x << "," << row.y << "); first wrong pixel " << first;
    }
}

TEST_F(PictureTest, OnlyALeftPressEndsItAndTheQueueIsDrainedBehindIt) {
    pushOtherInput();
    bool waited = false;
    EXPECT_EQ(show(makePng(64, 64), &waited).size(), 1u);
    EXPECT_TRUE(waited) << "ended before the left press";
    EXPECT_TRUE(queueEmpty());
    EXPECT_TRUE(running);

    // Presses and other input queued behind the ending press go with it.
    pushLeftClick();
    pushLeftClick();
    pushButton(SDL_BUTTON_RIGHT);
    EXPECT_EQ(show(makePng(64, 64)).size(), 1u);
    EXPECT_TRUE(queueEmpty()) << "events queued behind the press must be consumed";
}

} // namespace

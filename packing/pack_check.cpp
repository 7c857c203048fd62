// SPDX-License-Identifier: GPL-3.0-or-later
// Runs every media block through the very decoder the reader plays it with
// (same caps, same refusals) and measures every text with the reader's
// fonts. The libraries print their own
// complaints on stderr; those are muted while a block is probed, and the
// finding is reported once, as a warning with the place and a remedy.
#include "packing/pack_check.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cmath>

#include "packing/manifest.h"
#include "packing/media_kind.h"
#include "packing/reader_probe.h"
#include "platform/resource_files.h"
#include "platform/sdl_handles.h"
#include "platform/text_texture.h"
#include "platform/utf16.h"
#include "presentation/picture_decode.h"
#include "presentation/sound_decode.h"

namespace rvlpack {

bool pictureCutShort(const std::vector<uint8_t>& b) {
    static const char iend[] = "IEND";
    if (mediaKind(b) == "PNG") return std::search(b.begin(), b.end(), iend, iend + 4) == b.end();
    if (mediaKind(b) != "JPEG") return false;
    static const uint8_t scan[] = {0xFF, 0xDA}, end[] = {0xFF, 0xD9};
    auto scanAt = std::find_end(b.begin(), b.end(), scan, scan + 2);
    return scanAt != b.end() && std::search(scanAt, b.end(), end, end + 2) == b.end();
}

namespace {

struct Checker {
    std::vector<Finding>& issues;
    const CheckOptions& options;
    FontHandle cardFont;
    FontHandle topicFont;

    void warn(const std::string& where, const std::string& text) { addFinding(issues, Severity::Warning, where, text); }

    void picture(const std::vector<uint8_t>& bytes, const std::string& where) {
        if (bytes.empty()) {
            warn(where, "the picture is empty (0 bytes); the reader will show no picture; give a PNG or JPEG file");
            return;
        }
        std::string kind = mediaKind(bytes);
        if (kind != "PNG" && kind != "JPEG") {
            warn(where, "the picture is " + (kind.empty() ? std::string("not a known picture format") : "a " + kind + " file") +
                            ", the reader shows PNG and JPEG only; convert it to PNG or JPEG");
            return;
        }
        SDL_ClearError();
        SurfaceHandle image;
        {
            MutedStderr muted;
            image.reset(decodeQuestionPicture(bytes.data(), static_cast<uint32_t>(bytes.size())));
        }
        if (!image) {
            std::string why = SDL_GetError();
            warn(where, "the " + kind + " picture does not decode (" +
                            (why.empty() ? "its header is damaged or claims more than " + std::to_string(maxPictureSide) +
                                               " pixels a side or " + std::to_string(maxPicturePixels) + " in all"
                                         : "SDL_image: " + why) +
                            "); the reader will show no picture; save it again from an image editor");
            return;
        }
        if (pictureCutShort(bytes))
            warn(where, "the " + kind + " picture is cut short (it has no end marker); the reader shows its "
                                        "missing part grey; copy the whole file again");
        if (image->w > windowWidth || image->h > windowHeight)
            warn(where, "the picture is " + std::to_string(image->w) + "x" + std::to_string(image->h) +
                            " pixels, larger than the " + std::to_string(windowWidth) + "x" +
                            std::to_string(windowHeight) + " window; the reader shows it unscaled and cuts off its "
                            "edges; scale it down");
    }

    // what: "sound" or "sound track"; consequence: what the reader then does.
    void sound(const std::vector<uint8_t>& bytes, const std::string& where, const std::string& what,
               const std::string& consequence) {
        if (bytes.empty()) {
            warn(where, "the " + what + " is empty (0 bytes); " + consequence + "; give a WAV, OGG or FLAC file");
            return;
        }
        SoundProbe probe = probeSound(bytes);
        // Cut by the reader's limit, not a header claiming more than the file holds.
        if (probe.decoded && probe.samples + probe.channels > maxSoundSamples && probe.fileSamples > probe.samples &&
            probe.channels && probe.rate) {
            auto length = [&](uint64_t samples) { return minutes(double(samples) / probe.channels / probe.rate); };
            warn(where, "the " + what + " lasts " + length(probe.fileSamples) + ", the reader plays only its first " +
                            length(probe.samples) + " and cuts the last " + length(probe.fileSamples - probe.samples) +
                            "; shorten it");
        }
        if (!probe.decoded) {
            const std::string& why = probe.said;
            warn(where, "the " + what + " does not decode" + (why.empty() ? "" : " (SFML: " + why + ")") + "; " +
                            consequence + "; convert it to WAV, OGG or FLAC");
        }
    }

    // stretchedOk: the host asked for the video to be stretched.
    void video(const std::vector<uint8_t>& bytes, const std::string& where, bool stretchedOk) {
        const std::string remedy = "; convert it, for example to an AVI with MJPEG pictures";
        if (bytes.empty()) {
            warn(where, "the video is empty (0 bytes); the reader will show no picture" + remedy);
            return;
        }
        VideoProbe probe = probeVideo(bytes);
        double aspect = 0;
        switch (probe.verdict) {
        case VideoProbe::Opens:
            if (stretchedOk || !options.stretchedVideo || !options.stretchedVideo(bytes, aspect)) break;
            char shown[64];
            snprintf(shown, sizeof shown, "%.2f (4:3 is 1.33)", aspect);
            warn(where, std::string("the video has a display aspect ratio of ") + shown +
                            " and the reader will stretch it to 4:3; to pad it with black instead, " +
                            options.letterboxRemedy);
            break;
        case VideoProbe::NotChecked: warn(where, "the video was not checked: " + probe.said); break;
        case VideoProbe::NoPicture:
            warn(where, "the video opens in OpenCV but gives no picture; the reader will show nothing" + remedy);
            break;
        case VideoProbe::DoesNotOpen:
            warn(where, "the video does not open in OpenCV" + (probe.said.empty() ? "" : " (" + probe.said + ")") +
                            "; the reader will show no picture" + remedy);
            break;
        }
    }

    static std::string minutes(double seconds) {
        char text[32];
        long whole = std::lround(seconds);
        if (seconds < 60)
            snprintf(text, sizeof text, "%.1f s", seconds);
        else
            snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
        return text;
    }

    // Control characters: a NUL ends the card's text there, the others show
    // as nothing. Named once per text, with where the first one stands.
    void controls(const std::wstring& text, const std::string& where, const std::string& what) {
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] >= 0x20 && text[i] != 0x7F) continue;
            char code[16];
            snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(text[i]));
            warn(where, "the " + what + " holds the control character " + code + " at unit " +
                            std::to_string(i + 1) + (text[i] == 0 ? "; the reader shows the text only up to it"
                                                                  : "; the reader shows nothing in its place") +
                            "; remove it");
            return;
        }
    }

    int width(TTF_Font* font, const std::wstring& text) {
        int w = 0, h = 0;
        if (TTF_SizeUNICODE(font, ttfUnits(text).data(), &w, &h) != 0) return 0;
        return w;
    }

    // How many characters of text after its first `fixed` units fit in
    // limit pixels: what a host may shorten it to.
    int fittingChars(TTF_Font* font, const std::wstring& text, size_t fixed, int limit) {
        std::vector<size_t> ends;  // unit offset after each character past fixed
        for (size_t i = fixed; i < text.size();) {
            nextCodePoint(text, i);
            ends.push_back(i);
        }
        size_t low = 0, high = ends.size();  // low characters fit; more than high do not
        while (low < high) {
            size_t mid = (low + high + 1) / 2;
            if (width(font, text.substr(0, ends[mid - 1])) <= limit)
                low = mid;
            else
                high = mid - 1;
        }
        return static_cast<int>(low);
    }

    void cardText(const std::wstring& text, size_t fixed, const std::string& where, const std::string& what) {
        if (!cardFont) return;
        int w = width(cardFont.get(), text);
        if (w > windowWidth && options.counts) ++(fixed ? options.counts->wideAnswers : options.counts->wideQuestions);
        if (w > windowWidth)
            warn(where, "the " + what + " is " + std::to_string(w) +
                            " pixels wide on the question card, the window is " + std::to_string(windowWidth) +
                            "; it will be cut off at both ends; shorten it to " +
                            std::to_string(fittingChars(cardFont.get(), text, fixed, windowWidth)) +
                            " characters or fewer");
    }

    // Warns once per text about the characters font has no glyph for (an
    // emoji, say): the reader draws nothing in their place.
    void glyphs(TTF_Font* font, const char* fontName, const std::wstring& text, const std::string& where,
                const std::string& what) {
        if (!font) return;
        std::vector<char32_t> missing;
        for (size_t i = 0; i < text.size();) {
            char32_t c = nextCodePoint(text, i);
            bool known = false;
            for (char32_t m : missing) known = known || m == c;
            bool control = c < 0x20 || c == 0x7F;  // warned about on their own
            if (!known && !control && !TTF_GlyphIsProvided32(font, c)) missing.push_back(c);
        }
        if (missing.empty()) return;
        const size_t listed = 8;
        std::string list;
        for (size_t i = 0; i < missing.size() && i < listed; ++i) {
            char code[16];
            snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(missing[i]));
            bool printable = missing[i] >= 0xA0 && !isSurrogateCode(missing[i]);
            std::string shown;
            if (printable) appendUtf8(shown, missing[i]);
            list += std::string(i ? ", " : "") + (printable ? "\"" + shown + "\" (" + code + ")" : code);
        }
        if (missing.size() > listed) list += " and " + std::to_string(missing.size() - listed) + " more";
        warn(where, "the " + what + " holds " + (missing.size() == 1 ? "a character" : "characters") +
                        " the reader's font " + fontName + " cannot draw: " + list +
                        "; it shows nothing in " + (missing.size() == 1 ? "its" : "their") +
                        " place; remove or replace " + (missing.size() == 1 ? "it" : "them"));
    }
};

// "Brush.ttf" of "res/Brush.ttf".
const char* fileName(const char* resourcePath) { return resourcePath + sizeof resource::directory; }

FontHandle openFont(const char* resourcePath, int size, const std::string& dir, std::vector<Finding>& issues) {
    const std::string path = resource::inDirectory(dir, resourcePath);
    FontHandle font(TTF_OpenFont(path.c_str(), size));
    if (!font)
        addFinding(issues, Severity::Note, "",
                 "cannot open the font " + path + " (" + TTF_GetError() +
                     "); the text checks that need it were skipped; point --res at the reader's res directory");
    return font;
}

} // namespace

struct ModuleChecker::State {
    Checker check;
    bool ttfStarted = false;
};

ModuleChecker::ModuleChecker(const CheckOptions& options, std::vector<Finding>& issues)
    : state_(new State{Checker{issues, options, {}, {}}}) {
    Checker& check = state_->check;
    IMG_Init(IMG_INIT_PNG | IMG_INIT_JPG);
    if (!options.fontDir.empty()) {
        state_->ttfStarted = !TTF_WasInit() && TTF_Init() == 0;
        if (TTF_WasInit()) {
            check.cardFont = openFont(resource::cardFont, resource::cardTextSize, options.fontDir, issues);
            check.topicFont = openFont(resource::boardFont, resource::topicNameSize, options.fontDir, issues);
        }
    }
}

ModuleChecker::~ModuleChecker() {
    // The fonts close before the library that opened them quits.
    state_->check.cardFont.reset();
    state_->check.topicFont.reset();
    if (state_->ttfStarted) TTF_Quit();
}

void ModuleChecker::topic(size_t t, const std::wstring& name, size_t questionCount) {
    Checker& check = state_->check;
    if (check.topicFont) {
        int w = check.width(check.topicFont.get(), name);
        if (w > topicRowWidth && check.options.counts) ++check.options.counts->wideTopics;
        if (w > topicRowWidth)
            check.warn(topicPlace(t), "the topic name is " + std::to_string(w) +
                                          " pixels wide, its row on the board shows 340; the end will be cut "
                                          "off; shorten it to " +
                                          std::to_string(check.fittingChars(check.topicFont.get(), name, 0,
                                                                            topicRowWidth)) +
                                          " characters or fewer");
        check.glyphs(check.topicFont.get(), fileName(resource::boardFont), name, topicPlace(t), "topic name");
    }
    if (questionCount == 0)
        check.warn(topicPlace(t), "the topic has no questions; the board shows it with no cells; add questions or "
                                  "remove it");
    if (questionCount > boardQuestions)
        check.warn(topicPlace(t), std::to_string(questionCount) +
                                      " questions, the board shows 20 at a time; question 21 and later appear "
                                      "only after earlier ones are played; move them into another topic");
}

void ModuleChecker::question(size_t t, size_t q, const Question& ask, const MediaSource* source) {
    Checker& check = state_->check;
    std::string where = questionLabel(t, q, ask.question, source ? mainFile(*source) : std::string());
    const std::wstring answerLine = resource::answerPrefix + ask.answer;
    check.cardText(ask.question, 0, where, "question text");
    check.cardText(answerLine, answerLine.size() - ask.answer.size(), where,
                   "answer line (\"Ответ: \" and the answer)");
    check.glyphs(check.cardFont.get(), fileName(resource::cardFont), ask.question, where, "question text");
    check.glyphs(check.cardFont.get(), fileName(resource::cardFont), ask.answer, where, "answer");
    check.controls(ask.question, where, "question text");
    check.controls(ask.answer, where, "answer");
    if (source && source->failed) return;  // its media were not read or not prepared
    std::string soundTrack = source && !source->audio.empty() ? "sound track \"" + shownPath(source->audio) + "\""
                                                             : std::string("sound track");
    switch (rvlformat::askType(ask.type)) {
    case rvlformat::AskType::Text: break;
    case rvlformat::AskType::Picture: check.picture(ask.media, where); break;
    case rvlformat::AskType::Audio: check.sound(ask.media, where, "sound", "the reader will skip it silently"); break;
    case rvlformat::AskType::Video:
        // An empty sound track is a silent clip ("audio": null), not a fault.
        if (!ask.media.empty()) check.sound(ask.media, where, soundTrack, "the video will play without sound");
        check.video(ask.video, where, source && source->fit == Fit::Stretch);
        break;
    default: {
        uint8_t code = static_cast<uint8_t>(ask.type);
        std::string shown = std::to_string(code);
        if (code >= 0x21 && code < 0x7F) shown += " ('" + std::string(1, ask.type) + "')";
        check.warn(where, "type byte " + shown +
                              " is not a known type; the reader shows it as a question without media; use "
                              "text, picture, audio or video");
    }
    }
}

void ModuleChecker::finish(size_t topicCount, size_t trailingBytes) {
    Checker& check = state_->check;
    if (topicCount == 0) check.warn("", "the pack has no topics; the reader will show an empty board; add topics");
    if (trailingBytes)
        check.warn("", std::to_string(trailingBytes) +
                           " bytes follow the last question and the reader ignores them; to drop them, unpack the "
                           "pack, remove \"trailing\" from the manifest and build it again");
}

namespace {

// Hands each question to the checker as soon as its media are read.
class CheckingSink : public rvlformat::ModuleSink {
public:
    CheckingSink(ModuleChecker& checker, PackCounts& counts) : checker_(checker), counts_(counts) {}

private:
    ModuleChecker& checker_;
    PackCounts& counts_;
    size_t asks_ = 0;  // of the current topic
    Question current_;

    void header(uint32_t, std::wstring&, std::wstring&) override {}
    void topicCount(size_t) override {}
    void topic(std::wstring& name, size_t askCount) override {
        checker_.topic(counts_.topics++, name, askCount);
        asks_ = 0;
    }
    void ask(rvlformat::AskHead& head, uint64_t) override {
        current_ = questionFrom(head);
    }
    bool block(rvlformat::Field block, uint32_t length, uint8_t*& to) override {
        std::vector<uint8_t>& bytes = (block == rvlformat::Field::Video ? current_.video : current_.media).edit();
        try {
            bytes.resize(length);
        } catch (const std::bad_alloc&) {
            return false;
        }
        to = bytes.data();
        return true;
    }
    void askDone() override {
        checker_.question(counts_.topics - 1, asks_++, current_);
        ++counts_.questions;
        current_ = Question{};
    }
};

} // namespace

bool checkPackFile(const std::string& path, const CheckOptions& options, std::vector<Finding>& issues,
                   PackCounts& counts, ReadFailure* failure) {
    std::vector<Finding> found;
    uint64_t end = 0;
    counts = PackCounts{};
    {
        ModuleChecker checker(options, found);
        CheckingSink sink(checker, counts);
        if (!readPackFile(path, sink, failure, &end, &counts.bytes)) return false;
        checker.finish(counts.topics, counts.bytes - end);
    }
    issues.insert(issues.end(), found.begin(), found.end());
    return true;
}

void checkModule(const Module& module, const CheckOptions& options, std::vector<Finding>& issues,
                 const ManifestMedia* sources) {
    ModuleChecker checker(options, issues);
    for (size_t t = 0; t < module.topics.size(); ++t) {
        const Topic& topic = module.topics[t];
        checker.topic(t, topic.name, topic.questions.size());
        for (size_t q = 0; q < topic.questions.size(); ++q) {
            bool named = sources && t < sources->questions.size() && q < sources->questions[t].size();
            checker.question(t, q, topic.questions[q], named ? &sources->questions[t][q] : nullptr);
        }
    }
    checker.finish(module.topics.size(), module.trailing.size());
}

} // namespace rvlpack

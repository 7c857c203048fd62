// SPDX-License-Identifier: GPL-3.0-or-later
// The media step of build: the reader's decoders decide what is kept, and
// the FFmpeg and SDL_image conversions make the rest.
#include "packing/convert/media_prepare.h"

#include <cmath>
#include <map>
#include <utility>

#include "module/format.h"
#include "packing/convert/av_support.h"
#include "packing/convert/picture_convert.h"
#include "packing/convert/progress_line.h"
#include "packing/convert/reader_accepts.h"
#include "packing/convert/sound_convert.h"
#include "packing/convert/video_convert.h"
#include "packing/pack_check.h"
#include "platform/utf16.h"

namespace rvlpack {

namespace {

struct Preparer {
    std::vector<Finding>& issues;
    // What each stored copy became, by the way it was prepared: a file named
    // by many questions is read once and converted once, and its questions
    // share the result. The copies looked up are all made before preparing
    // starts and live until replaced, so no freed address is ever asked for.
    std::map<std::pair<const void*, std::string>, MediaBytes> done;

    // True when block was prepared this way already; it then holds the result.
    bool already(MediaBytes& block, const std::string& how) {
        auto it = done.find({block.copy(), how});
        if (it == done.end()) return false;
        block = it->second;
        return true;
    }
    void remember(const void* copy, const std::string& how, const MediaBytes& result) { done[{copy, how}] = result; }

    void note(const std::string& where, const std::string& text) { addFinding(issues, Severity::Note, where, text); }
    void error(const std::string& where, const std::string& text) { addFinding(issues, Severity::Error, where, text); }

    // what: "the sound", or the sound track with its file, which the place
    // (naming the video) does not name.
    void sound(MediaBytes& block, const std::string& file, const std::string& what, const std::string& where) {
        const void* copy = block.copy();
        if (block.empty() || already(block, "sound")) return;
        remember(copy, "sound", block);
        if (readerPlaysSound(block)) return;
        std::vector<uint8_t> ogg;
        SoundFacts from, to;
        std::string why;
        ProgressLine progress(file);
        // A sound FFmpeg cannot decode either stays, and the check warns about it.
        if (convertSound(block, ogg, from, to, why, [&](double f) { progress.update(f); }) != SoundOutcome::Converted)
            return;
        note(where, "converted " + what + " (" + describeSound(from) + ", " + byteSize(block.size()) + ") to " +
                        describeSound(to) + ", " + byteSize(ogg.size()));
        block = std::move(ogg);
        remember(copy, "sound", block);
    }

    void soundFromVideo(Question& ask, const std::string& file, const std::string& where) {
        ask.media = ask.video;
        if (already(ask.media, "sound of the video")) return;
        ask.media = MediaBytes();
        std::vector<uint8_t> ogg;
        SoundFacts from, to;
        std::string why;
        ProgressLine progress(file + " (sound)");
        SoundOutcome outcome = convertSound(ask.video, ogg, from, to, why, [&](double f) { progress.update(f); });
        if (outcome == SoundOutcome::NoSoundStream) {
            error(where, "the video file has no sound stream; name a sound file in \"audio\", or give "
                         "\"audio\": null for a silent clip");
        } else if (outcome == SoundOutcome::Failed) {
            error(where, "the sound of the video file cannot be converted: " + why +
                             "; name a sound file in \"audio\", or give \"audio\": null for a silent clip");
        } else {
            note(where, "took the sound of the video (" + describeSound(from) + ") as " + describeSound(to) +
                            ", " + byteSize(ogg.size()));
            ask.media = std::move(ogg);
            remember(ask.video.copy(), "sound of the video", ask.media);
        }
    }

    void picture(MediaBytes& block, const std::string& where) {
        const void* copy = block.copy();
        if (block.empty() || already(block, "picture")) return;
        remember(copy, "picture", block);
        std::vector<uint8_t> converted;
        PictureFacts from, to;
        std::string why;  // a picture that does not decode is left to the check's warning
        PictureOutcome outcome = preparePicture(block, windowWidth, windowHeight, converted, from, to, why);
        if (outcome == PictureOutcome::TooLarge) {
            error(where, "the picture cannot be used: " + why + "; scale it down in an image editor");
        } else if (outcome == PictureOutcome::Converted) {
            if (pictureCutShort(block))
                addFinding(issues, Severity::Warning, where,
                         "the " + from.kind + " picture is cut short (it has no end marker); its missing part is "
                         "grey in the converted picture; copy the whole file again");
            int64_t frames = from.kind == "GIF" ? animationFrames(block) : 0;
            if (frames > 1)
                note(where, "GIF with " + std::to_string(frames) + " frames: the first frame is kept; to keep the "
                            "animation, make it a video question");
            note(where, "converted the picture (" + describePicture(from) + ", " + byteSize(block.size()) +
                            ") to " + describePicture(to) + ", " + byteSize(converted.size()));
            block = std::move(converted);
            remember(copy, "picture", block);
        }
    }

    // A video the reader would stretch is padded with black unless the host
    // asked for stretching; the check then warns about what is stored.
    void video(MediaBytes& block, const std::string& file, const std::string& where, bool letterbox) {
        const void* copy = block.copy();
        const std::string how = letterbox ? "letterboxed video" : "video";
        if (block.empty() || already(block, how)) return;
        remember(copy, how, block);
        VideoFacts facts;
        std::string why;
        bool known = readVideoFacts(block, facts, why);
        bool widthOff = known && aspectOffWindow(facts.aspect);
        bool opens = readerOpensVideo(block);
        if (opens && !(letterbox && widthOff)) {
            double end = facts.seconds > 0 ? videoPacketsEnd(block) : 0;
            if (end > 0 && end < facts.seconds * 0.98)
                addFinding(issues, Severity::Warning, where,
                         "the video file is cut short: its pictures end at " + seconds(end) + " of the " +
                             seconds(facts.seconds) + " its header gives, and the reader stops there; copy the "
                             "whole file again");
            return;
        }
        // What FFmpeg cannot read or convert stays, and the check warns about it.
        if (!known && !opens) return;
        std::vector<uint8_t> converted;
        VideoFacts from, to;
        ProgressLine progress(file);
        if (!convertVideo(block, letterbox && widthOff, windowWidth, windowHeight, converted, from, to, why,
                          [&](double f) { progress.update(f); }))
            return;
        note(where, std::string(letterbox && widthOff ? "letterboxed" : "re-encoded") + " the video (" +
                        describeVideo(from) + ", " + byteSize(block.size()) + ") to " + describeVideo(to) + ", " +
                        byteSize(converted.size()));
        if (from.seconds > 0 && std::fabs(to.seconds / from.seconds - 1) > 0.02)
            addFinding(issues, Severity::Warning, where,
                     "the re-encoded video lasts " + seconds(to.seconds) + ", the source " + seconds(from.seconds) +
                         "; its timestamps could not be followed; convert it to a constant frame rate yourself");
        block = std::move(converted);
        remember(copy, how, block);
    }

    static std::string seconds(double value) {
        char text[32];
        snprintf(text, sizeof text, "%.2f s", value);
        return text;
    }
};

} // namespace

void prepareMedia(Module& module, const ManifestMedia& sources, std::vector<Finding>& issues) {
    av_log_set_level(AV_LOG_QUIET);  // what fails is reported once, in the tool's own words
    Preparer prepare{issues, {}};
    for (size_t t = 0; t < module.topics.size() && t < sources.questions.size(); ++t) {
        for (size_t q = 0; q < module.topics[t].questions.size() && q < sources.questions[t].size(); ++q) {
            Question& ask = module.topics[t].questions[q];
            const MediaSource& source = sources.questions[t][q];
            if (source.failed) continue;
            std::string where = questionLabel(t, q, ask.question, mainFile(source));
            if (rvlformat::carriesVideo(ask.type) && source.soundFromVideo) prepare.soundFromVideo(ask, source.video, where);
            if (source.fit == Fit::None) continue;
            switch (rvlformat::askType(ask.type)) {
            case rvlformat::AskType::Picture: prepare.picture(ask.media, where); break;
            case rvlformat::AskType::Audio: prepare.sound(ask.media, source.media, "the sound", where); break;
            case rvlformat::AskType::Video:
                if (!source.soundFromVideo)
                    prepare.sound(ask.media, source.audio, "the sound track \"" + shownPath(source.audio) + "\"", where);
                prepare.video(ask.video, source.video, where, source.fit != Fit::Stretch);
                break;
            default: break;
            }
        }
    }
}

} // namespace rvlpack

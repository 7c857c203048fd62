// SPDX-License-Identifier: GPL-3.0-or-later
// The media step of build: the reader's decoders decide what is kept, and
// the FFmpeg and SDL_image conversions make the rest.
#include "packing/convert/media_prepare.h"

#include <algorithm>
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
#include "platform/texts.h"
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
        note(where, format(tr("converted %s (%s, %s) to %s, %s"), what.c_str(), describeSound(from).c_str(),
                           byteSize(block.size()).c_str(), describeSound(to).c_str(), byteSize(ogg.size()).c_str()));
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
        ProgressLine progress(format(tr("%s (sound)"), file.c_str()));
        SoundOutcome outcome = convertSound(ask.video, ogg, from, to, why, [&](double f) { progress.update(f); });
        if (outcome == SoundOutcome::NoSoundStream) {
            error(where, tr("the video file has no sound stream; name a sound file in \"audio\", or give "
                            "\"audio\": null for a silent clip"));
        } else if (outcome == SoundOutcome::Failed) {
            error(where, format(tr("the sound of the video file cannot be converted: %s; name a sound file in "
                                   "\"audio\", or give \"audio\": null for a silent clip"),
                                why.c_str()));
        } else {
            note(where, format(tr("took the sound of the video (%s) as %s, %s"), describeSound(from).c_str(),
                               describeSound(to).c_str(), byteSize(ogg.size()).c_str()));
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
            error(where, format(tr("the picture cannot be used: %s; scale it down in an image editor"), why.c_str()));
        } else if (outcome == PictureOutcome::Converted) {
            if (pictureCutShort(block))
                addFinding(issues, Severity::Warning, where,
                           format(tr("the %s picture is cut short (it has no end marker); its missing part is grey in "
                                     "the converted picture; copy the whole file again"),
                                  from.kind.c_str()));
            int64_t frames = from.kind == "GIF" ? animationFrames(block) : 0;
            if (frames > 1)
                note(where, format(tr("GIF with %lld frames: the first frame is kept; to keep the animation, make it a "
                                      "video question"),
                                   static_cast<long long>(frames)));
            note(where, format(tr("converted the picture (%s, %s) to %s, %s"), describePicture(from).c_str(),
                               byteSize(block.size()).c_str(), describePicture(to).c_str(),
                               byteSize(converted.size()).c_str()));
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
                           format(tr("the video file is cut short: its pictures end at %s of the %s its header gives, "
                                     "and the reader stops there; copy the whole file again"),
                                  seconds(end).c_str(), seconds(facts.seconds).c_str()));
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
        note(where, format(letterbox && widthOff ? tr("letterboxed the video (%s, %s) to %s, %s")
                                                 : tr("re-encoded the video (%s, %s) to %s, %s"),
                           describeVideo(from).c_str(), byteSize(block.size()).c_str(), describeVideo(to).c_str(),
                           byteSize(converted.size()).c_str()));
        // The end falls on a frame of the new rate, the last frame shown once at least;
        // an output whose rate cannot be read gets no frame of slack.
        double slack = std::max(0.02 * from.seconds, to.fps > 0 ? 1.5 / to.fps : 0.0);
        if (from.seconds > 0 && std::fabs(to.seconds - from.seconds) > slack)
            addFinding(issues, Severity::Warning, where,
                       format(tr("the re-encoded video lasts %s, the source %s; its timestamps could not be followed; "
                                 "convert it to a constant frame rate yourself"),
                              seconds(to.seconds).c_str(), seconds(from.seconds).c_str()));
        block = std::move(converted);
        remember(copy, how, block);
    }

    static std::string seconds(double value) {
        char text[32];
        snprintf(text, sizeof text, tr("%.2f s"), value);
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
            case rvlformat::AskType::Audio: prepare.sound(ask.media, source.media, tr("the sound"), where); break;
            case rvlformat::AskType::Video:
                if (!source.soundFromVideo)
                    prepare.sound(ask.media, source.audio,
                                  format(tr("the sound track \"%s\""), shownPath(source.audio).c_str()), where);
                prepare.video(ask.video, source.video, where, source.fit != Fit::Stretch);
                break;
            default: break;
            }
        }
    }
}

} // namespace rvlpack

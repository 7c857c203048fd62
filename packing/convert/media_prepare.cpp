// The media step of build: the reader's decoders decide what is kept, and
// the FFmpeg and SDL_image conversions make the rest.
#include "packing/convert/media_prepare.h"

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
    std::vector<Issue>& issues;

    void note(const std::string& where, const std::string& text) { addIssue(issues, Severity::Note, where, text); }
    void error(const std::string& where, const std::string& text) { addIssue(issues, Severity::Error, where, text); }

    // what: "the sound", or the sound track with its file, which the place
    // (naming the video) does not name.
    void sound(std::vector<uint8_t>& block, const std::string& file, const std::string& what,
               const std::string& where) {
        if (block.empty() || readerPlaysSound(block)) return;
        std::vector<uint8_t> ogg;
        SoundFacts from, to;
        std::string why;
        ProgressLine progress(file);
        // A sound FFmpeg cannot decode either stays, and the check warns about it.
        if (convertSound(block, ogg, from, to, why, [&](double f) { progress.update(f); }) != SoundOutcome::Converted)
            return;
        note(where, "converted " + what + " (" + describeSound(from) + ", " + byteSize(block.size()) + ") to " +
                        describeSound(to) + ", " + byteSize(ogg.size()));
        block.swap(ogg);
    }

    void soundFromVideo(Question& ask, const std::string& file, const std::string& where) {
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
            ask.media.swap(ogg);
        }
    }

    void picture(std::vector<uint8_t>& block, const std::string& where) {
        if (block.empty()) return;
        std::vector<uint8_t> converted;
        PictureFacts from, to;
        std::string why;  // a picture that does not decode is left to the check's warning
        PictureOutcome outcome = preparePicture(block, windowWidth, windowHeight, converted, from, to, why);
        if (outcome == PictureOutcome::Converted) {
            note(where, "converted the picture (" + describePicture(from) + ", " + byteSize(block.size()) +
                            ") to " + describePicture(to) + ", " + byteSize(converted.size()));
            block.swap(converted);
        }
    }

    void warnStretched(const std::string& where, double aspect) {
        addIssue(issues, Severity::Warning, where,
                 "the video has a display aspect ratio of " + aspectText(aspect) +
                     " and will be stretched to 4:3; to pad it with black instead, give it the fit letterbox"
                     " (\"fit\": \"letterbox\" in a manifest, letterbox in a table's fit column)");
    }

    void video(std::vector<uint8_t>& block, const std::string& file, const std::string& where, bool letterbox) {
        if (block.empty()) return;
        VideoFacts facts;
        std::string why;
        bool known = readVideoFacts(block, facts, why);
        bool widthOff = known && aspectOffWindow(facts.aspect);
        bool opens = readerOpensVideo(block);
        if (opens && !(letterbox && widthOff)) {
            if (widthOff) warnStretched(where, facts.aspect);
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
        if (!letterbox && aspectOffWindow(from.aspect)) warnStretched(where, from.aspect);
        block.swap(converted);
    }

    static std::string aspectText(double aspect) {
        char text[32];
        snprintf(text, sizeof text, "%.2f (4:3 is 1.33)", aspect);
        return text;
    }
};

} // namespace

void prepareMedia(Module& module, const ManifestMedia& sources, std::vector<Issue>& issues) {
    av_log_set_level(AV_LOG_QUIET);  // what fails is reported once, in the tool's own words
    Preparer prepare{issues};
    for (size_t t = 0; t < module.topics.size() && t < sources.questions.size(); ++t) {
        for (size_t q = 0; q < module.topics[t].questions.size() && q < sources.questions[t].size(); ++q) {
            Question& ask = module.topics[t].questions[q];
            const MediaSource& source = sources.questions[t][q];
            if (source.failed) continue;
            std::string where = questionLabel(t, q, ask.question, mainFile(source));
            std::string fit = source.fit.empty() ? sources.fit : source.fit;
            if (rvlformat::carriesVideo(ask.type) && source.soundFromVideo) prepare.soundFromVideo(ask, source.video, where);
            if (fit == "none") continue;
            switch (rvlformat::askType(ask.type)) {
            case rvlformat::AskType::Picture: prepare.picture(ask.media, where); break;
            case rvlformat::AskType::Audio: prepare.sound(ask.media, source.media, "the sound", where); break;
            case rvlformat::AskType::Video:
                if (!source.soundFromVideo)
                    prepare.sound(ask.media, source.audio, "the sound track \"" + shownPath(source.audio) + "\"", where);
                prepare.video(ask.video, source.video, where, fit == "letterbox");
                break;
            default: break;
            }
        }
    }
}

} // namespace rvlpack

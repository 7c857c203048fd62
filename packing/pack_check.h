// SPDX-License-Identifier: GPL-3.0-or-later
// Warnings about a module that the format holds but the reader will show
// badly: media its decoders reject, texts wider than their place on screen,
// questions the board has no cell for. Uses the reader's own libraries.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "board/geometry.h"
#include "packing/findings.h"
#include "packing/manifest.h"
#include "packing/module_writer.h"
#include "packing/pack_reader.h"

namespace rvlpack {

// What the reader will show badly, counted for a build's closing summary.
struct ShownBadly {
    size_t wideQuestions = 0, wideAnswers = 0, wideTopics = 0;
};

struct CheckOptions {
    // Directory holding Brush.ttf and FuturaC.ttf, the reader's fonts; empty
    // skips the text checks (widths, characters the fonts lack).
    std::string fontDir;
    // Whether the reader will stretch a stored video to 4:3, with its display
    // aspect; unset skips that check. The pack tool gives its video probe.
    std::function<bool(const std::vector<uint8_t>& video, double& aspect)> stretchedVideo;
    // How to have such a video padded instead, in the words of the input.
    ShownBadly* counts = nullptr;  // counted into when given
    std::string letterboxRemedy = "build the pack again from its table or manifest, which pads it with black";
};

// The reader's screen: window, the width a topic name has in its row, and
// the questions of a topic the grid shows at once.
constexpr int windowWidth = screenWidth;
constexpr int windowHeight = screenHeight;
constexpr int topicRowWidth = boardgeo::panelWidth() - topicTextIndent;
constexpr size_t boardQuestions = size_t(boardgeo::gridColumns) * size_t(boardgeo::visibleGridRows());

// A PNG without its IEND chunk, a JPEG without an end marker after its
// scan: the decoders show what they have (the rest grey) and say nothing.
bool pictureCutShort(const std::vector<uint8_t>& bytes);

// Appends warnings (and notes) about module to issues. With sources (a
// build), messages name each question's files, and the media of questions
// that already failed are not looked at.
void checkModule(const Module& module, const CheckOptions& options, std::vector<Finding>& issues,
                 const ManifestMedia* sources = nullptr);

// The same check fed part by part, in file order, so that a reader of a large
// pack can drop each question's media once it has been checked.
class ModuleChecker {
public:
    ModuleChecker(const CheckOptions& options, std::vector<Finding>& issues);
    ~ModuleChecker();
    void topic(size_t index, const std::wstring& name, size_t questionCount);
    void question(size_t topicIndex, size_t index, const Question& ask, const MediaSource* source = nullptr);
    void finish(size_t topicCount, size_t trailingBytes);

private:
    struct State;
    std::unique_ptr<State> state_;
};

struct PackCounts {
    size_t topics = 0, questions = 0;
    uint64_t bytes = 0;
};

// Checks the pack at path while reading it once: each question's media are
// read, checked and dropped in turn, so at most one question's blocks are
// held. False, with failure set and issues untouched, when the file is no
// readable module.
bool checkPackFile(const std::string& path, const CheckOptions& options, std::vector<Finding>& issues,
                   PackCounts& counts, ReadFailure* failure);

} // namespace rvlpack

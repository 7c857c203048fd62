// Warnings about a module that the format holds but the reader will show
// badly: media its decoders reject, texts wider than their place on screen,
// questions the board has no cell for. Uses the reader's own libraries.
#pragma once

#include <string>
#include <vector>

#include "board/geometry.h"
#include "packing/issues.h"
#include "packing/module_writer.h"

namespace rvlpack {

struct CheckOptions {
    // Directory holding Brush.ttf and FuturaC.ttf, the reader's fonts; empty
    // skips the text width checks.
    std::string fontDir;
};

// The reader's screen: window, the width a topic name has in its row, and
// the questions of a topic the grid shows at once.
constexpr int windowWidth = screenWidth;
constexpr int windowHeight = screenHeight;
constexpr int topicRowWidth = boardgeo::panelWidth() - topicTextIndent;
constexpr size_t boardQuestions = size_t(boardgeo::gridColumns) * size_t(boardgeo::visibleGridRows());

// Appends warnings (and notes) about module to issues.
void checkModule(const Module& module, const CheckOptions& options, std::vector<Issue>& issues);

} // namespace rvlpack

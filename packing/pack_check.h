// Warnings about a module that the format holds but the reader will show
// badly: media its decoders reject, texts wider than their place on screen,
// questions the board has no cell for. Uses the reader's own libraries.
#pragma once

#include <string>
#include <vector>

#include "packing/issues.h"
#include "packing/module_writer.h"

namespace rvlpack {

struct CheckOptions {
    // Directory holding Brush.ttf and FuturaC.ttf, the reader's fonts; empty
    // skips the text width checks.
    std::string fontDir;
};

// The reader's screen: window, topic row.
const int windowWidth = 1024;
const int windowHeight = 768;
const int topicRowWidth = 340;  // the topic panel (350) less the name's indent (10)
const size_t boardQuestions = 20;

// Appends warnings (and notes) about module to issues.
void checkModule(const Module& module, const CheckOptions& options, std::vector<Issue>& issues);

} // namespace rvlpack

// SPDX-License-Identifier: GPL-3.0-or-later
// Build's media step: turns the media a host has into what the reader plays
// well, question by question, before the pack is checked and written.
#pragma once

#include <vector>

#include "packing/findings.h"
#include "packing/manifest.h"
#include "packing/module_writer.h"

namespace rvlpack {

// Converts, in module, what the reader would refuse or show badly: sounds
// its decoder cannot play become Ogg Vorbis, a video question without
// "audio" gets its video's sound, pictures are turned upright and fitted to
// the window, videos its capture cannot open (or asked to be letterboxed)
// are re-encoded. Each conversion is noted in issues; what cannot be done is
// an error naming the file.
void prepareMedia(Module& module, const ManifestMedia& sources, std::vector<Finding>& issues);

} // namespace rvlpack

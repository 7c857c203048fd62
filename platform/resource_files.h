// SPDX-License-Identifier: GPL-3.0-or-later
// The resource files the reader opens, by path relative to its working
// directory, the point sizes at which it opens its two fonts, and the card's
// answer line.
#pragma once

#include <string>

namespace resource {

inline constexpr char directory[] = "res";
inline constexpr char backgroundPicture[] = "res/bg.png";
inline constexpr char speakerPicture[] = "res/sk.png";
// The face of the selection screen and of all board text.
inline constexpr char boardFont[] = "res/FuturaC.ttf";
// The face of the question card.
inline constexpr char cardFont[] = "res/Brush.ttf";

inline constexpr int selectionTextSize = 40;
inline constexpr int headerLabelSize = 140;
inline constexpr int pointsSize = 196;
inline constexpr int topicNameSize = 64;
inline constexpr int cardTextSize = 70;
// The card's answer line: this, then the answer.
inline constexpr wchar_t answerPrefix[] = L"Ответ: ";

// The same file in another directory (the pack tool looks for the fonts in
// one it is given).
inline std::string inDirectory(const std::string& dir, const char* path) {
    return dir + "/" + (path + sizeof directory);
}

} // namespace resource

// SPDX-License-Identifier: GPL-3.0-or-later
// The saved game as a file: which pack it belongs to (a key made from the
// loaded pack's content), and the game's lasting state as JSON.
#pragma once

#include <string>
#include <vector>

#include "game/game.h"
#include "module/records.h"

namespace game {

// SHA-256, in hex, of the pack's content as loaded: header texts, topic
// names, question types, texts and points, and each media block's length.
// Made from the records in memory, before any question has been played.
std::string packKey(const std::vector<Ravlin::RM_Reader::RM_Topic>& topics, const std::wstring& packName,
                    const std::wstring& author);

// The points of every question, as the game model wants them.
PackShape packShape(const std::vector<Ravlin::RM_Reader::RM_Topic>& topics);

// The teams, scores, bindings and played questions, with the pack's key and
// the game's command count.
std::string gameToJson(const Game& g, const std::string& key);

// Reads a saved game back for g's pack. False with the reason when the text
// does not parse, is not a game of this pack, or names what the pack lacks.
bool gameFromJson(const std::string& text, const Game& g, const std::string& key, Game::State& out,
                  std::string& why);

// The command count a saved game carries; -1 when it has none.
int64_t savedSequence(const std::string& text);

} // namespace game

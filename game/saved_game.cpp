// SPDX-License-Identifier: GPL-3.0-or-later
// The saved game's JSON (nlohmann/json) and the pack key (nettle's SHA-256).
#include "game/saved_game.h"

#include <nettle/sha2.h>

#include <nlohmann/json.hpp>

namespace game {

using Ravlin::RM_Reader::RM_Topic;
using nlohmann::json;

namespace {

constexpr int fileFormat = 1;

// Feeds the hash fixed-width little-endian numbers and length-prefixed
// texts, so that no two different packs feed it the same bytes.
struct Hasher {
    sha256_ctx ctx;
    Hasher() { sha256_init(&ctx); }
    void number(uint64_t v) {
        uint8_t bytes[8];
        for (int i = 0; i < 8; ++i) bytes[i] = uint8_t(v >> (8 * i));
        sha256_update(&ctx, sizeof bytes, bytes);
    }
    void text(const std::wstring& s) {
        number(s.size());
        for (wchar_t c : s) {
            const uint8_t unit[2] = {uint8_t(c & 0xFF), uint8_t((uint32_t(c) >> 8) & 0xFF)};
            sha256_update(&ctx, 2, unit);
        }
    }
    std::string hex() {
        uint8_t digest[SHA256_DIGEST_SIZE];
        sha256_digest(&ctx, sizeof digest, digest);
        static const char digits[] = "0123456789abcdef";
        std::string out;
        for (uint8_t b : digest) {
            out += digits[b >> 4];
            out += digits[b & 15];
        }
        return out;
    }
};

} // namespace

std::string packKey(const std::vector<RM_Topic>& topics, const std::wstring& packName, const std::wstring& author) {
    Hasher h;
    h.text(packName);
    h.text(author);
    h.number(topics.size());
    for (const RM_Topic& topic : topics) {
        h.text(topic.name);
        h.number(topic.asks.size());
        for (const auto& ask : topic.asks) {
            h.number(uint8_t(ask.type));
            h.text(ask.question);
            h.text(ask.answer);
            h.number(ask.points);
            h.number(ask.mediaSize);
            h.number(ask.videoSize);
        }
    }
    return h.hex();
}

PackShape packShape(const std::vector<RM_Topic>& topics) {
    PackShape shape;
    for (const RM_Topic& topic : topics) {
        shape.emplace_back();
        for (const auto& ask : topic.asks) shape.back().push_back(ask.points);
    }
    return shape;
}

std::string gameToJson(const Game& g, const std::string& key) {
    const Game::State& s = g.state();
    json teams = json::array(), played = json::array(), bindings = json::array();
    for (const Team& t : s.teams) teams.push_back({{"name", t.name}, {"score", t.score}});
    for (const QuestionRef& q : s.played) played.push_back({q.topic, q.question});
    for (const Binding& b : s.bindings)
        bindings.push_back({{"device", b.device}, {"button", b.button}, {"team", b.team}});
    json doc = {{"format", fileFormat}, {"pack", key},         {"sequence", g.sequence()},
                {"teams", teams},       {"played", played},     {"bindings", bindings}};
    // Names the user typed may hold bytes that are not UTF-8; they are
    // replaced rather than failing the save.
    return doc.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}

bool gameFromJson(const std::string& text, const Game& g, const std::string& key, Game::State& out,
                  std::string& why) {
    json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
        why = "not a saved game (it does not parse as JSON)";
        return false;
    }
    try {
        if (doc.at("format").get<int>() != fileFormat) {
            why = "a saved game of another format";
            return false;
        }
        if (doc.at("pack").get<std::string>() != key) {
            why = "a saved game of another pack";
            return false;
        }
        Game::State s;
        for (const json& t : doc.at("teams")) s.teams.push_back(Team{t.at("name"), t.at("score")});
        for (const json& q : doc.at("played")) {
            if (!q.is_array() || q.size() != 2) throw std::runtime_error("played");
            s.played.push_back(QuestionRef{q.at(0), q.at(1)});
        }
        for (const json& b : doc.at("bindings")) s.bindings.push_back(Binding{b.at("device"), b.at("button"), b.at("team")});
        std::string problem = g.stateProblem(s);
        if (!problem.empty()) {
            why = problem;
            return false;
        }
        out = std::move(s);
        return true;
    } catch (const json::exception&) {
    } catch (const std::runtime_error&) {
    }
    why = "not a saved game (a field is missing or of the wrong kind)";
    return false;
}

int64_t savedSequence(const std::string& text) {
    json doc = json::parse(text, nullptr, false);
    if (!doc.is_object() || !doc.contains("sequence") || !doc["sequence"].is_number_unsigned()) return -1;
    return doc["sequence"].get<int64_t>();
}

} // namespace game

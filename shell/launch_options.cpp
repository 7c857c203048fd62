// SPDX-License-Identifier: GPL-3.0-or-later
// Command-line parsing with CLI11 (Debian's libcli11-dev, header only): it
// gives --help, typed values and one error per bad argument; its messages
// are folded into one line here.
#include "shell/launch_options.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <iostream>

#include "game/game.h"

#ifndef RVL_VERSION
#define RVL_VERSION "0"
#endif

std::string absolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    std::string here;
    std::string buf(4096, '\0');
    while (!getcwd(&buf[0], buf.size())) {
        if (errno != ERANGE) return path;
        buf.resize(buf.size() * 2);
    }
    here = buf.c_str();
    std::string relative = path;
    while (relative.compare(0, 2, "./") == 0) relative.erase(0, 2);
    if (relative == ".") relative.clear();
    return here == "/" ? "/" + relative : here + "/" + relative;
}

std::vector<std::string> splitTeamNames(const std::string& list) {
    std::vector<std::string> names;
    size_t from = 0;
    for (;;) {
        size_t comma = list.find(',', from);
        std::string name = list.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        // Spaces around a name are the list's, not the name's.
        size_t first = name.find_first_not_of(' ');
        size_t last = name.find_last_not_of(' ');
        names.push_back(first == std::string::npos ? "" : name.substr(first, last - first + 1));
        if (comma == std::string::npos) return names;
        from = comma + 1;
    }
}

int parseLaunchOptions(int argc, char** argv, LaunchOptions& options) {
    CLI::App app{"Reader and player of quiz-game modules (*.rvl).", "rvl-reader"};
    app.set_version_flag("--version", "rvl-reader " RVL_VERSION);
    app.add_flag("--fullscreen", options.fullscreen,
                 "Fill the screen: the 1024x768 picture scaled up, aspect ratio kept");
    app.add_option("--display", options.display, "Open the window on display N, counted from 0")->type_name("N");
    app.add_flag("--vsync", options.vsync, "Wait for the display refresh instead of drawing as fast as possible");
    std::string teams;
    app.add_option("--teams", teams, "Run the game: 2 to 8 team names, separated by commas")->type_name("NAMES");
    app.add_flag("--resume", options.resume, "Continue the saved game of this pack");
    app.add_option("--host-display", options.hostDisplay,
                   "Game mode: open the host's own screen on display N, counted from 0")
        ->type_name("N")
        ->check(CLI::NonNegativeNumber);
    app.footer("Every start shows a box titled \"Error\" saying \"Device not found!\". It is expected, nothing\n"
               "is wrong: press Enter. A PACK that is refused is shown in an error box before the empty board.\n"
               "See rvl-reader(1).");
    std::string pack;
    app.add_option("PACK", pack, "Open this pack directly instead of showing the selection screen");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForVersion&) {
        std::cout << "rvl-reader " RVL_VERSION << std::endl;
        return 0;
    } catch (const CLI::Success&) {
        std::cout << app.help() << std::flush;
        return 0;
    } catch (const CLI::ParseError& e) {
        std::string line = e.what();
        for (char& c : line)
            if (c == '\n') c = ' ';
        std::cerr << "rvl-reader: " << line << " (see rvl-reader --help)" << std::endl;
        return 2;
    }
    if (app.count("--teams")) {
        options.teams = splitTeamNames(teams);
        std::string problem = game::teamListProblem(options.teams);
        if (!problem.empty()) {
            std::cerr << "rvl-reader: --teams: " << problem << " (see rvl-reader --help)" << std::endl;
            return 2;
        }
    }
    if (options.hostDisplay >= 0 && !options.gameMode()) {
        std::cerr << "rvl-reader: --host-display needs a game: give --teams or --resume (see rvl-reader --help)"
                  << std::endl;
        return 2;
    }
    options.hasPack = app.count("PACK") > 0;
    if (options.hasPack) options.pack = absolutePath(pack);
    return -1;
}

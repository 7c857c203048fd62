// Command-line parsing with CLI11 (Debian's libcli11-dev, header only): it
// gives --help, typed values and one error per bad argument; its messages
// are folded into one line here.
#include "shell/launch_options.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <iostream>

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

int parseLaunchOptions(int argc, char** argv, LaunchOptions& options) {
    CLI::App app{"Reader and player of quiz-game modules (*.rvl).", "rvl-reader"};
    app.set_version_flag("--version", "rvl-reader " RVL_VERSION);
    app.add_flag("--fullscreen", options.fullscreen,
                 "Fill the screen: the 1024x768 picture scaled up, aspect ratio kept");
    app.add_option("--display", options.display, "Open the window on display N, counted from 0")->type_name("N");
    app.add_flag("--vsync", options.vsync, "Wait for the display refresh instead of drawing as fast as possible");
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
    options.hasPack = app.count("PACK") > 0;
    if (options.hasPack) options.pack = absolutePath(pack);
    return -1;
}

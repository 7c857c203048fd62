// SPDX-License-Identifier: GPL-3.0-or-later
// The application object: start-up, frame loop and shutdown.
#pragma once

#include "shell/launch_options.h"

class App {
public:
    App();
    // Without options: the start-up of a reader run without arguments.
    void init(const LaunchOptions& options = LaunchOptions{});
    void run();
    void handleEvents();
    void update();
    void render();
    void shutdown();
};

// Shows an error box (parent: the main window, if any) and ends the process
// with status 0, as every start-up failure does.
[[noreturn]] void failStartup(const char* title, const char* text);

// The application object: start-up, frame loop and shutdown.
#pragma once

class App {
public:
    App();
    void init();
    void run();
    void handleEvents();
    void update();
    void render();
    void shutdown();
};

// Shows an error box (parent: the main window, if any) and ends the process
// with status 0, as every start-up failure does.
[[noreturn]] void failStartup(const char* title, const char* text);

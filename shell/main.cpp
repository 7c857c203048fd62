// Entry point of the reader: locale and console first, then the one App.
#include "platform/console.h"
#include "platform/locale.h"
#include "shell/app.h"

int main(int, char**) {
    setRussianLocale();
    installUtf8Console();
    App engine;
    engine.init();
    engine.run();
    engine.shutdown();
    return 0;
}

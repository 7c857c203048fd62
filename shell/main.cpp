// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point of the reader: locale, command line and console first, then
// the one App.
#include <iostream>
#include <string>

#include "platform/console.h"
#include "platform/locale.h"
#include "platform/user_run_directory.h"
#include "presentation/video_module.h"
#include "shell/app.h"
#include "shell/launch_options.h"

int main(int argc, char** argv) {
    setRussianLocale();
    // Options are read before anything else, so a bad command line ends the
    // reader before any window; PACK is made absolute before the working
    // directory may change.
    LaunchOptions options;
    if (argc > 1) {
        int status = parseLaunchOptions(argc, argv, options);
        if (status >= 0) return status;
    }
    InstalledFiles installed;
    if (findInstalledFiles(installed)) {
        static const std::string videoModule = installed.libraries + "/rvl-video.so";
        videoModulePath = videoModule.c_str();
        std::string error;
        if (!enterUserRunDirectory(installed, error)) std::cerr << "rvl-reader: " << error << std::endl;
    }
    installUtf8Console();
    App engine;
    engine.init(options);
    engine.run();
    engine.shutdown();
    return 0;
}

// Console listing of the loaded module.
#pragma once

void printModule();

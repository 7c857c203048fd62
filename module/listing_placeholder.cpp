// PLACEHOLDER until the console listing lands.
#include "module/listing.h"

void printModule() {}

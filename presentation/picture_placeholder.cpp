// PLACEHOLDER until this presentation lands.
#include "presentation/presentations.h"

void showImageAsk(unsigned char*, uint32_t) {}

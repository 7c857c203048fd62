// PLACEHOLDER until this presentation lands.
#include "presentation/presentations.h"

void playVideoAsk(unsigned char*, uint32_t, unsigned char*, uint32_t) {}

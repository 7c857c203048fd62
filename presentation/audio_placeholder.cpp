// PLACEHOLDER until this presentation lands.
#include "presentation/presentations.h"

void playAudioAsk(unsigned char*, uint32_t) {}

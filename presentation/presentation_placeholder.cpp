// PLACEHOLDER until the presentations land.
#include "presentation/presentations.h"

TTF_Font* cardFont = nullptr;

void showAskCard(const std::wstring&, const std::wstring&) {}
void showImageAsk(unsigned char*, uint32_t) {}
void playAudioAsk(unsigned char*, uint32_t) {}
void playVideoAsk(unsigned char*, uint32_t, unsigned char*, uint32_t) {}

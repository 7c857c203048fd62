// PLACEHOLDER until this presentation lands.
#include "presentation/presentations.h"

TTF_Font* cardFont = nullptr;
void showAskCard(const std::wstring&, const std::wstring&) {}

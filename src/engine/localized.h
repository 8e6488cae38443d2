#pragma once

#include <string>

namespace nimbrel {

// The engine returns English texts through this hook; the application points it at its
// translator. Without a translator the English text is returned as it stands.
using Translator = std::string (*)(const char* english);

void setTranslator(Translator translator);
std::string localized(const char* english);

}  // namespace nimbrel

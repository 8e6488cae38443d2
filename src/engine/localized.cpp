#include "engine/localized.h"

#include <atomic>

namespace nimbrel {

namespace {
std::atomic<Translator> currentTranslator{nullptr};
}

void setTranslator(Translator translator) {
    currentTranslator.store(translator);
}

std::string localized(const char* english) {
    if (Translator t = currentTranslator.load()) return t(english);
    return english;
}

}  // namespace nimbrel

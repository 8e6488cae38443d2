#pragma once

#include <QFont>

#include "theme/fonts.h"

namespace nimbrel {

// The two shared text styles; every other size is given where its view is drawn.
struct Typo {
    static QFont caption() { return Fonts::font(11, FontWeight::medium); }
    static QFont micro() { return Fonts::font(10, FontWeight::semibold); }
};

}  // namespace nimbrel

#include "theme/fonts.h"

#include <QDirIterator>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace nimbrel {

bool Fonts::install() {
    static const bool ok = [] {
        bool all = true;
        int count = 0;
        QDirIterator it(QStringLiteral(":/fonts"), {QStringLiteral("*.otf"), QStringLiteral("*.ttf")});
        while (it.hasNext()) {
            ++count;
            if (QFontDatabase::addApplicationFont(it.next()) < 0) all = false;
        }
        return all && count > 0;
    }();
    return ok;
}

double Fonts::pointSizeFor(double size) {
    double dpi = 96.0;
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (QScreen* screen = app->primaryScreen()) dpi = screen->logicalDotsPerInchY();
    }
    return size * 72.0 / dpi;
}

QFont::Weight Fonts::qtWeight(FontWeight weight) {
    switch (weight) {
        case FontWeight::ultraLight:
            return QFont::ExtraLight;
        case FontWeight::thin:
            return QFont::Thin;
        case FontWeight::light:
            return QFont::Light;
        case FontWeight::regular:
            return QFont::Normal;
        case FontWeight::medium:
            return QFont::Medium;
        case FontWeight::semibold:
            return QFont::DemiBold;
        case FontWeight::bold:
            return QFont::Bold;
        case FontWeight::heavy:
            return QFont::ExtraBold;
        case FontWeight::black:
            return QFont::Black;
    }
    return QFont::Normal;
}

namespace {

void setSize(QFont& f, double size) {
    // Qt rounds every font to a whole pixel size, so 11.5 would draw as 12. A fractional size takes
    // the whole size below and is widened to its width; its heights are those the vertical hinting
    // snaps the fractional size to anyway.
    const double whole = std::floor(size);
    if (whole < 1 || whole == size) {
        f.setPointSizeF(Fonts::pointSizeFor(size));
        return;
    }
    f.setPointSizeF(Fonts::pointSizeFor(whole));
    f.setStretch(int(std::lround(size / whole * 100)));
}

}  // namespace

double Fonts::size(const QFont& f) {
    const int stretch = f.stretch() > 0 ? f.stretch() : 100;
    return f.pointSizeF() / pointSizeFor(1) * stretch / 100.0;
}

QFont Fonts::font(double size, FontWeight weight, FontDesign design) {
    install();
    QFont f(QString::fromLatin1(design == FontDesign::rounded ? kRoundedFamily : kStandardFamily));
    setSize(f, size);
    f.setWeight(qtWeight(weight));
    f.setHintingPreference(QFont::PreferVerticalHinting);
    return f;
}

QFont Fonts::symbolFont(double pixelSize) {
    install();
    QFont f(QString::fromLatin1(kSymbolFamily));
    setSize(f, pixelSize);
    return f;
}

}  // namespace nimbrel

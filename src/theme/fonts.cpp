#include "theme/fonts.h"

#include <QDirIterator>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

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

QFont Fonts::font(double size, FontWeight weight, FontDesign design) {
    install();
    QFont f(QString::fromLatin1(design == FontDesign::rounded ? kRoundedFamily : kStandardFamily));
    f.setPointSizeF(pointSizeFor(size));
    f.setWeight(qtWeight(weight));
    f.setHintingPreference(QFont::PreferVerticalHinting);
    return f;
}

QFont Fonts::symbolFont(double pixelSize) {
    install();
    QFont f(QString::fromLatin1(kSymbolFamily));
    f.setPointSizeF(pointSizeFor(pixelSize));
    return f;
}

}  // namespace nimbrel

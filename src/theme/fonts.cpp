#include "theme/fonts.h"

#include <QDirIterator>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <vector>

namespace nimbrel {

namespace {

struct Face {
    int weight;
    QString family;
};

// The upright faces of each design, lightest first. A face may be a family of its own: Debian's
// rounded fonts register "Quicksand Light" and "Quicksand Medium" beside "Quicksand".
std::vector<Face>& faces(FontDesign design) {
    static std::vector<Face> standard, rounded;
    return design == FontDesign::rounded ? rounded : standard;
}

void addFaces(int id) {
    for (const QString& family : QFontDatabase::applicationFontFamilies(id)) {
        for (FontDesign design : {FontDesign::standard, FontDesign::rounded}) {
            const QLatin1String base(design == FontDesign::rounded ? Fonts::kRoundedFamily
                                                                   : Fonts::kStandardFamily);
            if (family != base && !family.startsWith(base + QLatin1Char(' '))) continue;
            for (const QString& style : QFontDatabase::styles(family)) {
                if (QFontDatabase::italic(family, style)) continue;
                faces(design).push_back({QFontDatabase::weight(family, style), family});
            }
        }
    }
}

// The heaviest face at or below the weight asked for (the lightest face below them all); asking
// the family's own name for a weight it lacks would draw its nearest style instead.
QString familyFor(FontDesign design, QFont::Weight weight) {
    const std::vector<Face>& all = faces(design);
    if (all.empty())
        return QString::fromLatin1(design == FontDesign::rounded ? Fonts::kRoundedFamily
                                                                 : Fonts::kStandardFamily);
    const Face* best = &all.front();
    for (const Face& f : all)
        if (f.weight <= weight) best = &f;
    return best->family;
}

}  // namespace

bool Fonts::install() {
    static const bool ok = [] {
        bool all = true;
        int count = 0;
        QDirIterator it(QStringLiteral(":/fonts"), {QStringLiteral("*.otf"), QStringLiteral("*.ttf")});
        while (it.hasNext()) {
            ++count;
            const int id = QFontDatabase::addApplicationFont(it.next());
            if (id < 0)
                all = false;
            else
                addFaces(id);
        }
        for (FontDesign design : {FontDesign::standard, FontDesign::rounded})
            std::sort(faces(design).begin(), faces(design).end(),
                      [](const Face& a, const Face& b) { return a.weight < b.weight; });
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
    QFont f(familyFor(design, qtWeight(weight)));
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

#include "effect_shots.h"

#include <QPainter>
#include <QVBoxLayout>

#include "shot_capture.h"
#include "theme/animated_value.h"
#include "theme/appearance.h"
#include "theme/backdrop.h"
#include "theme/effect_library.h"
#include "theme/evaporate_effect.h"
#include "theme/fonts.h"
#include "theme/motion.h"
#include "theme/palette.h"
#include "theme/shapes.h"
#include "views/deepclean/safe_header.h"

namespace nimbrel {

namespace {

// A row as the shelves draw one: a card with a name on the left and a size on the right.
class SampleRow : public QWidget {
  public:
    SampleRow(QString name, QString size, QWidget* parent)
        : QWidget(parent), name_(std::move(name)), size_(std::move(size)) {
        setFixedHeight(52);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        p.fillPath(Shapes::rounded(r, 12), QColor(255, 255, 255, 22));
        p.setPen(QColor(255, 255, 255, 40));
        p.drawPath(Shapes::rounded(r, 12));
        p.setBrush(Palette::accent().resolve(Appearance::dark));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(14, 12, 28, 28), 7, 7);
        p.setPen(Palette::ink().resolve(Appearance::dark));
        p.setFont(Fonts::font(13.5, FontWeight::semibold));
        p.drawText(QRectF(56, 0, width() - 200, height()), Qt::AlignVCenter, name_);
        p.setPen(Palette::ink2().resolve(Appearance::dark));
        p.setFont(Fonts::font(13, FontWeight::medium));
        p.drawText(QRectF(0, 0, width() - 16, height()), Qt::AlignVCenter | Qt::AlignRight, size_);
    }

  private:
    QString name_;
    QString size_;
};

}  // namespace

int shootEffects(const QString& outDir) {
    int failures = 0;
    const auto save = [&](QWidget& w, const QString& name) {
        if (!saveShot(w, outDir, name)) ++failures;
    };

    // Rows evaporating at three moments, over the window's backdrop.
    {
        NimbrelBackdrop backdrop;
        AppearanceOf::set(&backdrop, Appearance::dark);
        backdrop.resize(640, 420);
        auto* column = new QVBoxLayout(&backdrop);
        column->setContentsMargins(28, 60, 28, 28);
        column->setSpacing(10);
        const struct {
            const char* name;
            const char* size;
            double progress;
        } rows[] = {{"Xcode_16.xip", "7.94 GB", 0},
                    {"Unity Hub Installer.dmg", "1.14 GB", 0.25},
                    {"Figma.dmg", "420 MB", 0.5},
                    {"Blender-4.2.dmg", "380 MB", 0.75},
                    {"slack-desktop.deb", "82 MB", 0}};
        double seed = 0.17;
        for (const auto& r : rows) {
            auto* row = new SampleRow(QString::fromUtf8(r.name), QString::fromUtf8(r.size), &backdrop);
            column->addWidget(row);
            if (r.progress > 0) {
                auto* effect = new EvaporateEffect(row);
                effect->setSeed(seed += 0.31);
                effect->setProgress(r.progress);
                row->setGraphicsEffect(effect);
            }
        }
        column->addStretch(1);
        backdrop.show();
        save(backdrop, QStringLiteral("evaporate-rows"));
    }

    // The fog over the backdrop, and the fog alone, its light made ten times stronger to be seen.
    {
        NimbrelBackdrop backdrop;
        backdrop.resize(1240, 800);
        backdrop.show();
        save(backdrop, QStringLiteral("fog-backdrop"));
        const QImage fog = EffectLibrary::fog(QSize(1240, 800), FogLayer::kFogConstant);
        QImage strong(fog.size(), QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < fog.height(); ++y)
            for (int x = 0; x < fog.width(); ++x) {
                const int a = std::min(255, qAlpha(fog.pixel(x, y)) * 10);
                strong.setPixel(x, y, qRgba(a * 215 / 255, a * 238 / 255, a, 255));
            }
        const QString path = outDir + QStringLiteral("/fog-alone-x10.png");
        if (strong.scaled(1240, 800, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(path))
            std::printf("%s\n", qPrintable(path));
        else
            ++failures;
    }

    // The safe size rolling from one figure to the next, a third of the way and two thirds.
    {
        const bool instant = AnimatedValue::allInstant();
        AnimatedValue::setAllInstant(false);
        ReduceMotion::setOverride(false);
        NimbrelBackdrop backdrop;
        AppearanceOf::set(&backdrop, Appearance::dark);
        backdrop.resize(760, 120);
        auto* header = new SafeHeader(&backdrop);
        header->setGeometry(32, 24, 700, header->sizeHint().height());
        header->setFigure(QStringLiteral("1.24 GB"));
        header->rolling()->animation().animation().setCurrentTime(100000);
        backdrop.show();
        header->setFigure(QStringLiteral("1.86 GB"));
        QVariantAnimation& roll = header->rolling()->animation().animation();
        roll.pause();
        for (int third : {1, 2}) {
            roll.setCurrentTime(roll.duration() * third / 3);
            save(backdrop, QStringLiteral("rolling-size-%1of3").arg(third));
        }
        roll.setCurrentTime(roll.duration());
        save(backdrop, QStringLiteral("rolling-size-done"));
        ReduceMotion::setOverride(true);
        AnimatedValue::setAllInstant(instant);
    }
    return failures;
}

}  // namespace nimbrel

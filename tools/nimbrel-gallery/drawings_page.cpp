// The drawings of the design system: gauges and loader, badges and file icons, the brand mark and
// the empty state, the steamer with its stains and the steam jet. Animated in the window; the
// offscreen pictures use the frozen clock.
#include <QGridLayout>
#include <QPainter>
#include <QPainterPath>

#include "gallery.h"
#include "theme/badge.h"
#include "theme/empty_state.h"
#include "theme/file_icon_view.h"
#include "theme/gauges.h"
#include "theme/loader.h"
#include "theme/logo.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "theme/steam_jet.h"
#include "theme/steamer.h"
#include "theme/wordmark.h"

namespace nimbrel::gallery {
namespace {

// A plain rounded tile for the drawings that blend with what lies under them.
class Tile : public QWidget {
  public:
    Tile(QColor colour, QSize size, QWidget* parent = nullptr) : QWidget(parent), colour_(colour) {
        setFixedSize(size);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(colour_);
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    }

  private:
    QColor colour_;
};

QWidget* fixedWidth(QWidget* w, int width) {
    w->setFixedWidth(width);
    return w;
}

QWidget* gaugeGrid() {
    auto* body = new QWidget;
    auto* grid = new QGridLayout(body);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(10);
    const double fractions[] = {0, 0.3, 0.6, 0.9, 0.95, 1.3, -0.2};
    int i = 0;
    for (double f : fractions) {
        const QString text = QString::number(f);
        grid->addWidget(labelled(fixedWidth(new LiquidGauge(f, 18), 120), "liquid " + text), i / 4 * 2,
                        i % 4);
        grid->addWidget(labelled(fixedWidth(new MoltenBar(f, 6), 120), "molten " + text), i / 4 * 2 + 1,
                        i % 4);
        ++i;
    }
    return body;
}

QWidget* indicatorsPage(Appearance a) {
    return column(
        {section("Liquid gauges and molten bars", gaugeGrid()),
         section("More bars",
                 row({labelled(fixedWidth(new MoltenBar(0.001, 6), 120), "molten 0.001"),
                      labelled(fixedWidth(new MoltenBar(0.45, 8, Palette::magma()), 120), "tint magma"),
                      labelled(fixedWidth(new LiquidGauge(0.5, 36), 250), "liquid 0.5, 36 high")})),
         section("Loader", row({labelled(new NimbrelLoader(14), "14"), labelled(new NimbrelLoader(24), "24"),
                                labelled(new NimbrelLoader(40), "40")})),
         section(
             "Badges",
             row({new Badge("node_modules", Palette::accent().resolve(a), Palette::accent().resolve(a)),
                  new Badge("Twin", Palette::honey(), Palette::honeyInk().resolve(a)),
                  new RiskBadge({Risk::Level::caution, "Cache", "Apps rebuild caches when they need them."}),
                  new RiskBadge({Risk::Level::normal, "", ""}),
                  new RiskBadge({Risk::Level::danger, "App data", "Apps keep settings and documents here."})},
                 8)),
         section("File icons", row({labelled(new FileIconView("/home", false, true, 32), "folder"),
                                    labelled(new FileIconView("/x/film.mkv", false, false, 32), "video"),
                                    labelled(new FileIconView("/x/song.flac", false, false, 32), "audio"),
                                    labelled(new FileIconView("/x/notes.pdf", false, false, 32), "document"),
                                    labelled(new FileIconView("/x/main.cpp", false, false, 32), "code"),
                                    labelled(new FileIconView("/x/Thing.app", true, true, 32), "package"),
                                    labelled(new FileIconView("/x/README", false, false, 32), "other")}))},
        22);
}

QWidget* brandPage(Appearance) {
    auto* actionsOne = new NimbrelButton(QObject::tr("Scan a Folder"), NimbrelButton::Kind::primary);
    auto* actionsTwo = new NimbrelButton(QObject::tr("Show Filters"), NimbrelButton::Kind::secondary);
    auto* empty =
        new EmptyState(QObject::tr("Nothing to clean here"),
                       QObject::tr("Everything in this folder is either in use or too small to matter. "
                                   "Scan another folder, or widen the filters to see more."),
                       {actionsOne, actionsTwo});
    empty->setFixedSize(520, 340);
    auto* quiet = new EmptyState(QObject::tr("No twins"), QObject::tr("Every file here is one of a kind."));
    quiet->setFixedSize(520, 240);
    return column(
        {section("Logo", row({labelled(new NimbrelLogo(22), "22"), labelled(new NimbrelLogo(54), "54"),
                              labelled(new NimbrelLogo(96), "96")},
                             24)),
         section("Wordmark", row({new Wordmark})), section("Empty state with actions", empty),
         section("Empty state without actions", quiet)},
        22);
}

// Tiles with a steamer blowing steam at one of them, as the explorer shows it; the jet is aimed
// from the nozzle of the frame being drawn.
class JetStage : public QWidget {
  public:
    JetStage() {
        setFixedSize(560, 230);
        const QColor colours[] = {QColor(60, 90, 120), QColor(90, 70, 120), QColor(70, 110, 90),
                                  QColor(120, 90, 60)};
        for (int i = 0; i < 4; ++i)
            (new Tile(colours[i], QSize(130, 100), this))->move(4 + i * 138, 122);
        steamer_ = new FlatSteamer(0.7, true, this);
        steamer_->setGeometry(QRect(QPoint(30, -6), steamer_->sizeHint()));
        jet_ = new SteamJet(this);
        jet_->setGeometry(rect());
        jet_->setActive(true);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        const QPointF nozzle = steamer_->drawingTransform().map(QPointF(7.75, 48));
        jet_->aim(QPointF(steamer_->pos()) + nozzle, QPointF(345, 170));
    }

  private:
    FlatSteamer* steamer_;
    SteamJet* jet_;
};

QWidget* stainTile(int seed) {
    auto* tile = new Tile(QColor(236, 232, 222), QSize(64, 64));
    (new Stain(seed, tile))->setGeometry(12, 12, 40, 40);
    return labelled(tile, QStringLiteral("seed %1").arg(seed));
}

QWidget* steamerPage(Appearance) {
    return column({section("Steamer", row({labelled(new FlatSteamer(0, false), "water 0, at rest"),
                                           labelled(new FlatSteamer(0.5, false), "water 0.5, at rest"),
                                           labelled(new FlatSteamer(1, true), "water 1, jetting")},
                                          4)),
                   section("Stains", row({stainTile(0), stainTile(1), stainTile(2), stainTile(3)})),
                   section("Steam jet", new JetStage)},
                  22);
}

const bool registeredIndicators = registerPage({QStringLiteral("indicators"), 40, indicatorsPage});
const bool registeredBrand = registerPage({QStringLiteral("brand"), 41, brandPage});
const bool registeredSteamer = registerPage({QStringLiteral("steamer"), 42, steamerPage});

}  // namespace
}  // namespace nimbrel::gallery

#include "views/space/tile_painter.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QRadialGradient>
#include <QTextBoundaryFinder>
#include <QWidget>
#include <cmath>

#include "theme/badge.h"
#include "theme/chip.h"
#include "theme/drawing_timeline.h"
#include "theme/file_icon_view.h"
#include "theme/fixed_digits.h"
#include "theme/fonts.h"
#include "theme/gauges.h"
#include "theme/loader.h"
#include "theme/palette.h"
#include "theme/rolling_text.h"
#include "theme/shapes.h"
#include "theme/steamer.h"
#include "theme/symbols.h"
#include "util/fmt.h"

namespace nimbrel {

namespace {

using Cond = ExplorerTile::Condition;

QColor ink(const QWidget* w) {
    return Palette::ink().resolve(w);
}
QColor ink3(const QWidget* w) {
    return Palette::ink3().resolve(w);
}

}  // namespace

QStringList TilePainter::nameLines(const QString& text, const QFont& font, double width) {
    const QFontMetricsF fm(font);
    if (fm.horizontalAdvance(text) <= width) return {text};
    // File names join their words with underscores and dots as often as with spaces and hyphens.
    // A break goes at the last place of the first kind that leaves a first line that fits: after
    // a space, hyphen or underscore (or where the script allows one); after a dot other than the
    // extension's; before the extension; anywhere.
    const qsizetype lastDot = text.lastIndexOf(u'.');
    QTextBoundaryFinder lineBreaks(QTextBoundaryFinder::Line, text);
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    const auto isBreak = [&](int kind, qsizetype i) {
        const QChar before = text[i - 1];
        switch (kind) {
            case 0:
                if (before == u'_' || before == u'-') return true;
                lineBreaks.setPosition(i);
                return lineBreaks.isAtBoundary();
            case 1:
                return before == u'.' && i - 1 != lastDot;
            case 2:
                return i == lastDot;
            default:
                graphemes.setPosition(i);
                return graphemes.isAtBoundary();
        }
    };
    for (int kind = 0; kind < 4; ++kind) {
        qsizetype cut = 0;
        for (qsizetype i = 1; i < text.size(); ++i) {
            if (!isBreak(kind, i)) continue;
            if (fm.horizontalAdvance(text.left(i).trimmed()) > width) break;
            cut = i;
        }
        if (cut > 0)
            return {text.left(cut).trimmed(), fm.elidedText(text.mid(cut).trimmed(), Qt::ElideMiddle, width)};
    }
    // Not even one character fits: the first one stands alone.
    return {text.left(1), fm.elidedText(text.mid(1), Qt::ElideMiddle, width)};
}

namespace {

QImage desaturated(const QImage& source, double saturation) {
    QImage out = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = line[x];
            const double l = 0.2126 * qRed(c) + 0.7152 * qGreen(c) + 0.0722 * qBlue(c);
            auto mix = [&](int v) {
                return std::clamp(int(std::lround(l + (v - l) * saturation)), 0, qAlpha(c));
            };
            line[x] = qRgba(mix(qRed(c)), mix(qGreen(c)), mix(qBlue(c)), qAlpha(c));
        }
    }
    return out;
}

// The icon greyed, with a stain that covers the same share of any icon and shows only where the
// icon is opaque.
QImage stained(const QImage& plain, int seed, double size, qreal dpr) {
    QImage dirty = desaturated(plain, 0.7);
    QImage stain = Stain::render(seed, QSize(int(size), int(size)), dpr);
    QImage masked(plain.size(), QImage::Format_ARGB32_Premultiplied);
    masked.setDevicePixelRatio(dpr);
    masked.fill(Qt::transparent);
    QPainter mp(&masked);
    mp.drawImage(QRectF(0, 0, size, size), stain);
    mp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    mp.drawImage(QRectF(0, 0, size, size), plain);
    mp.end();
    QPainter dp(&dirty);
    dp.drawImage(QRectF(0, 0, size, size), masked);
    dp.end();
    return dirty;
}

// The icon enlarged by `scale` over a honey glow of radius `blur` beyond its half width.
void paintSwollen(QPainter& p, const QRectF& square, const QImage& plain, double scale, double blur) {
    p.translate(square.center());
    p.scale(scale, scale);
    p.translate(-square.center());
    const double glow = 1.1 * square.width() / 2;
    QRadialGradient g(square.center(), glow + blur);
    QColor honey = Palette::honey();
    honey.setAlphaF(0.28);
    QColor clear = honey;
    clear.setAlphaF(0);
    g.setColorAt(0, honey);
    g.setColorAt(std::max(0.0, (glow - blur) / (glow + blur)), honey);
    g.setColorAt(1, clear);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(square.center(), glow + blur, glow + blur);
    p.drawImage(square, plain);
}

}  // namespace

QString TilePainter::sizeText(const ExplorerEntry& e) {
    return Fmt::bytes(std::max<std::int64_t>(0, e.size));
}

TilePainter::TilePainter(QWidget* host) : host_(host), sizes_(new RollingFigures(host)) {
    check_ = new NimbrelCheck(false, host);
    check_->hide();
    check_->resize(check_->sizeHint());
    bar_ = new MoltenBar(0, 4, std::nullopt, host);
    bar_->hide();
    smallLoader_ = new NimbrelLoader(9, host);
    smallLoader_->hide();
    smallLoader_->resize(smallLoader_->sizeHint());
    rowLoader_ = new NimbrelLoader(10, host);
    rowLoader_->hide();
    rowLoader_->resize(rowLoader_->sizeHint());
    grime_ = new Badge(QCoreApplication::translate("EntryTile", "grime"), Stain::color(), ink(host), host);
    heavy_ = new Badge(QCoreApplication::translate("EntryTile", "heavy"), Palette::honey(),
                       Palette::honeyInk().resolve(host), host);
    for (Badge* b : {grime_, heavy_}) {
        b->hide();
        b->resize(b->sizeHint());
    }
}

void TilePainter::renderWidget(QPainter& p, QWidget* w, QPointF at) {
    w->ensurePolished();
    // Through a transparent picture, so the painter's opacity applies (an inherited tick is faded).
    const qreal dpr = host_->devicePixelRatioF();
    QPixmap picture((QSizeF(w->size()) * dpr).toSize());
    picture.setDevicePixelRatio(dpr);
    picture.fill(Qt::transparent);
    w->render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
    p.drawPixmap(at, picture);
}

// --- icons ---------------------------------------------------------------------------------------

QImage TilePainter::conditionedImage(const FileIcon& icon, const std::string& key, Cond condition, int seed,
                                     double size) {
    const qreal dpr = host_->devicePixelRatioF();
    const QString cacheKey = QStringLiteral("%1|%2|%3|%4|%5")
                                 .arg(QString::fromStdString(key))
                                 .arg(static_cast<int>(condition))
                                 .arg(condition == Cond::stained ? seed : 0)
                                 .arg(size)
                                 .arg(dpr);
    auto it = icons_.constFind(cacheKey);
    if (it != icons_.constEnd()) return *it;

    // Room around the icon for the swollen look and its glow.
    const double canvas = size * 2;
    QImage out(QSize(int(std::ceil(canvas * dpr)), int(std::ceil(canvas * dpr))),
               QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(dpr);
    out.fill(Qt::transparent);
    const QRectF square((canvas - size) / 2, (canvas - size) / 2, size, size);

    QImage plain(QSize(int(std::ceil(size * dpr)), int(std::ceil(size * dpr))),
                 QImage::Format_ARGB32_Premultiplied);
    plain.setDevicePixelRatio(dpr);
    plain.fill(Qt::transparent);
    {
        QPainter ip(&plain);
        FileIconView::paint(ip, QRectF(0, 0, size, size), icon, host_);
    }

    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    switch (condition) {
        case Cond::clean:
            p.drawImage(square, plain);
            break;
        case Cond::stained:
            p.drawImage(square, stained(plain, seed, size, dpr));
            break;
        case Cond::bloated:
            paintSwollen(p, square, plain, TilePainter::swellScale(size), TilePainter::glowRadius(size));
            break;
    }
    p.end();
    icons_.insert(cacheKey, out);
    return out;
}

void TilePainter::paintConditionedIcon(QPainter& p, const QRectF& square, const FileIcon& icon,
                                       Cond condition, int seed) {
    const double size = square.width();
    const std::string key = std::to_string(static_cast<int>(icon.kind)) + "|" +
                            std::to_string(static_cast<int>(icon.category)) + "|" +
                            (icon.icon.isNull() ? "g" + std::to_string(FileIconView::fallbackGlyph(icon))
                                                : std::to_string(icon.icon.cacheKey()));
    const QImage image = conditionedImage(icon, key, condition, seed, size);
    const double canvas = size * 2;
    p.drawImage(QRectF(square.center().x() - canvas / 2, square.center().y() - canvas / 2, canvas, canvas),
                image);
}

// --- marks ---------------------------------------------------------------------------------------

void TilePainter::paintSelectCircle(QPainter& p, const QRectF& padded, double on, double hovering) {
    const QRectF circle = padded.adjusted(5, 5, -5, -5);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    // Ticking cross-fades the dark disc and its ring into the brand disc and its tick.
    const double base = p.opacity();
    if (on < 1) {
        p.setOpacity(base * (1 - on));
        p.setBrush(QColor(0, 0, 0, int(0.35 * 255)));
        p.drawEllipse(circle);
        p.setPen(QPen(QColor::fromRgbF(1, 1, 1, float(0.35 + 0.5 * hovering)), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(circle.adjusted(0.75, 0.75, -0.75, -0.75));
    }
    if (on > 0) {
        p.setOpacity(base * on);
        p.setPen(Qt::NoPen);
        QLinearGradient g = Palette::nimbrel();
        g.setStart(circle.topLeft());
        g.setFinalStop(circle.bottomRight());
        p.setBrush(g);
        p.drawEllipse(circle);
        Symbols::draw(p, circle, "checkmark", Palette::canvas().resolve(host_), 10, FontWeight::heavy);
    }
    p.restore();
}

void TilePainter::paintLock(QPainter& p, const QRectF& box) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, int(0.35 * 255)));
    p.drawEllipse(box);
    Symbols::draw(p, box, "lock.fill", ink3(host_), 9, FontWeight::bold);
    p.restore();
}

void TilePainter::paintRiskMark(QPainter& p, const QRectF& box, const Risk& risk) {
    const bool danger = risk.level == Risk::Level::danger;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    QColor disc = Palette::canvas().resolve(host_);
    disc.setAlphaF(0.6);
    p.setBrush(disc);
    p.drawEllipse(box);
    Symbols::draw(p, box.adjusted(3, 3, -3, -3),
                  danger ? "exclamationmark.triangle.fill" : "exclamationmark.circle.fill",
                  danger ? Palette::magma() : Palette::honey(), 13, FontWeight::bold);
    p.restore();
}

void TilePainter::paintCheck(QPainter& p, const QRectF& padded, bool on, double tick, bool disabled) {
    check_->setOn(on);
    check_->tickAnimation().setImmediate(tick);
    check_->setEnabled(!disabled);
    renderWidget(p, check_, padded.topLeft());
}

void TilePainter::paintBar(QPainter& p, const QRectF& r, double fraction, std::optional<QColor> tint) {
    bar_->resize(r.size().toSize());
    bar_->setFraction(fraction);
    bar_->setTint(tint);
    renderWidget(p, bar_, r.topLeft());
}

// --- entries -------------------------------------------------------------------------------------

TileGeometry::Shows TilePainter::shows(const ExplorerEntry& entry, bool hovering) {
    return {EntryRules::control(entry), EntryRules::showsRiskMark(entry), hovering};
}

void TilePainter::paintEntry(QPainter& p, const QRectF& r, const ExplorerEntry& e, Cond condition,
                             ExplorerLayout layout, const EntryLook& look) {
    // The path buttons keep their room while they fade out.
    const TileGeometry g = TileGeometry::of(r, layout, shows(e, look.hovering || look.buttons > 0));
    const bool package = EntryRules::isPackage(e.id);
    const FileIcon icon = IconCache::shared().icon(e.id, package, e.isDirectory && !package);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    paintBackground(p, g, look);
    paintConditionedIcon(p, g.icon, icon, condition, ExplorerModel::seed(e.id));
    if (layout == ExplorerLayout::icons) {
        paintTileMarks(p, g, e, look);
        paintTileText(p, g, e, condition);
    } else {
        paintRowControl(p, g, e, look);
        paintRowTrailing(p, g, e, condition, look);
        paintRowText(p, g, e, condition);
    }
    p.restore();
}

void TilePainter::paintBackground(QPainter& p, const TileGeometry& g, const EntryLook& look) {
    const bool icons = g.layout == ExplorerLayout::icons;
    const QPainterPath shape = Shapes::rounded(g.tile, icons ? 26 : 12);
    const double selected = look.selected, hover = look.hover * (1 - selected);
    if (hover > 0) p.fillPath(shape, QColor::fromRgbF(1, 1, 1, float(0.05 * hover)));
    if (selected <= 0) return;
    p.save();
    p.setOpacity(p.opacity() * selected);
    p.fillPath(shape, Palette::nimbrelSubtle().resolve(host_));
    if (icons) {
        QColor edge = Palette::accent().resolve(host_);
        edge.setAlphaF(0.6);
        p.setPen(QPen(edge, 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(Shapes::rounded(g.tile.adjusted(0.5, 0.5, -0.5, -0.5), 25.5));
    } else {
        QLinearGradient fill = Palette::nimbrel();
        const QRectF cap(g.tile.left(), g.tile.center().y() - 11, 3, 22);
        fill.setStart(cap.topLeft());
        fill.setFinalStop(cap.bottomLeft());
        p.fillPath(Shapes::capsule(cap), fill);
    }
    p.restore();
}

void TilePainter::paintTileMarks(QPainter& p, const TileGeometry& g, const ExplorerEntry& e,
                                 const EntryLook& look) {
    if (g.shows.riskMark) paintRiskMark(p, g.riskMark, e.risk);
    if (g.shows.control == EntryRules::Control::lock) {
        paintLock(p, g.lock);
    } else if (g.shows.control == EntryRules::Control::select) {
        p.save();
        p.setOpacity(look.inherited ? 0.55 : 1.0);
        paintSelectCircle(p, g.control, look.circle, look.hover);
        p.restore();
    }
}

void TilePainter::paintTileText(QPainter& p, const TileGeometry& g, const ExplorerEntry& e, Cond condition) {
    const QRectF& text = g.text;
    const QFont nameFont = Fonts::font(12, FontWeight::medium);
    const QFontMetricsF fm(nameFont);
    p.setFont(nameFont);
    p.setPen(ink(host_));
    double y = text.top();
    for (const QString& line : nameLines(QString::fromStdString(e.name), nameFont, text.width())) {
        p.drawText(QRectF(text.left(), y, text.width(), fm.height()), Qt::AlignHCenter | Qt::AlignTop, line);
        y += fm.height();
    }
    y += 3;

    // The size line: a loader while measuring, sparkles on grime, honey and bold when heavy.
    const bool bloated = condition == Cond::bloated;
    const QFont sizeFont =
        Fonts::font(11, bloated ? FontWeight::bold : FontWeight::medium, FontDesign::rounded);
    const QFontMetricsF sm(sizeFont);
    const bool hasSize = !(e.measuring && e.size == 0);
    const QString shown = hasSize ? sizeText(e) : QCoreApplication::translate("EntryTile", "Measuring…");
    const bool sparkles = !e.measuring && condition == Cond::stained;
    const QRectF loader = smallLoader_->layoutRect();
    const double lead = sparkles ? Symbols::side(9) + 4 : e.measuring ? loader.width() + 4 : 0;
    const double w = lead + FixedDigits::advance(sizeFont, shown);
    double x = text.center().x() - w / 2;
    if (e.measuring)
        NimbrelLoader::paintPuffs(p, QPointF(x + loader.width() / 2, y + sm.height() / 2),
                                  smallLoader_->loaderSize(), smallLoader_->timeline().t());
    if (sparkles)
        Symbols::draw(p, QRectF(x, y, Symbols::side(9), sm.height()), "sparkles",
                      Palette::accent().resolve(host_), 9, FontWeight::bold);
    x += lead;
    const QColor color = bloated ? QColor(Palette::honey()) : ink3(host_);
    if (hasSize) {
        sizes_->paint(p, QPointF(x, y + sm.ascent()), sizeFont, color, QString::fromStdString(e.id), shown);
    } else {
        p.setFont(sizeFont);
        p.setPen(color);
        FixedDigits::draw(p, QPointF(x, y + sm.ascent()), shown);
    }
}

void TilePainter::paintRowControl(QPainter& p, const TileGeometry& g, const ExplorerEntry& e,
                                  const EntryLook& look) {
    if (g.shows.control == EntryRules::Control::lock) {
        paintLock(p, g.lock);
        return;
    }
    p.save();
    p.setOpacity(look.inherited ? 0.55 : 1.0);
    paintCheck(p, g.control, look.included, look.check, e.measuring);
    p.restore();
}

void TilePainter::paintRowTrailing(QPainter& p, const TileGeometry& g, const ExplorerEntry& e, Cond condition,
                                   const EntryLook& look) {
    const bool bloated = condition == Cond::bloated;
    if (!(e.measuring && e.size == 0)) {
        const QFont font = Fonts::font(13, FontWeight::semibold, FontDesign::rounded);
        const QFontMetricsF fm(font);
        const QString size = sizeText(e);
        const QPointF origin(g.size.right() - FixedDigits::advance(font, size),
                             g.size.center().y() + (fm.ascent() - fm.descent()) / 2);
        sizes_->paint(p, origin, font, bloated ? QColor(Palette::honey()) : ink(host_),
                      QString::fromStdString(e.id), size);
    } else {
        const QRectF lr = rowLoader_->layoutRect();
        NimbrelLoader::paintPuffs(p, QPointF(g.size.right() - lr.width() / 2, g.size.center().y()),
                                  rowLoader_->loaderSize(), rowLoader_->timeline().t());
    }
    const std::optional<QColor> tint = condition == Cond::stained ? std::nullopt
                                       : bloated
                                           ? std::optional<QColor>(Palette::honey())
                                           : std::optional<QColor>(QColor(255, 255, 255, int(0.32 * 255)));
    paintBar(p, g.bar, look.weight, tint);
    p.save();
    const double base = p.opacity();
    if (look.hasOpen && look.hover > 0) {
        p.setOpacity(base * look.hover);
        Symbols::draw(p, g.chevron, "chevron.right", ink3(host_), 11, FontWeight::bold);
    }
    if (g.shows.pathActions && look.buttons > 0) {
        p.setOpacity(base * look.buttons);
        Symbols::draw(p, g.pathActions[0].adjusted(4, 4, -4, -4), "doc.on.doc", ink3(host_), 24 * 0.42);
        Symbols::draw(p, g.pathActions[1].adjusted(4, 4, -4, -4), "magnifyingglass", ink3(host_), 24 * 0.42);
    }
    p.restore();
}

QWidget* TilePainter::badgeFor(const ExplorerEntry& e, Cond condition) {
    const Risk::Level level = e.risk.level;
    if (level == Risk::Level::caution || level == Risk::Level::danger || level == Risk::Level::locked) {
        // The shared badge, one per distinct verdict (there are few); it draws nothing for locked.
        const QString key = QString::number(int(level)) + QLatin1Char('|') +
                            QString::fromStdString(e.risk.title) + QLatin1Char('|') +
                            QString::fromStdString(e.risk.why);
        auto it = riskBadges_.constFind(key);
        if (it == riskBadges_.constEnd()) {
            auto* badge = new RiskBadge(e.risk, host_);
            badge->hide();
            badge->resize(badge->sizeHint());
            it = riskBadges_.insert(key, badge);
        }
        return *it;
    }
    return condition == Cond::stained ? grime_ : nullptr;
}

void TilePainter::paintRowText(QPainter& p, const TileGeometry& g, const ExplorerEntry& e, Cond condition) {
    const QFont nameFont = Fonts::font(13, FontWeight::medium);
    const QFontMetricsF fm(nameFont);
    const QFont kindFont = Fonts::font(11);
    const QFontMetricsF km(kindFont);
    const double width = g.text.width();
    const double top = g.text.center().y() - (fm.height() + 2 + km.height()) / 2;

    // The name gives way to its badges: the risk (or grime) badge, then heavy.
    std::vector<QWidget*> badges;
    if (QWidget* first = badgeFor(e, condition); first && !first->size().isEmpty()) badges.push_back(first);
    if (condition == Cond::bloated) badges.push_back(heavy_);
    double badgeWidth = 0;
    for (QWidget* b : badges)
        badgeWidth += 6 + b->width();
    const QString name =
        fm.elidedText(QString::fromStdString(e.name), Qt::ElideMiddle, std::max(0.0, width - badgeWidth));
    p.setFont(nameFont);
    p.setPen(ink(host_));
    p.drawText(QRectF(g.text.left(), top, width, fm.height()), Qt::AlignLeft | Qt::AlignVCenter, name);
    double x = g.text.left() + fm.horizontalAdvance(name) + 6;
    for (QWidget* b : badges) {
        renderWidget(p, b, QPointF(x, top + (fm.height() - b->height()) / 2));
        x += b->width() + 6;
    }
    p.setFont(kindFont);
    p.setPen(ink3(host_));
    FixedDigits::draw(p, QRectF(g.text.left(), top + fm.height() + 2, width, km.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      FixedDigits::elided(kindFont, EntryRules::kindLine(e), width, Qt::ElideRight));
}

// --- placeholders --------------------------------------------------------------------------------

void TilePainter::paintPlaceholder(QPainter& p, const QRectF& r, PlaceholderKind kind, Cond condition,
                                   int seed, bool waiting, ExplorerLayout layout) {
    const auto [path, isDir] = Placeholders::iconPath(kind);
    const FileIcon icon = IconCache::shared().icon(path, false, isDir);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(waiting ? 0.3 : 0.55);
    QColor nameBar = condition == Cond::stained ? Stain::color() : ink3(host_);
    nameBar.setAlphaF(condition == Cond::stained ? 0.5 : 0.3);
    QColor weightBar = condition == Cond::bloated ? Palette::honey() : ink3(host_);
    weightBar.setAlphaF(condition == Cond::bloated ? 0.45 : 0.18);
    const double bar = ExplorerModel::placeholderBarWidth(seed, layout);
    if (layout == ExplorerLayout::icons) {
        // Its own stack (a 72-point icon block, the name bar and the size bar, 8 apart) centred in
        // the tile: shorter than an entry's, so it stands lower.
        const double top = r.top() + (kTileHeight - (72 + 8 + 7 + 8 + 6)) / 2;
        const QRectF ic(r.center().x() - 32, top + 4, 64, 64);
        paintConditionedIcon(p, ic, icon, condition, seed);
        const double y = top + 72 + 8;
        p.fillPath(Shapes::capsule(QRectF(r.center().x() - bar / 2, y, bar, 7)), nameBar);
        p.fillPath(Shapes::capsule(QRectF(r.center().x() - 20, y + 7 + 8, 40, 6)), weightBar);
    } else {
        const double cy = r.center().y();
        double x = r.left() + 12;
        QColor edge = ink3(host_);
        edge.setAlphaF(0.4);
        p.setPen(QPen(edge, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(Shapes::rounded(QRectF(x + 0.75, cy - 9 + 0.75, 16.5, 16.5), 4.25));
        x += 18 + 12;
        paintConditionedIcon(p, QRectF(x, cy - kIconRow / 2, kIconRow, kIconRow), icon, condition, seed);
        x += 28 + 12;
        p.fillPath(Shapes::capsule(QRectF(x, cy - 8.5, bar, 7)), nameBar);
        QColor second = ink3(host_);
        second.setAlphaF(0.15);
        p.fillPath(Shapes::capsule(QRectF(x, cy + 3.5, 70, 5)), second);
        p.fillPath(Shapes::capsule(QRectF(r.right() - 12 - 56, cy - 3.5, 56, 7)), weightBar);
    }
    p.restore();
}

}  // namespace nimbrel

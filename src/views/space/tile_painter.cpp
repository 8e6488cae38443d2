#include "views/space/tile_painter.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QRadialGradient>
#include <QWidget>
#include <cmath>

#include "theme/badge.h"
#include "theme/chip.h"
#include "theme/file_icon_view.h"
#include "theme/fonts.h"
#include "theme/gauges.h"
#include "theme/loader.h"
#include "theme/palette.h"
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

// Up to two lines; what does not fit is cut in the middle of the second line.
QStringList twoLines(const QString& text, const QFontMetricsF& fm, double width) {
    if (fm.horizontalAdvance(text) <= width) return {text};
    int cut = 1;
    while (cut < text.size() && fm.horizontalAdvance(text.left(cut + 1)) <= width)
        ++cut;
    const int space = text.lastIndexOf(QLatin1Char(' '), cut);
    if (space > 0) cut = space + 1;
    const QString rest = text.mid(cut);
    return {text.left(cut).trimmed(), fm.elidedText(rest, Qt::ElideMiddle, width)};
}

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

}  // namespace

TilePainter::TilePainter(QWidget* host) : host_(host) {
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

// --- geometry ------------------------------------------------------------------------------------

QRectF TilePainter::iconRect(const QRectF& tile) {
    // 72-point icon block and a 50-point text block, 6 apart, centred in the 132-point tile.
    const double top = tile.top() + (kTileHeight - (72 + 6 + 50)) / 2;
    return {tile.center().x() - kIconTile / 2, top + 4, kIconTile, kIconTile};
}

QRectF TilePainter::selectCircleRect(const QRectF& tile) {
    const QRectF icon = iconRect(tile);
    const QPointF corner(icon.left() - 4, icon.top() - 4 - 2);  // the 72-high frame, nudged 4 left, 2 up
    return {corner, QSizeF(30, 30)};
}

QRectF TilePainter::checkRect(const QRectF& row) {
    return {row.left() + 12, row.center().y() - 14, 28, 28};
}

QRectF TilePainter::pathActionRect(const QRectF& row, int which) {
    // Right to left: size column 80, bar 110 (8 apart), chevron, then the two 32-point buttons.
    const double chevron = 12;
    const double right = row.right() - 12 - 80 - 8 - 110 - 12 - chevron - 12;
    return {right - (2 - which) * 32.0, row.center().y() - 16, 32, 32};
}

bool TilePainter::inCircle(const QRectF& square, QPointF at) {
    const QPointF d = at - square.center();
    const double r = square.width() / 2;
    return d.x() * d.x() + d.y() * d.y() <= r * r;
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
        case Cond::stained: {
            QImage dirty = desaturated(plain, 0.7);
            {
                // The stain covers the same share of any icon and shows only where the icon is opaque.
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
            }
            p.drawImage(square, dirty);
            break;
        }
        case Cond::bloated: {
            const double scale = swellScale(size);
            p.translate(square.center());
            p.scale(scale, scale);
            p.translate(-square.center());
            const double glow = 1.1 * size / 2;
            const double blur = glowRadius(size);
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
            break;
        }
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
                            (icon.icon.isNull() ? std::string() : std::to_string(icon.icon.cacheKey()));
    const QImage image = conditionedImage(icon, key, condition, seed, size);
    const double canvas = size * 2;
    p.drawImage(QRectF(square.center().x() - canvas / 2, square.center().y() - canvas / 2, canvas, canvas),
                image);
}

// --- marks ---------------------------------------------------------------------------------------

void TilePainter::paintSelectCircle(QPainter& p, const QRectF& padded, bool on, bool hovering) {
    const QRectF circle = padded.adjusted(5, 5, -5, -5);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    if (on) {
        QLinearGradient g = Palette::nimbrel();
        g.setStart(circle.topLeft());
        g.setFinalStop(circle.bottomRight());
        p.setBrush(g);
    } else {
        p.setBrush(QColor(0, 0, 0, int(0.35 * 255)));
    }
    p.drawEllipse(circle);
    if (!on) {
        p.setPen(QPen(QColor(255, 255, 255, int((hovering ? 0.85 : 0.35) * 255)), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(circle.adjusted(0.75, 0.75, -0.75, -0.75));
    } else {
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

void TilePainter::paintRiskMark(QPainter& p, QPointF topRight, const Risk& risk) {
    const bool danger = risk.level == Risk::Level::danger;
    const double side = Symbols::side(13) + 6;
    const QRectF box(topRight.x() - side, topRight.y(), side, side);
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

void TilePainter::paintCheck(QPainter& p, const QRectF& padded, bool on, bool disabled) {
    check_->setOn(on);
    check_->tickAnimation().setImmediate(on ? 1 : 0);
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

void TilePainter::paintEntry(QPainter& p, const QRectF& r, const ExplorerEntry& e, Cond condition,
                             ExplorerLayout layout, const EntryLook& look) {
    const bool icons = layout == ExplorerLayout::icons;
    const bool package = EntryRules::isPackage(e.id);
    const FileIcon icon = IconCache::shared().icon(e.id, package, e.isDirectory && !package);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);

    // Background and selection marks.
    const QPainterPath shape = Shapes::rounded(r, icons ? 26 : 12);
    if (look.included)
        p.fillPath(shape, Palette::nimbrelSubtle().resolve(host_));
    else if (look.hovering)
        p.fillPath(shape, QColor(255, 255, 255, int(0.05 * 255)));
    if (icons && look.included) {
        QColor edge = Palette::accent().resolve(host_);
        edge.setAlphaF(0.6);
        p.setPen(QPen(edge, 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(Shapes::rounded(r.adjusted(0.5, 0.5, -0.5, -0.5), 25.5));
    }
    if (!icons && look.included) {
        QLinearGradient g = Palette::nimbrel();
        const QRectF cap(r.left(), r.center().y() - 11, 3, 22);
        g.setStart(cap.topLeft());
        g.setFinalStop(cap.bottomLeft());
        p.fillPath(Shapes::capsule(cap), g);
    }

    const QString size = Fmt::bytes(e.size);
    const bool bloated = condition == Cond::bloated;
    const EntryRules::Control control = EntryRules::control(e);

    if (icons) {
        const QRectF ic = iconRect(r);
        paintConditionedIcon(p, ic, icon, condition, ExplorerModel::seed(e.id));
        if (EntryRules::showsRiskMark(e)) paintRiskMark(p, QPointF(ic.right() + 4, ic.top() - 4 - 2), e.risk);
        if (control == EntryRules::Control::lock) {
            const QRectF c = selectCircleRect(r);
            paintLock(p, c.adjusted(5, 5, -5, -5));
        } else if (control == EntryRules::Control::select) {
            p.save();
            p.setOpacity(look.inherited ? 0.55 : 1.0);
            paintSelectCircle(p, selectCircleRect(r), look.included, look.hovering);
            p.restore();
        }
        // Name (two lines at most) and the size line.
        const QRectF text(r.left() + 6, ic.bottom() + 4 + 6, r.width() - 12, 50);
        const QFont nameFont = Fonts::font(12, FontWeight::medium);
        p.setFont(nameFont);
        p.setPen(ink(host_));
        const QFontMetricsF fm(nameFont);
        const QStringList lines = twoLines(QString::fromStdString(e.name), fm, text.width());
        double y = text.top();
        for (const QString& line : lines) {
            p.drawText(QRectF(text.left(), y, text.width(), fm.height()), Qt::AlignHCenter | Qt::AlignTop,
                       line);
            y += fm.height();
        }
        y += 3;
        const QFont sizeFont =
            Fonts::font(11, bloated ? FontWeight::bold : FontWeight::medium, FontDesign::rounded);
        QString shown =
            e.measuring && e.size == 0 ? QCoreApplication::translate("EntryTile", "Measuring…") : size;
        const QFontMetricsF sm(sizeFont);
        const bool sparkles = !e.measuring && condition == Cond::stained;
        const double loaderSide = smallLoader_->layoutRect().width();
        const double lead = sparkles ? Symbols::side(9) + 4 : e.measuring ? loaderSide + 4 : 0;
        const double w = lead + sm.horizontalAdvance(shown);
        double x = text.center().x() - w / 2;
        if (e.measuring) {
            const QRectF lr = smallLoader_->layoutRect();
            renderWidget(p, smallLoader_,
                         QPointF(x - lr.left(), y + (sm.height() - lr.height()) / 2 - lr.top()));
            x += lead;
        }
        if (sparkles) {
            Symbols::draw(p, QRectF(x, y, Symbols::side(9), sm.height()), "sparkles",
                          Palette::accent().resolve(host_), 9, FontWeight::bold);
            x += lead;
        }
        p.setFont(sizeFont);
        p.setPen(bloated ? Palette::honey() : ink3(host_));
        p.drawText(QRectF(x, y, w - lead + 1, sm.height()), Qt::AlignLeft | Qt::AlignTop, shown);
    } else {
        double x = r.left() + 12;
        const double cy = r.center().y();
        if (control == EntryRules::Control::lock) {
            paintLock(p, QRectF(x + 4, cy - 10, 20, 20));
        } else {
            p.save();
            p.setOpacity(look.inherited ? 0.55 : 1.0);
            paintCheck(p, checkRect(r), look.included, e.measuring);
            p.restore();
        }
        x += 28 + 12;
        paintConditionedIcon(p, QRectF(x + 2, cy - kIconRow / 2, kIconRow, kIconRow), icon, condition,
                             ExplorerModel::seed(e.id));
        x += 32 + 12;
        // Trailing part, right to left: size column, weight bar, chevron, path actions.
        double right = r.right() - 12;
        const QFont sizeFont = Fonts::font(13, FontWeight::semibold, FontDesign::rounded);
        p.setFont(sizeFont);
        p.setPen(bloated ? Palette::honey() : ink(host_));
        if (!(e.measuring && e.size == 0)) {
            p.drawText(QRectF(right - 80, r.top(), 80, r.height()), Qt::AlignRight | Qt::AlignVCenter, size);
        } else {
            const QRectF lr = rowLoader_->layoutRect();
            renderWidget(p, rowLoader_,
                         QPointF(right - lr.width() - lr.left(), cy - lr.height() / 2 - lr.top()));
        }
        right -= 80 + 8;
        const std::optional<QColor> tint =
            condition == Cond::stained ? std::nullopt
            : bloated                  ? std::optional<QColor>(Palette::honey())
                                       : std::optional<QColor>(QColor(255, 255, 255, int(0.32 * 255)));
        paintBar(p, QRectF(right - 110, cy - 2, 110, 4), look.weight, tint);
        right -= 110 + 12;
        if (look.hasOpen && look.hovering)
            Symbols::draw(p, QRectF(right - 12, cy - 8, 12, 16), "chevron.right", ink3(host_), 11,
                          FontWeight::bold);
        right -= 12 + 12;
        if (look.hovering) {
            for (int i = 0; i < 2; ++i) {
                const QRectF b = pathActionRect(r, i);
                Symbols::draw(p, b.adjusted(4, 4, -4, -4), i == 0 ? "doc.on.doc" : "magnifyingglass",
                              ink3(host_), 24 * 0.42);
            }
            right -= 64 + 12;
        }
        // Name with its badges, and the kind line below.
        const double textWidth = std::max(0.0, right - x);
        const QFont nameFont = Fonts::font(13, FontWeight::medium);
        const QFontMetricsF fm(nameFont);
        const QFont kindFont = Fonts::font(11);
        const QFontMetricsF km(kindFont);
        const double top = cy - (fm.height() + 2 + km.height()) / 2;
        QStringList badges;
        std::vector<std::pair<QColor, QColor>> badgeColors;
        const bool riskBadge = e.risk.level == Risk::Level::caution || e.risk.level == Risk::Level::danger ||
                               e.risk.level == Risk::Level::locked;
        double badgeWidth = 0;
        const QFont bf = BadgeStyle::font();
        const QFontMetricsF bm(bf);
        auto addBadge = [&](const QString& text, QColor tint, QColor fg) {
            badges << BadgeStyle::displayText(text);
            badgeColors.emplace_back(tint, fg);
            badgeWidth += bm.horizontalAdvance(badges.back()) + 2 * BadgeStyle::kHorizontalPadding + 6;
        };
        if (riskBadge) {
            const QColor c = e.risk.level == Risk::Level::danger    ? Palette::magma()
                             : e.risk.level == Risk::Level::caution ? Palette::honey()
                                                                    : ink3(host_);
            addBadge(QString::fromStdString(e.risk.title.empty() ? "locked" : e.risk.title), c, c);
        } else if (condition == Cond::stained) {
            addBadge(QCoreApplication::translate("EntryTile", "grime"), Stain::color(), ink(host_));
        }
        if (bloated)
            addBadge(QCoreApplication::translate("EntryTile", "heavy"), Palette::honey(),
                     Palette::honeyInk().resolve(host_));
        const QString name = fm.elidedText(QString::fromStdString(e.name), Qt::ElideMiddle,
                                           std::max(0.0, textWidth - badgeWidth));
        p.setFont(nameFont);
        p.setPen(ink(host_));
        p.drawText(QRectF(x, top, textWidth, fm.height()), Qt::AlignLeft | Qt::AlignVCenter, name);
        double bx = x + fm.horizontalAdvance(name) + 6;
        p.setFont(bf);
        for (int i = 0; i < badges.size(); ++i) {
            const double bw = bm.horizontalAdvance(badges[i]) + 2 * BadgeStyle::kHorizontalPadding;
            const QRectF badge(bx, top + (fm.height() - bm.height() - 2 * BadgeStyle::kVerticalPadding) / 2,
                               bw, bm.height() + 2 * BadgeStyle::kVerticalPadding);
            QColor fill = badgeColors[i].first;
            fill.setAlphaF(BadgeStyle::kFillOpacity);
            p.fillPath(Shapes::capsule(badge), fill);
            p.setPen(badgeColors[i].second);
            p.drawText(badge, Qt::AlignCenter, badges[i]);
            bx += bw + 6;
        }
        p.setFont(kindFont);
        p.setPen(ink3(host_));
        p.drawText(QRectF(x, top + fm.height() + 2, textWidth, km.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   km.elidedText(EntryRules::kindLine(e), Qt::ElideRight, textWidth));
    }
    p.restore();
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
        const QRectF ic = iconRect(r);
        paintConditionedIcon(p, ic, icon, condition, seed);
        const double y = ic.bottom() + 4 + 8;
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

#include "theme/symbols.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace nimbrel {

namespace {

// Every symbol the screens ask for, by name, and the icon font's glyph that stands for it.
constexpr Symbols::Entry kEntries[] = {
    {"archivebox", "inventory_2", 0xe1a1},
    {"arrow.clockwise", "refresh", 0xe5d5},
    {"arrow.down.circle", "arrow_circle_down", 0xf181},
    {"arrow.up.arrow.down", "swap_vert", 0xe8d5},
    {"checklist", "checklist", 0xe6b1},
    {"checklist.checked", "fact_check", 0xf0c5},
    {"checkmark", "check", 0xe5ca},
    {"checkmark.shield", "verified_user", 0xe8e8},
    {"chevron.compact.right", "navigate_next", 0xe409},
    {"chevron.down", "expand_more", 0xe5cf},
    {"chevron.left", "chevron_left", 0xe5cb},
    {"chevron.right", "chevron_right", 0xe5cc},
    {"chevron.up", "expand_less", 0xe5ce},
    {"circle.dotted.circle", "track_changes", 0xe8e1},
    {"clock", "schedule", 0xe8b5},
    {"cube", "view_in_ar", 0xe9fe},
    {"doc.on.doc", "content_copy", 0xe14d},
    {"doc.on.doc.fill", "file_copy", 0xe173},
    {"doc.text.magnifyingglass", "find_in_page", 0xe880},
    {"exclamationmark.circle", "error_outline", 0xe001},
    {"exclamationmark.circle.fill", "error", 0xe000},
    {"exclamationmark.octagon.fill", "report", 0xe160},
    {"exclamationmark.triangle.fill", "warning", 0xe002},
    {"externaldrive", "usb", 0xe1e0},
    {"externaldrive.badge.timemachine", "settings_backup_restore", 0xe8ba},
    {"eye", "visibility", 0xe8f4},
    {"eye.slash", "visibility_off", 0xe8f5},
    {"folder", "folder", 0xe2c7},
    {"folder.fill", "folder", 0xe2c7},
    {"hammer", "build", 0xe869},
    {"house", "home", 0xe88a},
    {"house.fill", "home", 0xe88a},
    {"humidity", "opacity", 0xe91c},
    {"humidity.fill", "water_drop", 0xe798},
    {"info.circle.fill", "info", 0xe88e},
    {"internaldrive", "storage", 0xe1db},
    {"ipad.and.iphone", "devices", 0xe1b1},
    {"iphone", "smartphone", 0xe32c},
    {"key.fill", "vpn_key", 0xe0da},
    {"list.bullet", "format_list_bulleted", 0xe241},
    {"lock.fill", "lock", 0xe897},
    {"macwindow", "web_asset", 0xe069},
    {"magnifyingglass", "search", 0xe8b6},
    {"minus", "remove", 0xe15b},
    {"plus", "add", 0xe145},
    {"power", "power_settings_new", 0xe8ac},
    {"scope", "gps_fixed", 0xe1b3},
    {"shippingbox", "archive", 0xe149},
    {"shippingbox.circle", "all_inbox", 0xe97f},
    {"slider.horizontal.3", "tune", 0xe429},
    {"sparkles", "auto_awesome", 0xe65f},
    {"square.grid.2x2", "grid_view", 0xe9b0},
    {"square.grid.3x3", "apps", 0xe5c3},
    {"square.on.square", "filter_none", 0xe3e0},
    {"stop.fill", "stop", 0xe047},
    {"trash", "delete_outline", 0xe92e},
    {"xmark.circle.fill", "cancel", 0xe5c9},
};

}  // namespace

const std::vector<Symbols::Entry>& Symbols::table() {
    static const std::vector<Entry> entries(std::begin(kEntries), std::end(kEntries));
    return entries;
}

std::optional<char16_t> Symbols::codepoint(std::string_view name) {
    for (const Entry& e : table())
        if (e.name == name) return e.codepoint;
    return std::nullopt;
}

namespace {

// Outline stroke, as a share of the glyph size, that stands in for the symbol weights.
double strokeShare(FontWeight weight) {
    switch (weight) {
        case FontWeight::semibold:
            return 0.025;
        case FontWeight::bold:
            return 0.045;
        case FontWeight::heavy:
            return 0.06;
        case FontWeight::black:
            return 0.07;
        default:
            return 0.0;
    }
}

}  // namespace

bool Symbols::draw(QPainter& p, const QRectF& rect, std::string_view name, const QBrush& brush, double size,
                   FontWeight weight) {
    const auto cp = codepoint(name);
    if (!cp) return false;
    const double px = side(size);
    // The glyph's outline is made once per symbol and pixel size: turning it into a path takes the
    // font engine longer than filling it, and rows paint the same few symbols over and over.
    struct Outline {
        QPainterPath path;  // the em square's centre at the origin
    };
    static std::unordered_map<std::uint64_t, Outline> outlines;
    static std::mutex guard;  // a picture may be drawn off the main thread too
    // Fonts come in whole pixel sizes: the outline is taken at the nearest one and scaled to `px`.
    const int pixels = std::max(1, int(std::lround(px)));
    const std::uint64_t key = (std::uint64_t(*cp) << 32) | std::uint32_t(std::lround(px * 64));
    std::unique_lock lock(guard);
    auto found = outlines.find(key);
    if (found == outlines.end()) {
        // Painting through a path keeps gradients and the weight stroke on the same outline.
        const QFont font = Fonts::symbolFont(pixels);
        const QString text = QString(QChar(*cp));
        QPainterPath path;
        path.addText(0, 0, font, text);
        // Centre the em square of the glyph, not its ink, so symbols of a row share one baseline.
        const QFontMetricsF fm(font);
        path.translate(-fm.horizontalAdvance(text) / 2, fm.ascent() - fm.height() / 2);
        Outline outline;
        outline.path = QTransform::fromScale(px / pixels, px / pixels).map(path);
        found = outlines.emplace(key, std::move(outline)).first;
    }
    const QPainterPath path = found->second.path.translated(rect.center());
    lock.unlock();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(path, brush);
    const double stroke = strokeShare(weight) * px;
    if (stroke > 0) p.strokePath(path, QPen(brush, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.restore();
    return true;
}

QIcon Symbols::icon(std::string_view name, const QColor& color, int pixels) {
    QPixmap pm(pixels, pixels);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    draw(p, QRectF(0, 0, pixels, pixels), name, color, pixels / kSizeScale);
    p.end();
    return QIcon(pm);
}

}  // namespace nimbrel

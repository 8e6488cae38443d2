#include "theme/file_icon_view.h"

#include <QPainter>
#include <cmath>

#include "theme/fonts.h"
#include "theme/palette.h"

namespace nimbrel {

// Icon-font glyphs standing in for the desktop's icons when no icon theme is set.
char16_t FileIconView::fallbackGlyph(const FileIcon& icon) {
    switch (icon.kind) {
        case FileIcon::Kind::folder:
            return 0xe2c7;  // folder
        case FileIcon::Kind::package:
            return 0xe1a1;  // inventory_2
        case FileIcon::Kind::file:
            break;
    }
    // The two documents met most often have shapes of their own, as their theme icons do.
    if (icon.contentType == QLatin1String("application/pdf")) return 0xe415;  // picture_as_pdf
    if (icon.category == FileCategory::document && icon.contentType.startsWith(QLatin1String("text/")))
        return 0xef42;  // article
    switch (FileCategory::Value(icon.category)) {
        case FileCategory::video:
            return 0xe02c;  // movie
        case FileCategory::audio:
            return 0xe3a1;  // audiotrack
        case FileCategory::image:
            return 0xe3f4;  // image
        case FileCategory::document:
            return 0xe873;  // description
        case FileCategory::archive:
            return 0xe149;  // archive
        case FileCategory::diskImage:
            return 0xe019;  // album
        case FileCategory::application:
            return 0xe1bd;  // widgets
        case FileCategory::code:
            return 0xe86f;  // code
        case FileCategory::developer:
            return 0xe869;  // build
        case FileCategory::other:
            break;
    }
    return 0xe24d;  // insert_drive_file
}

namespace {

QColor fallbackColor(const FileIcon& icon, const QWidget* context) {
    switch (icon.kind) {
        case FileIcon::Kind::folder:
            return Palette::accent().resolve(context);
        case FileIcon::Kind::package:
            return Palette::honey();
        case FileIcon::Kind::file:
            break;
    }
    // A file takes its category's hue, light on dark windows and deeper on light ones.
    if (const std::optional<double> hue = categoryHue(icon.category)) {
        const bool dark = AppearanceOf::widget(context) == Appearance::dark;
        return toQColor(dark ? OKLCH::of(0.78, 0.12, *hue) : OKLCH::of(0.58, 0.13, *hue));
    }
    return Palette::ink2().resolve(context);
}

}  // namespace

FileIconView::FileIconView(std::string path, bool isPackage, bool isDirectory, double size, QWidget* parent)
    : QWidget(parent), path_(std::move(path)), isPackage_(isPackage), isDirectory_(isDirectory), size_(size) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void FileIconView::setItem(std::string path, bool isPackage, bool isDirectory) {
    const bool sameLoad = isPackage == isPackage_ && (!isPackage || path == path_);
    path_ = std::move(path);
    isPackage_ = isPackage;
    isDirectory_ = isDirectory;
    if (!sameLoad) {
        // The previous package's icon must not stand in for the new item.
        packageIcon_.reset();
        cancelLoad();
        if (isVisible()) startLoad();
    }
    update();
}

FileIcon FileIconView::shownIcon() const {
    IconCache& cache = IconCache::shared();
    if (!isPackage_) return cache.icon(path_, false, isDirectory_);
    if (packageIcon_) return *packageIcon_;
    if (std::optional<FileIcon> hit = cache.cached(IconCache::key(path_, true, isDirectory_))) return *hit;
    return IconCache::genericPackage();
}

QSize FileIconView::sizeHint() const {
    const int side = int(std::ceil(size_));
    return QSize(side, side);
}

void FileIconView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    startLoad();
}

void FileIconView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    cancelLoad();
}

void FileIconView::startLoad() {
    // Plain files and folders never load anything; a package loads once per appearance at most.
    if (!isPackage_ || packageIcon_ || loading_) return;
    loading_ = true;
    const quint64 generation = ++generation_;
    IconCache::shared().loadPackageIcon(path_, this, [this, generation](const FileIcon& icon) {
        if (generation != generation_) return;
        loading_ = false;
        packageIcon_ = icon;
        update();
    });
}

void FileIconView::cancelLoad() {
    ++generation_;
    loading_ = false;
}

void FileIconView::paint(QPainter& p, const QRectF& rect, const FileIcon& icon, const QWidget* context) {
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::Antialiasing);
    if (!icon.icon.isNull()) {
        const qreal dpr = context ? context->devicePixelRatioF() : 1.0;
        const QSize pixels = (rect.size() * dpr).toSize();
        QPixmap pixmap = icon.icon.pixmap(pixels);
        p.drawPixmap(rect, pixmap, QRectF(pixmap.rect()));
    } else {
        p.setFont(Fonts::symbolFont(rect.height()));
        p.setPen(fallbackColor(icon, context));
        p.drawText(rect, Qt::AlignCenter, QString(QChar(fallbackGlyph(icon))));
    }
    p.restore();
}

void FileIconView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const double side = std::min<double>(size_, std::min(width(), height()));
    const QRectF square((width() - side) / 2, (height() - side) / 2, side, side);
    paint(p, square, shownIcon(), this);
}

}  // namespace nimbrel

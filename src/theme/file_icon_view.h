#pragma once

#include <QWidget>
#include <optional>
#include <string>

#include "platform/icon_cache.h"

namespace nimbrel {

// The icon of a file, folder or package at a given size, drawn at once from the shared icon cache.
// A package whose own icon is not cached yet shows the generic package icon while its own one
// loads in the background, and swaps it in when it arrives.
class FileIconView : public QWidget {
    Q_OBJECT
  public:
    FileIconView(std::string path, bool isPackage, bool isDirectory, double size, QWidget* parent = nullptr);

    // Shows another item; a package icon loaded for the previous one is dropped.
    void setItem(std::string path, bool isPackage, bool isDirectory);

    const std::string& path() const { return path_; }
    bool isPackage() const { return isPackage_; }
    bool isDirectory() const { return isDirectory_; }

    // The icon drawn now, and whether a package's own icon is on its way.
    FileIcon shownIcon() const;
    bool isLoading() const { return loading_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // Draws an icon into `rect`; lists that paint their rows themselves use it too. Without an
    // image from the icon theme the icon's kind and category pick a glyph of the symbol font.
    static void paint(QPainter& p, const QRectF& rect, const FileIcon& icon, const QWidget* context);
    // The symbol-font glyph standing in for the icon theme's image.
    static char16_t fallbackGlyph(const FileIcon& icon);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void startLoad();
    void cancelLoad();

    std::string path_;
    bool isPackage_;
    bool isDirectory_;
    double size_;
    std::optional<FileIcon> packageIcon_;
    bool loading_ = false;
    // Bumped to drop the answer of a load that no longer matters (hidden, or another item shown).
    quint64 generation_ = 0;
};

}  // namespace nimbrel

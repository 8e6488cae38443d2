#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>
#include <functional>

#include "engine/risk_catalog.h"
#include "theme/appearance.h"

namespace nimbrel {

// Shared look of the small capsule labels: bold 9.5 px capitals on a tinted capsule.
struct BadgeStyle {
    static constexpr double kHorizontalPadding = 6;
    static constexpr double kVerticalPadding = 2.5;
    static constexpr double kFillOpacity = 0.18;
    static QFont font();
    // Upper-cased by the user's locale rules.
    static QString displayText(const QString& text);
};

// A tinted capsule label. The text is shown as given (callers translate it) in capitals.
class Badge : public QWidget {
    Q_OBJECT
  public:
    using Colour = std::function<QColor(const QWidget*)>;
    Badge(const QString& text, const QColor& tint, const QColor& foreground, QWidget* parent = nullptr);
    // Colours that follow the appearance are resolved each time the badge paints, so the badge
    // matches the window it ends up in and any later change of appearance.
    Badge(const QString& text, Colour tint, Colour foreground, QWidget* parent = nullptr);
    Badge(const QString& text, const QColor& tint, const AdaptiveColor& foreground,
          QWidget* parent = nullptr);

    QString text() const { return text_; }
    // The colours as they would be painted now.
    QColor tint() const { return tint_(this); }
    QColor foreground() const { return foreground_(this); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString text_;
    Colour tint_;
    Colour foreground_;
};

// Marks an item whose removal needs a second look (caution and danger), with the catalogue's reason
// as its tooltip. For the other levels it is hidden and takes no room in a layout.
class RiskBadge : public QWidget {
    Q_OBJECT
  public:
    explicit RiskBadge(const Risk& risk, QWidget* parent = nullptr);

    const Risk& risk() const { return risk_; }
    // Whether this level shows a badge at all.
    static bool isShown(Risk::Level level);
    // The symbol name, text colour and capsule fill of a shown level.
    static const char* symbolName(Risk::Level level);
    QColor foreground() const;
    QColor fill() const;

    static constexpr double kSymbolSize = 8;
    static constexpr double kSpacing = 3;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    void setVisible(bool visible) override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Risk risk_;
};

}  // namespace nimbrel

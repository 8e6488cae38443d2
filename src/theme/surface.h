#pragma once

#include <QWidget>
#include <optional>

#include "theme/animated_value.h"
#include "theme/decoration.h"

class QHBoxLayout;
class QVBoxLayout;

namespace nimbrel {

// A translucent glass card: the content inset by `padding`, a faint fill, a top-lit edge and, when
// lifted, a soft shadow below (painted onto the parent, so it is never clipped by the card).
// Give the card a layout (or use setContent); its contents margins are the padding.
class Surface : public QWidget, public OutsideDecoration {
    Q_OBJECT
  public:
    static constexpr double kShadowRadius = 18;
    static constexpr double kShadowDrop = 10;

    explicit Surface(int padding = 16, double radius = 26, bool lifted = false, QWidget* parent = nullptr);

    int padding() const { return padding_; }
    double radius() const { return radius_; }
    bool isLifted() const { return lifted_; }
    // Lifting animates with the hover motion.
    void setLifted(bool lifted);
    double shadowOpacity() const { return lift_.value(); }
    // Puts `content` inside the card, replacing what was there.
    void setContent(QWidget* content);

    QMargins decorationMargins() const override;
    void paintDecoration(QPainter& p) override;

  protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void moveEvent(QMoveEvent*) override;
    void resizeEvent(QResizeEvent*) override;

  private:
    int padding_;
    double radius_;
    bool lifted_;
    AnimatedValue lift_;
};

// The header of a titled card: an accent symbol, the title in upper case and a trailing widget.
class CardHeader : public QWidget {
    Q_OBJECT
  public:
    CardHeader(const QString& title, const QString& symbol, QWidget* trailing, QWidget* parent = nullptr);
    QString shownTitle() const { return title_.toUpper(); }
    QString symbol() const { return symbol_; }
    QWidget* trailing() const { return trailing_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    double textWidth() const;
    QString title_;
    QString symbol_;
    QWidget* trailing_;
    QHBoxLayout* row_;
};

// A glass card with an optional header and a body. Without a title there is no header at all, even
// when a symbol is given.
class MCard : public Surface {
    Q_OBJECT
  public:
    static constexpr int kSpacing = 12;

    MCard(const std::optional<QString>& title, const QString& symbol, QWidget* trailing, QWidget* content,
          QWidget* parent = nullptr);
    CardHeader* header() const { return header_; }
    QWidget* content() const { return content_; }

  private:
    CardHeader* header_ = nullptr;
    QWidget* content_;
};

}  // namespace nimbrel

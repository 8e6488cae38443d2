#pragma once

#include <QFont>
#include <QWidget>

#include "theme/appearance.h"

namespace nimbrel {

class RollingText;

// A one-line figure ("218.32 GB", "537,529 files") whose digits each take the same width, so a
// figure that changes while it is shown never jitters and what stands beside it keeps its place.
// A rolling figure animates a change by rolling the changed digits.
class FigureLabel : public QWidget {
    Q_OBJECT
  public:
    FigureLabel(const QFont& font, const AdaptiveColor& color, bool rolls, QWidget* parent = nullptr);

    QString text() const;
    // `animate` false (or Reduce Motion) shows the new figure at once.
    void setText(const QString& text, bool animate = true);
    void setAlignment(Qt::Alignment alignment);
    RollingText* rolling() const { return rolling_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QFont font_;
    AdaptiveColor color_;
    bool rolls_;
    RollingText* rolling_;
    Qt::Alignment alignment_ = Qt::AlignLeft;
};

}  // namespace nimbrel

#pragma once

#include <QFont>
#include <QWidget>

namespace nimbrel {

// The logo followed by the product name, read by assistive technology as one element.
class Wordmark : public QWidget {
    Q_OBJECT
  public:
    explicit Wordmark(QWidget* parent = nullptr);

    static constexpr double kLogoSize = 22;
    static constexpr double kSpacing = 8;

    static QFont nameFont();
    // The row's own rectangle inside the widget, and the room kept above it for the logo's puff.
    QRectF layoutRect() const;
    QMargins bleed() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QSizeF rowSize() const;
};

}  // namespace nimbrel

#pragma once

#include <QWidget>

#include "theme/rolling_text.h"

namespace nimbrel {

class NimbrelButton;

// The line above the Deep Clean lists: the safe total as a large gradient figure, "is safe to
// nimbrelise" on the same baseline, and the button that selects all of it at the trailing edge.
class SafeHeader : public QWidget {
    Q_OBJECT
  public:
    static constexpr double kFigureSize = 50;
    static constexpr double kFigureTracking = -1.5;
    static constexpr double kCaptionSize = 20;
    static constexpr double kSpacing = 12;

    explicit SafeHeader(QWidget* parent = nullptr);

    QString figure() const { return figure_; }
    void setFigure(const QString& figure);
    RollingText* rolling() const { return rolling_; }
    QString caption() const;
    NimbrelButton* selectButton() const { return button_; }

    static QFont figureFont();
    static QFont captionFont();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    double baseline() const;

    QString figure_;
    RollingText* rolling_;
    NimbrelButton* button_;
};

}  // namespace nimbrel

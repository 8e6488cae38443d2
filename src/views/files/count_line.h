#pragma once

#include <QWidget>

namespace nimbrel {

class RollingText;

// The review's count line: its digits sit in fixed cells and roll when a tick changes them.
class CountLine : public QWidget {
    Q_OBJECT
  public:
    explicit CountLine(QWidget* parent);
    static QFont lineFont();
    QString text() const;
    void setText(const QString& text);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    RollingText* rolling_;
};

}  // namespace nimbrel

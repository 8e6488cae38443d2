#pragma once

#include <QWidget>

namespace nimbrel {

// The dashed frame over the window while a folder is dragged over it. It takes no input: the drop
// goes to the window underneath.
class DropHint : public QWidget {
    Q_OBJECT
  public:
    static constexpr double kRadius = 34;
    static constexpr double kStroke = 2.5;
    static constexpr double kPadding = 16;

    explicit DropHint(QWidget* parent = nullptr);

    // The hint fades in and out; the window animates this.
    void setOpacity(double opacity);
    double opacity() const { return opacity_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    double opacity_ = 1;
};

}  // namespace nimbrel

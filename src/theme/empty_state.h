#pragma once

#include <QList>
#include <QWidget>

class QHBoxLayout;

namespace nimbrel {

// The centred placeholder a list shows when it has nothing to show: the logo, a title, a message
// and a row of actions. It fills the space it is given.
class EmptyState : public QWidget {
    Q_OBJECT
  public:
    EmptyState(const QString& title, const QString& message, const QList<QWidget*>& actions = {},
               QWidget* parent = nullptr);

    static constexpr double kLogoSize = 54;
    static constexpr double kLogoGap = 8;  // below the logo
    static constexpr double kSpacing = 16;
    static constexpr double kMessageWidth = 380;
    static constexpr double kActionsGap = 8;  // above the actions, kept when there are none
    static constexpr double kActionSpacing = 8;
    static constexpr double kPadding = 32;

    // Where each part sits for a widget of `size`.
    struct Layout {
        QRectF logo;  // the logo's s x 1.1 s frame
        QRectF title;
        QRectF message;
        QRectF actions;
    };
    Layout layoutFor(QSize size) const;

    QString title() const { return title_; }
    QString message() const { return message_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

    static QFont titleFont();
    static QFont messageFont();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

  private:
    // Heights of the four parts, in stack order, for a content width.
    struct Heights {
        double title, message, actions, total;
        double titleWidth, messageWidth;
    };
    Heights heightsFor(double contentWidth) const;

    QString title_;
    QString message_;
    QWidget* actions_;
    QHBoxLayout* actionsLayout_;
};

}  // namespace nimbrel

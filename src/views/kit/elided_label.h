#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>
#include <functional>

namespace nimbrel {

// One line of plain text, cut where it does not fit (never wrapped, never read as markup). The colour
// is resolved at paint time so it follows the window's appearance.
class ElidedLabel : public QWidget {
    Q_OBJECT
  public:
    explicit ElidedLabel(QWidget* parent = nullptr);
    // A label with its text, font, colour and cut set at once.
    static ElidedLabel* line(const QString& text, const QFont& font,
                             std::function<QColor(const QWidget*)> color, QWidget* parent,
                             Qt::TextElideMode mode = Qt::ElideMiddle);

    void setText(const QString& text);
    QString text() const { return text_; }
    void setFont(const QFont& font);
    void setColor(std::function<QColor(const QWidget*)> color);
    void setElideMode(Qt::TextElideMode mode);
    void setAlignment(Qt::Alignment alignment);
    // Every digit in a cell of the same width, so a changing count does not move its neighbours.
    void setFixedDigits(bool fixed);

    // The text as painted at the current width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString text_;
    QFont font_;
    std::function<QColor(const QWidget*)> color_;
    Qt::TextElideMode mode_ = Qt::ElideMiddle;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
    bool fixedDigits_ = false;
    // The text's width, measured once per text and font: layouts ask for the size hint often, and
    // shaping a long path each time is what a list of new rows spends its turn on.
    mutable int textWidth_ = -1;
    // The text as cut for the width it was last painted at: a repaint (a grab, a fold's frame) need
    // not cut it again.
    mutable QString shown_;
    mutable int shownWidth_ = -1;
};

}  // namespace nimbrel

#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>
#include <functional>

namespace nimbrel {

// Plain text that wraps over as many lines as it needs (never read as markup). The colour is resolved
// at paint time so it follows the window's appearance.
class WrappingText : public QWidget {
    Q_OBJECT
  public:
    WrappingText(const QString& text, const QFont& font, std::function<QColor(const QWidget*)> color,
                 QWidget* parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString& text);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QRectF bounds(double width) const;

    QString text_;
    QFont font_;
    std::function<QColor(const QWidget*)> color_;
};

}  // namespace nimbrel

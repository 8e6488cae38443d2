#pragma once

#include <QLineEdit>
#include <QWidget>
#include <optional>

#include "theme/animated_value.h"
#include "theme/appearance.h"
#include "theme/press_button.h"

namespace nimbrel {

// The small symbol-only button that clears the search text; it never takes focus.
class SearchClearButton : public PressButton {
    Q_OBJECT
  public:
    explicit SearchClearButton(QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintContent(QPainter& p) override;
};

// The one-line search box: a capsule with a magnifying glass, a borderless text field with a grey
// prompt and a clear button shown while there is text. The text is the caller's: it follows
// textChanged() and may set it with setText() at any time.
class SearchField : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kHeight = 30;
    static constexpr int kPadding = 11;
    static constexpr int kSpacing = 7;

    explicit SearchField(const QString& prompt = {}, QWidget* parent = nullptr);

    QString text() const { return edit_->text(); }
    void setText(const QString& text);
    QString prompt() const { return edit_->placeholderText(); }

    QLineEdit* lineEdit() const { return edit_; }
    SearchClearButton* clearButton() const { return clear_; }
    bool isFocused() const { return focused_; }
    // The accent ring's opacity as drawn now.
    double ringOpacity() const { return ring_.value(); }
    // Draws the focus ring without focus (the gallery's still pictures).
    void setFocusPreview(bool on) { ring_.animateTo(on || focused_ ? 1 : 0, Motion::hover()); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    void textChanged(const QString& text);

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void changeEvent(QEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void relayout();
    void applyColours();

    QLineEdit* edit_;
    SearchClearButton* clear_;
    bool focused_ = false;
    std::optional<Appearance> paletteFor_;
    AnimatedValue ring_{0};
};

}  // namespace nimbrel

#pragma once

#include <QLabel>
#include <QWidget>

class QHBoxLayout;

namespace nimbrel {

class AppState;
class ElidedLabel;
class FigureLabel;
class NimbrelButton;
class AdaptiveColor;

// One line of text that shrinks (down to a minimum share of its size) instead of wrapping.
class FittingLabel : public QWidget {
    Q_OBJECT
  public:
    FittingLabel(const QString& text, const QFont& font, double minimumScale, QWidget* parent = nullptr);
    void setText(const QString& text);
    QString text() const { return text_; }
    // The font size the text is drawn at for the current width.
    double fittedSize() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString text_;
    QFont font_;
    double minimumScale_;
};

// Above the placeholder tiles before any scan: what the app does, the three ways to start a scan,
// the last three scan targets and, without Full Disk Access, the way to grant it (or, where there is no
// such permission, what the last scan could not read).
class WelcomeHeader : public QWidget {
    Q_OBJECT
  public:
    explicit WelcomeHeader(AppState& state, QWidget* parent = nullptr);
    QList<QWidget*> recentChips() const { return recentChips_; }
    // The way to grant Full Disk Access, or (without that permission) what the last scan could not read.
    QWidget* accessHint() const { return hint_; }
    FittingLabel* headline() const { return headline_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QWidget* buildScanButtons();
    QWidget* buildAccessHint();
    void rebuildRecents();
    AppState& state_;
    FittingLabel* headline_;
    QLabel* intro_;
    QHBoxLayout* buttons_;
    QWidget* rule_;
    QList<QWidget*> recentChips_;
    QWidget* hint_;
};

// Above the live top-level entries while a scan runs: the target, the path being read and the
// running counts.
class DiscoveringHeader : public QWidget {
    Q_OBJECT
  public:
    explicit DiscoveringHeader(AppState& state, QWidget* parent = nullptr);
    QString titleText() const;
    QString pathText() const;
    QString bytesText() const;
    QString countsText() const;
    FigureLabel* bytesFigure() const { return bytes_; }
    FigureLabel* countsFigure() const { return counts_; }
    ElidedLabel* titleLabel() const { return title_; }

  private:
    void refresh();
    AppState& state_;
    ElidedLabel* title_;
    ElidedLabel* path_;
    FigureLabel* bytes_;
    FigureLabel* counts_;
};

}  // namespace nimbrel

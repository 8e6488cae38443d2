#pragma once

#include <QWidget>
#include <memory>
#include <tuple>

class QTextLayout;

namespace nimbrel {

// One kind line of the review's danger banner: a bold lead and a plain rest, on at most two lines;
// a longer text loses its middle.
class KindLine : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kMaxLines = 2;

    KindLine(QString lead, QString rest, QWidget* parent);
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override { return {200, heightForWidth(std::max(width(), 200))}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    // The laid-out text and its height.
    std::pair<std::shared_ptr<QTextLayout>, double> layOut(int width) const;
    // `keep` characters of `text`: its first half and its last, around an ellipsis.
    static QString cut(const QString& text, int keep);
    // `text` laid out in at most two lines, its height, and whether all of it fits.
    std::tuple<std::shared_ptr<QTextLayout>, double, bool> layOutText(const QString& text, int width) const;

    QString lead_;
    QString rest_;
};

}  // namespace nimbrel

#include "gallery.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "theme/palette.h"
#include "theme/typo.h"

namespace nimbrel::gallery {

namespace {

std::vector<Page>& registry() {
    static std::vector<Page> list;
    return list;
}

class Caption : public QWidget {
  public:
    Caption(const QString& text, QFont font, bool upper, QWidget* parent = nullptr)
        : QWidget(parent), text_(upper ? text.toUpper() : text), font_(font) {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override {
        const QFontMetrics fm(font_);
        return QSize(fm.horizontalAdvance(text_) + 2, fm.height() + 2);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setFont(font_);
        p.setPen(Palette::ink3().resolve(this));
        p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, text_);
    }

  private:
    QString text_;
    QFont font_;
};

}  // namespace

bool registerPage(Page page) {
    registry().push_back(std::move(page));
    return true;
}

std::vector<Page> pages() {
    std::vector<Page> list = registry();
    std::stable_sort(list.begin(), list.end(),
                     [](const Page& a, const Page& b) { return a.order < b.order; });
    return list;
}

QWidget* caption(const QString& text) {
    return new Caption(text, Typo::caption(), false);
}

QWidget* section(const QString& title, QWidget* body) {
    QFont f = Typo::micro();
    f.setLetterSpacing(QFont::AbsoluteSpacing, 1.1);
    return column({new Caption(title, f, true), body}, 8);
}

QWidget* row(std::initializer_list<QWidget*> widgets, int spacing) {
    auto* w = new QWidget;
    auto* box = new QHBoxLayout(w);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(spacing);
    for (QWidget* c : widgets)
        box->addWidget(c, 0, Qt::AlignVCenter);
    box->addStretch(1);
    return w;
}

QWidget* column(std::initializer_list<QWidget*> widgets, int spacing) {
    auto* w = new QWidget;
    auto* box = new QVBoxLayout(w);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(spacing);
    for (QWidget* c : widgets)
        box->addWidget(c);
    return w;
}

QWidget* labelled(QWidget* widget, const QString& text) {
    auto* w = new QWidget;
    auto* box = new QVBoxLayout(w);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(6);
    box->addWidget(widget, 0, Qt::AlignHCenter);
    box->addWidget(caption(text), 0, Qt::AlignHCenter);
    return w;
}

void showHover(QWidget* w) {
    QTimer::singleShot(0, w, [w] {
        QEnterEvent e(QPointF(w->width() / 2.0, w->height() / 2.0), QPointF(), QPointF());
        QApplication::sendEvent(w, &e);
    });
}

void showPressed(QWidget* w) {
    QTimer::singleShot(0, w, [w] {
        const QPointF c(w->width() / 2.0, w->height() / 2.0);
        QMouseEvent e(QEvent::MouseButtonPress, c, w->mapToGlobal(c), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    });
}

}  // namespace nimbrel::gallery

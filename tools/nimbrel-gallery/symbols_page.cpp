// Every symbol of the table and the type scale.
#include <QGridLayout>
#include <QPainter>

#include "gallery.h"
#include "theme/palette.h"
#include "theme/symbols.h"
#include "theme/typo.h"

namespace nimbrel::gallery {
namespace {

class SymbolCell : public QWidget {
  public:
    explicit SymbolCell(std::string_view name) : name_(name) {}
    QSize sizeHint() const override { return QSize(120, 52); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        Symbols::draw(p, QRectF(0, 0, width(), 30), name_, Palette::ink().resolve(this), 16,
                      FontWeight::semibold);
        p.setFont(Fonts::font(9));
        p.setPen(Palette::ink3().resolve(this));
        p.drawText(QRect(0, 32, width(), 18), Qt::AlignHCenter | Qt::AlignTop,
                   QString::fromLatin1(name_.data(), int(name_.size())));
    }

  private:
    std::string_view name_;
};

class TypeScale : public QWidget {
  public:
    QSize sizeHint() const override { return QSize(520, 190); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(Palette::ink().resolve(this));
        struct Sample {
            QFont font;
            const char* text;
        } samples[] = {
            {Typo::micro(), "micro 10 semibold"},
            {Typo::caption(), "caption 11 medium"},
            {Fonts::font(13, FontWeight::semibold), "13 semibold, the regular button"},
            {Fonts::font(15, FontWeight::bold, FontDesign::rounded), "15 bold rounded, the large button"},
            {Fonts::font(22, FontWeight::bold), "22 bold: 412.6 GB free"},
            {Fonts::font(28, FontWeight::heavy, FontDesign::rounded), "28 heavy rounded"},
        };
        int y = 0;
        for (const Sample& s : samples) {
            p.setFont(s.font);
            const int h = QFontMetrics(s.font).height();
            p.drawText(QRect(0, y, width(), h), Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(s.text));
            y += h + 6;
        }
    }
};

QWidget* build(Appearance) {
    auto* grid = new QWidget;
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    int i = 0;
    for (const auto& e : Symbols::table()) {
        layout->addWidget(new SymbolCell(e.name), i / 4, i % 4);
        ++i;
    }
    return column({section(QStringLiteral("Type"), new TypeScale), section(QStringLiteral("Symbols"), grid)},
                  22);
}

const bool registered = registerPage({QStringLiteral("symbols"), 90, build});

}  // namespace
}  // namespace nimbrel::gallery

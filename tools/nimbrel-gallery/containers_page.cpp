// Surfaces and cards, the two scroll containers, the evaporate fallback and the stage assets.
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "gallery.h"
#include "theme/chip.h"
#include "theme/evaporate_effect.h"
#include "theme/fading_scroll.h"
#include "theme/menu_row.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "theme/shrinking_scroll.h"
#include "theme/stage_assets.h"
#include "theme/surface.h"

namespace nimbrel::gallery {
namespace {

// A plain row of text for list contents.
class Line : public QWidget {
  public:
    explicit Line(const QString& text, int height = 28) : text_(text), height_(height) {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override { return QSize(160, height_); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Palette::surface().resolve(this));
        p.drawRoundedRect(QRectF(rect()).adjusted(0, 2, 0, -2), 8, 8);
        p.setPen(Palette::ink().resolve(this));
        p.setFont(Fonts::font(12.5));
        p.drawText(rect().adjusted(10, 0, 0, 0), Qt::AlignVCenter, text_);
    }

  private:
    QString text_;
    int height_;
};

QWidget* listOf(int n, const QString& stem) {
    auto* w = new QWidget;
    auto* box = new QVBoxLayout(w);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    for (int i = 1; i <= n; ++i)
        box->addWidget(new Line(stem.arg(i)));
    return w;
}

QWidget* cards() {
    auto* trailing =
        new NimbrelButton(QStringLiteral("Add"), NimbrelButton::Kind::ghost, NimbrelButton::Size::small);
    trailing->setSymbol(QStringLiteral("plus"));
    auto* titled = new MCard(QStringLiteral("Never scan"), QStringLiteral("eye.slash"), trailing,
                             listOf(2, QStringLiteral("/home/someone/Folder %1")));
    auto* plain =
        new MCard(std::nullopt, QStringLiteral("cube"), nullptr, listOf(2, QStringLiteral("Content %1")));
    auto* lifted = new Surface(16, 26, true);
    auto* inner = new QVBoxLayout(lifted);
    inner->setContentsMargins(16, 16, 16, 16);
    inner->addWidget(new Line(QStringLiteral("Lifted surface")));
    for (QWidget* w :
         {static_cast<QWidget*>(titled), static_cast<QWidget*>(plain), static_cast<QWidget*>(lifted)})
        w->setFixedWidth(250);
    auto* holder = row({titled, plain, lifted}, 24);
    holder->layout()->setContentsMargins(0, 0, 0, 30);
    return holder;
}

QWidget* scrolls() {
    auto* vertical = new FadingScroll(Qt::Vertical, 24);
    vertical->setContent(listOf(20, QStringLiteral("Item %1")));
    vertical->setFixedSize(200, 180);
    QTimer::singleShot(0, vertical, [vertical] { vertical->verticalScrollBar()->setValue(60); });

    auto* chipsRow = new QWidget;
    auto* box = new QHBoxLayout(chipsRow);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(6);
    for (const char* t : {"Video", "Audio", "Images", "Documents", "Archives", "Disk images", "Apps", "Code"})
        box->addWidget(new Chip(QString::fromLatin1(t)));
    auto* horizontal = new FadingScroll(Qt::Horizontal, 32);
    horizontal->setContent(chipsRow);
    horizontal->setFixedSize(260, 34);
    QTimer::singleShot(0, horizontal, [horizontal] { horizontal->horizontalScrollBar()->setValue(90); });

    auto* shortList = new ShrinkingScroll(280);
    shortList->setContent(listOf(2, QStringLiteral("Short %1")));
    auto* longList = new ShrinkingScroll(140);
    longList->setContent(listOf(12, QStringLiteral("Long %1")));
    for (auto* s : {shortList, longList})
        s->setFixedWidth(200);
    return row({labelled(vertical, QStringLiteral("fading, vertical")),
                labelled(horizontal, QStringLiteral("fading, horizontal")),
                labelled(column({shortList}), QStringLiteral("shrinking, short")),
                labelled(column({longList}), QStringLiteral("shrinking, max 140"))},
               22);
}

QWidget* evaporating() {
    auto stage = [](double progress) {
        auto* holder = new QWidget;
        holder->setFixedSize(170, 90);
        auto* item = new MenuRow(QStringLiteral("Caches"), QStringLiteral("archivebox"),
                                 QStringLiteral("1.2 GB"), holder);
        item->setGeometry(0, 50, 170, 32);
        if (progress > 0) {
            auto* effect = new EvaporateEffect(item);
            effect->setUsesLibrary(false);
            effect->setProgress(progress);
            item->setGraphicsEffect(effect);
        }
        return labelled(holder, QStringLiteral("p = %1").arg(progress));
    };
    return row({stage(0), stage(0.25), stage(0.5), stage(0.75)}, 22);
}

class Puffs : public QWidget {
  public:
    QSize sizeHint() const override { return QSize(4 * 84, 80); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        int x = 0;
        for (const QImage& img : StageAssets::puffs()) {
            p.fillRect(QRect(x, 0, 80, 80), QColor(40, 60, 80));
            p.drawImage(QRect(x, 0, 80, 80), img);
            x += 84;
        }
    }
};

QWidget* build(Appearance) {
    return column({section(QStringLiteral("Cards and surfaces"), cards()),
                   section(QStringLiteral("Scroll containers"), scrolls()),
                   section(QStringLiteral("Evaporate fallback"), evaporating()),
                   section(QStringLiteral("Puffs"), new Puffs)},
                  22);
}

const bool registered = registerPage({QStringLiteral("containers"), 20, build});

}  // namespace
}  // namespace nimbrel::gallery

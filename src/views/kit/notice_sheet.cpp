#include "views/kit/notice_sheet.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cmath>

#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "theme/scroll_bars.h"
#include "theme/symbols.h"
#include "theme/typo.h"
#include "views/kit/plain_label.h"
#include "views/kit/symbol_glyph.h"

namespace nimbrel {

namespace {

// A scroll area as tall as its content, up to a limit; beyond it the content scrolls.
class CappedScroll : public QScrollArea {
  public:
    CappedScroll(int width, int maxHeight, QWidget* parent)
        : QScrollArea(parent), width_(width), max_(maxHeight) {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override {
        QWidget* w = widget();
        if (!w) return QScrollArea::sizeHint();
        const int h = w->hasHeightForWidth() ? w->heightForWidth(width_) : w->sizeHint().height();
        return QSize(width_, std::min(h, max_));
    }
    QSize minimumSizeHint() const override { return QSize(0, sizeHint().height()); }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QScrollArea::resizeEvent(event);
        updateGeometry();
    }

  private:
    int width_;  // the text's width, known before the card is laid out
    int max_;
};

}  // namespace

NoticeSheet::NoticeSheet(AppState& state, QString message, QWidget* parent)
    : SheetCard(parent), state_(state) {
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(new SymbolGlyph(
                          QStringLiteral("exclamationmark.triangle.fill"), 22,
                          [](const QWidget*) { return QBrush(Palette::honey()); }, FontWeight::regular, this),
                      0, Qt::AlignTop);
    auto* column = new QVBoxLayout;
    column->setSpacing(6);
    auto* title = new PlainLabel(
        tr("Some grime wouldn't budge"), Fonts::font(20, FontWeight::heavy, FontDesign::rounded),
        [](const QWidget* w) { return Palette::ink().resolve(w); }, this);
    column->addWidget(title);

    message_ =
        new PlainLabel(message, Fonts::font(12), [](const QWidget* w) { return Palette::ink2().resolve(w); });
    message_->setWordWrap(true);
    message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    const int textWidth = kContentWidth - int(std::ceil(Symbols::side(22))) - 12;
    scroll_ = new CappedScroll(textWidth, kMaxMessageHeight, this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->viewport()->setAutoFillBackground(false);
    scroll_->setWidget(message_);
    // The scroll area fills its page with the window colour; the card shows through instead.
    message_->setAutoFillBackground(false);
    styleScrollBars(scroll_);
    column->addWidget(scroll_);
    header->addLayout(column, 1);
    addRow(header);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    ok_ = new NimbrelButton(tr("OK"), NimbrelButton::Kind::secondary, NimbrelButton::Size::regular, this);
    buttons->addWidget(ok_);
    addRow(buttons);
    connect(ok_, &QAbstractButton::clicked, this, &NoticeSheet::close);
}

void NoticeSheet::close() {
    if (state_.errorMessage()) state_.setErrorMessage(std::nullopt);
}

void NoticeSheet::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        close();
        return;
    }
    SheetCard::keyPressEvent(event);
}

}  // namespace nimbrel

#include "views/kit/item_row.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <cmath>

#include "engine/path_rules.h"
#include "model/selection.h"
#include "platform/file_manager.h"
#include "platform/icon_cache.h"
#include "theme/appearance.h"
#include "theme/badge.h"
#include "theme/chip.h"
#include "theme/evaporate_effect.h"
#include "theme/file_icon_view.h"
#include "theme/fixed_digits.h"
#include "theme/gauges.h"
#include "theme/icon_button.h"
#include "theme/motion.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "theme/shapes.h"
#include "theme/symbols.h"
#include "util/fmt.h"
#include "views/kit/elided_label.h"
#include "views/kit/files_text.h"
#include "views/kit/path_actions.h"
#include "views/kit/plain_label.h"
#include "views/kit/plain_text.h"
#include "views/kit/selection_bar.h"
#include "views/kit/symbol_glyph.h"
#include "views/kit/text_widgets.h"

namespace nimbrel {

namespace {

QString rowTr(const char* text) {
    return QCoreApplication::translate("nimbrel::ItemRow", text);
}

// The square holding the item's symbol on a faint rounded tile.
class SymbolTile : public QWidget {
  public:
    SymbolTile(QString symbol, bool accent, QWidget* parent)
        : QWidget(parent), symbol_(symbol), accent_(accent) {
        setFixedSize(28, 28);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(Shapes::rounded(QRectF(rect()), 7), QColor::fromRgbF(1, 1, 1, 0.06f));
        Symbols::draw(p, QRectF(rect()), symbol_.toStdString(),
                      accent_ ? Palette::accent().resolve(this) : Palette::ink2().resolve(this), 13,
                      FontWeight::semibold);
    }

  private:
    QString symbol_;
    bool accent_;
};

// The row's tick. It fades itself when it only stands for the folder's selection: a graphics
// effect would clash with the scroll's own.
class RowCheck : public NimbrelCheck {
  public:
    using NimbrelCheck::NimbrelCheck;
    void setFade(double opacity) {
        if (opacity == fade_) return;
        fade_ = opacity;
        update();
    }

  protected:
    void paintContent(QPainter& p) override {
        p.setOpacity(p.opacity() * fade_);
        NimbrelCheck::paintContent(p);
    }

  private:
    double fade_ = 1;
};

}  // namespace

// HoverActions

HoverActions::HoverActions(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
}

void HoverActions::addButton(QWidget* button, int gapBefore) {
    if (gapBefore > 0 && !buttons_.empty()) static_cast<QHBoxLayout*>(layout())->addSpacing(gapBefore);
    QSizePolicy policy = button->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    button->setSizePolicy(policy);
    button->hide();
    layout()->addWidget(button);
    buttons_.push_back(button);
}

void HoverActions::setAmount(double amount) {
    amount_ = std::clamp(amount, 0.0, 1.0);
    const bool live = amount_ >= 1;
    if (live != live_) {
        live_ = live;
        if (!live) picture_ = QPixmap();
        for (QWidget* b : buttons_)
            b->setVisible(live);
    }
    update();
}

void HoverActions::paintEvent(QPaintEvent*) {
    if (live_ || amount_ <= 0) return;
    // While fading, the buttons are hidden (no clicks) and drawn here from a picture at the fade's
    // opacity: a graphics effect inside a scroll that has its own would clash with it.
    if (picture_.isNull() || picture_.size() != size() * devicePixelRatioF()) {
        picture_ = QPixmap(size() * devicePixelRatioF());
        picture_.setDevicePixelRatio(devicePixelRatioF());
        picture_.fill(Qt::transparent);
        for (QWidget* b : buttons_)
            b->render(&picture_, b->pos(), QRegion(), QWidget::DrawChildren);
    }
    QPainter p(this);
    p.setOpacity(amount_);
    p.drawPixmap(0, 0, picture_);
}

// ItemRowRules

bool ItemRowRules::loaded(const CleanQueue& queue, const CleanItem& item) {
    return Selection::includes(queue, item);
}

bool ItemRowRules::throughFolder(const CleanQueue& queue, const CleanItem& item) {
    return Selection::heldBy(queue, item).has_value();
}

bool ItemRowRules::vanishing(const AppState& state, const CleanItem& item) {
    if (state.nimbrelisingIDs().count(item.id)) return true;
    return item.kind != CleanItem::Kind::junk && state.vanishingPaths().count(item.id);
}

bool ItemRowRules::safe(const CleanItem& item) {
    return item.heat >= 0.9 && item.risk().level == Risk::Level::safe;
}

double ItemRowRules::seed(const std::string& id) {
    const size_t h = std::hash<std::string>{}(id);
    return static_cast<double>(h % 997) / 997.0;
}

QString ItemRowRules::helpText(const CleanQueue& queue, const CleanItem& item, bool disabled) {
    const bool junk = item.kind == CleanItem::Kind::junk;
    const QString base = junk ? QString::fromUtf8(item.name) : tildePath(item.id);
    const bool isLoaded = loaded(queue, item);
    const QString hint = isLoaded ? rowTr("Click to deselect") : rowTr("Click to select for cleaning");
    if (!junk) {
        const Risk risk = item.risk();
        if (risk.level >= Risk::Level::caution)
            return base + QLatin1Char('\n') + QString::fromUtf8(risk.title) + QStringLiteral(": ") +
                   QString::fromUtf8(risk.why) + QLatin1Char('\n') + hint;
    }
    if (const auto cover = Selection::heldBy(queue, item))
        return base + QLatin1Char('\n') +
               rowTr("Included because “%1” is selected. Click to leave just this out")
                   .arg(QString::fromUtf8(cover->name));
    if (disabled) return base;
    return base + QLatin1Char('\n') + hint;
}

// ItemChip

ItemChip::ItemChip(CleanItem item, QWidget* parent) : QWidget(parent), item_(std::move(item)) {
    setFixedHeight(kHeight);
}

QString ItemChip::sizeText() const {
    return Fmt::bytes(std::max<int64_t>(0, item_.size));
}

QSize ItemChip::sizeHint() const {
    const int icon = item_.kind == CleanItem::Kind::junk && !item_.symbolPath ? 0 : 16 + 6;
    const int name = QFontMetrics(Fonts::font(11.5, FontWeight::semibold))
                         .horizontalAdvance(QString::fromUtf8(item_.name));
    const int size = int(std::ceil(FixedDigits::advance(Fonts::font(11, FontWeight::medium), sizeText())));
    return {10 + icon + name + 6 + size + 10, kHeight};
}

void ItemChip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.fillPath(Shapes::capsule(r), Palette::panel().resolve(this));
    p.setPen(QPen(Palette::glassEdge(), 1));
    p.drawPath(Shapes::capsule(r));
    double x = 10;
    if (!(item_.kind == CleanItem::Kind::junk && !item_.symbolPath)) {
        const std::string path = item_.symbolPath.value_or(item_.id);
        FileIconView::paint(p, QRectF(x, (kHeight - 16) / 2.0, 16, 16),
                            IconCache::shared().icon(path, false, item_.kind != CleanItem::Kind::file), this);
        x += 22;
    }
    const QFont sizeFont = Fonts::font(11, FontWeight::medium);
    const QString size = sizeText();
    const int sizeWidth = int(std::ceil(FixedDigits::advance(sizeFont, size)));
    const QFont nameFont = Fonts::font(11.5, FontWeight::semibold);
    const int room = std::max(0, width() - 10 - sizeWidth - 6 - static_cast<int>(x));
    p.setFont(nameFont);
    p.setPen(Palette::ink().resolve(this));
    p.drawText(QRectF(x, 0, room, kHeight), Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(nameFont).elidedText(QString::fromUtf8(item_.name), Qt::ElideMiddle, room));
    p.setFont(sizeFont);
    p.setPen(Palette::ink3().resolve(this));
    FixedDigits::draw(p, QRectF(x + room + 6, 0, sizeWidth, kHeight), Qt::AlignLeft | Qt::AlignVCenter, size);
}

// ItemRow

ItemRow::ItemRow(AppState& state, CleanItem item, Options options, QWidget* parent)
    : QWidget(parent),
      state_(state),
      item_(std::move(item)),
      options_(std::move(options)),
      interval_(QGuiApplication::styleHints()->mouseDoubleClickInterval()) {
    setFixedHeight(kHeight);
    setMouseTracking(true);
    const bool safe = ItemRowRules::safe(item_);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 0, 12, 0);
    row->setSpacing(12);

    check_ = new RowCheck(false, this);
    check_->setEnabled(!options_.disabled);
    connect(check_, &NimbrelCheck::toggleRequested, this, [this] { state_.toggleSelection(item_); });
    row->addWidget(check_);
    row->addWidget(makeIcon(safe));
    row->addLayout(makeTexts(safe), 1);
    addActions(row);
    row->addLayout(makeWeight(safe));

    // A disabled row is drawn dimmed, and evaporates from there like any other when it goes.
    evaporate_ = new EvaporateTrigger(this, ItemRowRules::seed(item_.id), options_.disabled ? 0.45 : 1.0);
    followLooks();
    connect(&state_.queue(), &CleanQueue::itemsChanged, this, &ItemRow::refresh);
    connect(&state_, &AppState::nimbrelisingIDsChanged, this, &ItemRow::refresh);
    connect(&state_, &AppState::vanishingPathsChanged, this, &ItemRow::refresh);
    refresh();
}

QWidget* ItemRow::makeIcon(bool safe) {
    if (options_.symbol) {
        return new SymbolTile(*options_.symbol, safe, this);
    }
    if (item_.kind == CleanItem::Kind::junk && !item_.symbolPath) {
        auto* empty = new QWidget(this);
        empty->setFixedSize(28, 28);
        return empty;
    }
    const std::string path = item_.symbolPath.value_or(item_.id);
    const bool package = hasPackageExtension(path);
    const bool folder = item_.kind == CleanItem::Kind::folder || item_.kind == CleanItem::Kind::artifact;
    return new FileIconView(path, package, folder && !package, 28, this);
}

QLayout* ItemRow::makeTexts(bool safe) {
    const bool junk = item_.kind == CleanItem::Kind::junk;
    auto* text = new QVBoxLayout;
    text->setSpacing(2);
    auto* first = new QHBoxLayout;
    first->setSpacing(6);
    auto* name = new ElidedLabel(this);
    name->setFont(Fonts::font(13, FontWeight::medium));
    name->setColor(shownColor(Palette::ink()));
    name->setText(QString::fromUtf8(item_.name));
    first->addWidget(name);
    if (safe) {
        auto* sparkles = new SymbolGlyph(QStringLiteral("sparkles"), 10, shownColor(Palette::accent()),
                                         FontWeight::bold, this);
        sparkles->setAttribute(Qt::WA_TransparentForMouseEvents, false);  // shows its tooltip
        sparkles->setToolTip(rowTr("Safe to nimbrelise"));
        first->addWidget(sparkles);
    }
    if (options_.badge) {
        first->addWidget(new Badge(*options_.badge, Palette::honey(), Palette::honeyInk(), this));
    } else if (!junk) {
        first->addWidget(new RiskBadge(item_.risk(), this));
    }
    first->addStretch(1);
    text->addLayout(first);
    const QString subtitle = subtitleText();
    if (!subtitle.isEmpty()) {
        auto* second = new ElidedLabel(this);
        second->setFont(Fonts::font(11));
        second->setColor(shownColor(Palette::ink3()));
        second->setElideMode(Qt::ElideLeft);
        // A caller's line counts files and folders or tells an age; the default is the folder's path.
        second->setFixedDigits(options_.subtitle.has_value());
        second->setText(subtitle);
        text->addWidget(second);
    }
    return text;
}

// The path buttons, the preview and open buttons, shown on hover, and the disclosure chevron.
void ItemRow::addActions(QHBoxLayout* row) {
    const bool junk = item_.kind == CleanItem::Kind::junk;
    hoverActions_ = new HoverActions(this);
    HoverActions* actions = hoverActions_;
    if (!junk) actions->addButton(new PathActions(state_, item_.id, 24, hoverActions_));
    // The path buttons and the preview and open buttons are two groups of the row, 12 apart.
    if (options_.preview) {
        auto* eye = new IconButton(QStringLiteral("eye"), 24, false, hoverActions_);
        eye->setHelp(PathActions::previewHelp());
        connect(eye, &QAbstractButton::clicked, this, [this] { options_.preview(); });
        actions->addButton(eye, 12);
    }
    if (options_.onOpen) {
        auto* open = new IconButton(QStringLiteral("chevron.right"), 24, false, hoverActions_);
        open->setHelp(rowTr("Open folder (or double-click)"));
        connect(open, &QAbstractButton::clicked, this, [this] { options_.onOpen(); });
        actions->addButton(open, options_.preview ? 0 : 12);
    }
    hoverActions_->hide();
    row->addWidget(hoverActions_);

    if (options_.expanded && options_.onDisclose) {
        disclose_ =
            new NimbrelButton(QString(), NimbrelButton::Kind::ghost, NimbrelButton::Size::small, this);
        disclose_->setSymbol(QStringLiteral("chevron.down"));
        setExpanded(*options_.expanded);
        connect(disclose_, &QAbstractButton::clicked, this, [this] { options_.onDisclose(); });
        row->addWidget(disclose_);
    }
}

QLayout* ItemRow::makeWeight(bool safe) {
    auto* weight = new QHBoxLayout;
    weight->setSpacing(8);
    auto* bar = weightBar_ =
        new MoltenBar(options_.weight, 4,
                      safe ? std::nullopt : std::optional<QColor>(QColor::fromRgbF(1, 1, 1, 0.32f)), this);
    bar->setFixedWidth(90);
    weight->addWidget(bar, 0, Qt::AlignVCenter);
    auto* size = new ElidedLabel(this);
    size->setFont(Fonts::font(13, FontWeight::semibold, FontDesign::rounded));
    size->setColor(shownColor(Palette::ink()));
    size->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    size->setFixedDigits(true);
    size->setText(Fmt::bytes(std::max<int64_t>(0, item_.size)));
    size->setFixedWidth(76);
    weight->addWidget(size);
    return weight;
}

// The selected look and the hover fill, eased; the hover buttons fade with the fill.
void ItemRow::followLooks() {
    loadedAmount_.setImmediate(isLoaded() ? 1 : 0);
    connect(&loadedAmount_, &AnimatedValue::changed, this, qOverload<>(&QWidget::update));
    // The hover buttons fade with the hover fill and leave the layout once faded out.
    connect(&hoverAmount_, &AnimatedValue::changed, this, [this](double v) {
        hoverActions_->setAmount(hovering_ ? v : std::min(v, 0.999));
        if (v <= 0 && !hovering_) hoverActions_->hide();
        update();
    });
}

QString ItemRow::subtitleText() const {
    if (options_.subtitle) return *options_.subtitle;
    if (item_.kind == CleanItem::Kind::junk) return {};
    return tildePath(PathRules::parent(item_.id));
}

void ItemRow::setWeight(double weight) {
    options_.weight = weight;
    weightBar_->setFraction(weight);
}

void ItemRow::setExpanded(bool expanded) {
    if (!disclose_) return;
    options_.expanded = expanded;
    disclose_->setText(expanded ? rowTr("Hide items") : rowTr("Show items"));
    disclose_->setToolTip(expanded ? rowTr("Hide what's inside")
                                   : rowTr("See exactly what would be removed"));
}

bool ItemRow::isLoaded() const {
    return ItemRowRules::loaded(state_.queue(), item_);
}

void ItemRow::refresh() {
    const bool loaded = isLoaded();
    check_->setOn(loaded);
    setAccessibleName(QString::fromUtf8(item_.name));
    check_->setAccessibleName(accessibleName());  // the tick box says what it ticks
    setAccessibleDescription(loaded ? rowTr("Selected for cleaning. Activate to deselect.")
                                    : rowTr("Activate to select for cleaning."));
    // A tick that only stands for the folder's selection is drawn faded.
    const double tickOpacity = ItemRowRules::throughFolder(state_.queue(), item_) ? 0.55 : 1.0;
    static_cast<RowCheck*>(check_)->setFade(tickOpacity);
    evaporate_->setVanishing(ItemRowRules::vanishing(state_, item_));
    loadedAmount_.animateTo(loaded ? 1 : 0, Motion::snappy(0.18));
    update();
}

void ItemRow::setHovering(bool on) {
    if (options_.disabled) on = false;
    if (hovering_ == on) return;
    hovering_ = on;
    if (on && hoverActions_->hasButtons()) hoverActions_->show();
    // Leaving takes the buttons' clicks away at once; the picture of them fades with the fill.
    if (!on) hoverActions_->setAmount(std::min(hoverAmount_.value(), 0.999));
    hoverAmount_.animateTo(on ? 1 : 0, Motion::hover());
    update();
}

void ItemRow::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    setHovering(true);
}

void ItemRow::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    setHovering(false);
}

void ItemRow::click() {
    if (options_.disabled) return;
    const bool second = hasLastClick_ && lastClick_.elapsed() < interval_;
    if (second) {
        hasLastClick_ = false;
        if (pendingLeaveOut_) {
            pendingLeaveOut_->stop();
            pendingLeaveOut_->deleteLater();
            pendingLeaveOut_ = nullptr;
        } else {
            state_.selection().undo(item_);
        }
        if (options_.onOpen) {
            options_.onOpen();
        } else if (options_.preview) {
            options_.preview();
        }
        return;
    }
    hasLastClick_ = true;
    lastClick_.start();
    if (ItemRowRules::throughFolder(state_.queue(), item_)) {
        // Selected through its folder: wait and see whether a second click follows.
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setInterval(interval_);
        connect(timer, &QTimer::timeout, this, [this, timer] {
            if (pendingLeaveOut_ == timer) pendingLeaveOut_ = nullptr;
            timer->deleteLater();
            state_.toggleSelection(item_);
        });
        timer->start();
        pendingLeaveOut_ = timer;
        return;
    }
    state_.toggleSelection(item_);
}

void ItemRow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    pressed_ = true;
    pressPos_ = event->position().toPoint();
}

void ItemRow::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press like any other; the timing decides.
    mousePressEvent(event);
}

void ItemRow::mouseMoveEvent(QMouseEvent* event) {
    if (pressed_ &&
        (event->position().toPoint() - pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
        pressed_ = false;
        startDrag();
    }
}

void ItemRow::mouseReleaseEvent(QMouseEvent* event) {
    if (!pressed_ || event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    pressed_ = false;
    if (rect().contains(event->position().toPoint())) click();
}

void ItemRow::startDrag() {
    auto* drag = new QDrag(this);
    drag->setMimeData(SelectionBar::mimeData(item_));
    ItemChip chip(item_);
    chip.setFixedWidth(160);
    chip.resize(160, ItemChip::kHeight);
    drag->setPixmap(chip.grab());
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

QStringList ItemRow::menuEntries() const {
    QStringList entries{isLoaded() ? rowTr("Deselect") : rowTr("Select for Cleaning")};
    if (options_.onOpen) entries << rowTr("Open");
    if (options_.preview) entries << PathActions::previewTitle();
    if (item_.kind != CleanItem::Kind::junk) entries << revealTitle() << rowTr("Copy Path");
    return entries;
}

void ItemRow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(isLoaded() ? rowTr("Deselect") : rowTr("Select for Cleaning"),
                   [this] { state_.toggleSelection(item_); });
    if (options_.onOpen) menu.addAction(rowTr("Open"), [this] { options_.onOpen(); });
    if (options_.preview) menu.addAction(PathActions::previewTitle(), [this] { options_.preview(); });
    if (item_.kind != CleanItem::Kind::junk) {
        const std::string id = item_.id;
        AppState* state = &state_;
        menu.addAction(revealTitle(), [id] { FileActions::reveal({id}); });
        menu.addAction(rowTr("Copy Path"), [state, id] { state->copyPaths({id}); });
    }
    menu.exec(event->globalPos());
}

bool ItemRow::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(
            help->globalPos(),
            PlainText::toolTip(ItemRowRules::helpText(state_.queue(), item_, options_.disabled)), this);
        return true;
    }
    return QWidget::event(event);
}

void ItemRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect());
    const double loaded = loadedAmount_.value();
    const double hover = hoverAmount_.value() * (1 - loaded);
    const QPainterPath shape = Shapes::rounded(r, 12);
    if (hover > 0) p.fillPath(shape, QColor::fromRgbF(1, 1, 1, float(0.05 * hover)));
    if (loaded > 0) {
        p.setOpacity(loaded);
        p.fillPath(shape, Palette::nimbrelSubtle().resolve(this));
        const QRectF mark(0, (height() - 22) / 2.0, 3, 22);
        p.fillPath(Shapes::capsule(mark), Palette::nimbrel());
    }
}

}  // namespace nimbrel

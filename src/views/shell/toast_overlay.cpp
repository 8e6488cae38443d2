#include "views/shell/toast_overlay.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "model/clean_queue.h"
#include "theme/drawing_timeline.h"
#include "theme/fixed_digits.h"
#include "theme/loader.h"
#include "theme/motion.h"
#include "theme/palette.h"
#include "theme/shapes.h"
#include "theme/symbols.h"

namespace nimbrel {

namespace {

MotionSpec pillMotion() {
    return Motion::snappy(0.25);
}

QString removalText() {
    return ToastOverlay::tr("Nimbrelising…");
}

// The loader as a soft shade of the pill's text colour: its white puffs would vanish on the light
// capsule, and in the full text colour the overlapping puffs merge into one dark blot.
class PillLoader : public NimbrelLoader {
  public:
    PillLoader(double size, QWidget* parent) : NimbrelLoader(size, parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

  protected:
    void paintLoader(QPainter& p, QPointF centre, QSize area) override {
        const qreal dpr = p.device()->devicePixelRatioF();
        QImage shape(area * dpr, QImage::Format_ARGB32_Premultiplied);
        shape.setDevicePixelRatio(dpr);
        shape.fill(Qt::transparent);
        {
            QPainter puffs(&shape);
            paintPuffs(puffs, centre, loaderSize(), timeline().t());
            puffs.setCompositionMode(QPainter::CompositionMode_SourceIn);
            puffs.fillRect(QRectF(QPointF(), QSizeF(area)), Palette::canvas().resolve(this));
        }
        p.save();
        p.setOpacity(p.opacity() * kPuffShade);
        p.drawImage(0, 0, shape);
        p.restore();
    }

  private:
    static constexpr double kPuffShade = 0.45;
};

}  // namespace

ToastOverlay::ToastOverlay(AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    loader_ = new PillLoader(kLoaderSize, this);
    loader_->hide();

    connect(&state_, &AppState::toastChanged, this, &ToastOverlay::followToast);
    connect(&state_, &AppState::isDeletingChanged, this, &ToastOverlay::followDeleting);
    connect(&state_.queue(), &CleanQueue::itemsChanged, this, &ToastOverlay::followQueue);
    for (AnimatedValue* v : {&removal_, &toastShown_, &padding_})
        connect(v, &AnimatedValue::changed, this, [this] {
            placeLoader();
            repaintPills();
        });

    removal_.setImmediate(state_.isDeleting() ? 1 : 0);
    padding_.setImmediate(state_.queue().items().empty() ? kBottomPadding : kBottomPaddingOverSelection);
    followToast();
    if (state_.toast()) toastShown_.setImmediate(1);
    placeLoader();
}

QFont ToastOverlay::pillFont() {
    return Fonts::font(13, FontWeight::semibold, FontDesign::rounded);
}

void ToastOverlay::followToast() {
    const std::optional<Toast>& toast = state_.toast();
    if (!toast) {
        timedID_ = QUuid();
        toastShown_.animateTo(0, pillMotion());
        repaintPills();
        return;
    }
    shownToast_ = *toast;
    if (toast->id != timedID_) {
        // A fresh 4 seconds for every new toast. The previous toast's wait may still fire; it then
        // finds another id and leaves this toast alone.
        timedID_ = toast->id;
        const QUuid id = toast->id;
        Clock& clock = state_.services().clock ? *state_.services().clock : Clock::system();
        clock.after(kToastLifetime, this, [this, id] { expire(id); });
    }
    toastShown_.animateTo(1, pillMotion());
    repaintPills();
}

void ToastOverlay::expire(const QUuid& id) {
    if (state_.toast() && state_.toast()->id == id) state_.setToast(std::nullopt);
}

void ToastOverlay::followDeleting() {
    removal_.animateTo(state_.isDeleting() ? 1 : 0, pillMotion());
    placeLoader();
    repaintPills();
}

void ToastOverlay::followQueue() {
    padding_.animateTo(state_.queue().items().empty() ? kBottomPadding : kBottomPaddingOverSelection,
                       pillMotion());
}

double ToastOverlay::removalWidth() const {
    return 2 * kPillPadding + kLoaderSize + kPillSpacing + FixedDigits::advance(pillFont(), removalText());
}

QStringList ToastOverlay::wrapped(const QFont& font, const QString& text, double width) {
    const auto fits = [&](const QString& line) { return FixedDigits::advance(font, line) <= width; };
    // Words, a separating "·" kept with the word before it.
    QStringList words;
    for (const QString& word : text.split(QLatin1Char(' '))) {
        if (word == QStringLiteral("\u00B7") && !words.isEmpty())
            words.back() += QLatin1Char(' ') + word;
        else
            words.push_back(word);
    }
    QStringList lines;
    QString line;
    for (const QString& word : words) {
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (line.isEmpty() || fits(longer)) {
            line = longer;
        } else {
            lines.push_back(line);
            line = word;
        }
        // A word that fills more than a line goes over several, as much on each as fits.
        while (line.size() > 1 && !fits(line)) {
            qsizetype take = 1;
            while (take + 1 < line.size() && fits(line.left(take + 1)))
                ++take;
            lines.push_back(line.left(take));
            line = line.mid(take);
        }
    }
    lines.push_back(line);
    return lines;
}

double ToastOverlay::toastTextRoom() const {
    return double(width()) - 4 * kPillPadding - Symbols::side(13) - kPillSpacing;
}

QStringList ToastOverlay::toastLines() const {
    if (!shownToast_) return {};
    const double room = toastTextRoom();
    if (room < 1) return {shownToast_->message};
    return wrapped(pillFont(), shownToast_->message, room);
}

double ToastOverlay::toastWidth() const {
    if (!shownToast_) return 0;
    double widest = 0;
    for (const QString& line : toastLines())
        widest = std::max(widest, FixedDigits::advance(pillFont(), line));
    return 2 * kPillPadding + Symbols::side(13) + kPillSpacing + widest;
}

double ToastOverlay::toastHeight() const {
    const qsizetype lines = std::max<qsizetype>(1, toastLines().size());
    return kPillHeight + std::ceil(double(lines - 1) * QFontMetricsF(pillFont()).lineSpacing());
}

QRectF ToastOverlay::pillRect(double width, double bottom, double pillHeight) const {
    width = std::min(width, double(this->width()) - 2 * kPillPadding);
    return QRectF((this->width() - width) / 2, bottom - pillHeight, width, pillHeight);
}

double ToastOverlay::removalBottom() const {
    // The removal pill sits above the toast; it slides down as the toast leaves.
    return height() - padding_.value() - (toastHeight() + kPillSpacing) * toastShown_.value();
}

QRect ToastOverlay::removalPillRect() const {
    if (removal_.value() <= 0) return {};
    return pillRect(removalWidth(), removalBottom()).toAlignedRect();
}

QRect ToastOverlay::toastPillRect() const {
    if (toastShown_.value() <= 0 || !shownToast_) return {};
    return pillRect(toastWidth(), height() - padding_.value(), toastHeight()).toAlignedRect();
}

QRect ToastOverlay::pillsArea() const {
    // A pill's shadow: blurred by 16 and dropped by 8.
    const int reach = int(std::ceil(Shapes::reach(16))) + 8 + 1;
    QRect area;
    for (const QRect& pill : {removalPillRect(), toastPillRect()})
        if (!pill.isEmpty()) area |= pill.adjusted(-reach, -reach, reach, reach);
    return area;
}

void ToastOverlay::repaintPills() {
    const QRect now = pillsArea();
    update(pillsShown_ | now);
    pillsShown_ = now;
}

void ToastOverlay::placeLoader() {
    const bool shown = removal_.value() > 0.5;
    if (shown) {
        const QRectF r = pillRect(removalWidth(), removalBottom());
        // The loader's frame reaches beyond its drawing square (its puffs rise); place the square.
        const QRectF square = loader_->layoutRect();
        loader_->setGeometry(int(std::round(r.left() + kPillPadding - square.left())),
                             int(std::round(r.center().y() - square.center().y())),
                             loader_->sizeHint().width(), loader_->sizeHint().height());
    }
    loader_->setVisible(shown);
}

bool ToastOverlay::event(QEvent* event) {
    // Moving into a window hides a widget; the overlay is always there, drawing only what is set.
    if (event->type() == QEvent::ParentChange && parentWidget()) show();
    return QWidget::event(event);
}

void ToastOverlay::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeLoader();
}

void ToastOverlay::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QFont font = pillFont();
    const QColor fill = Palette::ink().resolve(this);
    const QColor text = Palette::canvas().resolve(this);

    // One pill: scaled from 0.95 about its centre and faded by `amount`; `content` draws inside.
    const auto pill = [&](const QRectF& r, double amount, const std::function<void(const QRectF&)>& content) {
        if (amount <= 0) return;
        p.save();
        const double scale = 0.95 + 0.05 * amount;
        p.translate(r.center());
        p.scale(scale, scale);
        p.translate(-r.center());
        p.setOpacity(amount);
        // A toast of several lines keeps the ends of a one-line pill.
        const QPainterPath shape =
            r.height() > kPillHeight ? Shapes::rounded(r, kPillHeight / 2.0) : Shapes::capsule(r);
        Shapes::shadow(p, shape, QColor::fromRgbF(0, 0, 0, 0.25f), 16, QPointF(0, 8));
        p.fillPath(shape, fill);
        content(r.adjusted(kPillPadding, 0, -kPillPadding, 0));
        p.restore();
    };

    p.setFont(font);
    pill(pillRect(removalWidth(), removalBottom()), removal_.value(), [&](const QRectF& r) {
        p.setPen(text);
        FixedDigits::draw(p, r.adjusted(kLoaderSize + kPillSpacing, 0, 0, 0),
                          Qt::AlignLeft | Qt::AlignVCenter, removalText());
    });
    if (shownToast_) {
        const QStringList lines = toastLines();
        const double lineHeight = QFontMetricsF(font).lineSpacing();
        pill(pillRect(toastWidth(), height() - padding_.value(), toastHeight()), toastShown_.value(),
             [&](const QRectF& r) {
                 // The lines sit where a one-line pill's would, one below the other; the symbol
                 // stands beside the first.
                 const double firstCentre = r.top() + kPillHeight / 2.0;
                 const double side = Symbols::side(13);
                 const QRectF symbolRect(r.left(), firstCentre - side / 2, side, side);
                 Symbols::draw(p, symbolRect, shownToast_->symbol.toStdString(), QBrush(Palette::nimbrel()),
                               13, FontWeight::semibold);
                 p.setFont(font);
                 p.setPen(text);
                 const double left = r.left() + side + kPillSpacing;
                 for (qsizetype i = 0; i < lines.size(); ++i) {
                     const QRectF line(left, firstCentre - lineHeight / 2 + double(i) * lineHeight,
                                       r.right() - left, lineHeight);
                     FixedDigits::draw(p, line, Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
                 }
             });
    }
}

}  // namespace nimbrel

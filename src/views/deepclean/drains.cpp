#include "views/deepclean/drains.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

#include "model/app_state.h"
#include "model/cleanup_model.h"
#include "theme/fixed_digits.h"
#include "theme/fonts.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "theme/shapes.h"
#include "theme/symbols.h"
#include "util/fmt.h"
#include "views/kit/elided_label.h"

namespace nimbrel {

namespace {

constexpr double kSymbolSize = 14;
constexpr double kTitleSize = 12.5;
constexpr double kValueSize = 11.5;
constexpr double kHeadingSize = 10.5;
constexpr double kHeadingTracking = 1.4;
constexpr int kSectionSpacing = 12;

QFont titleFont() {
    return Fonts::font(kTitleSize, FontWeight::semibold);
}

QFont valueFont() {
    return Fonts::font(kValueSize, FontWeight::medium);
}

}  // namespace

std::optional<QString> Drains::trashValue(const std::optional<TrashUsage>& trash) {
    if (!trash) return std::nullopt;
    if (!trash->usage.readable) return QStringLiteral("needs access");
    return Fmt::bytes(trash->usage.size);
}

bool Drains::canEmpty(const std::optional<TrashUsage>& trash) {
    // A Trash that holds files of no size still holds something; one that can't be read may too.
    return !trash || !trash->usage.readable || trash->usage.size > 0 || trash->usage.items > 0;
}

QString Drains::emptyTrashMessage(const std::optional<TrashUsage>& trash,
                                  const std::vector<VolumeInfo>& volumes) {
    if (!trash || !trash->usage.readable)
        return tr(
            "Everything in the Trash is deleted for good, including everything you've nimbrelised. "
            "This can't be undone.");
    const QString size = Fmt::bytes(trash->usage.size);
    if (trash->volumes.empty())
        return tr("Everything in the Trash, %1, is deleted for good, including everything you've "
                  "nimbrelised. "
                  "This can't be undone.")
            .arg(size);
    QStringList names;
    for (const std::string& mountPoint : trash->volumes) {
        const auto listed = std::find_if(volumes.begin(), volumes.end(),
                                         [&](const VolumeInfo& v) { return v.url == mountPoint; });
        const QString name = listed != volumes.end() && !listed->name.empty()
                                 ? QString::fromStdString(listed->name)
                                 : Fmt::displayName(mountPoint);
        names << tr("“%1”").arg(name);
    }
    return tr("Everything in the Trash, %1 (%2 of it on %3), is deleted for good, including everything "
              "you've nimbrelised. This can't be undone.")
        .arg(size, Fmt::bytes(trash->onVolumes), Fmt::locale().createSeparatedList(names));
}

ConfirmRequest Drains::emptyTrashRequest(AppState& state) {
    ConfirmRequest request;
    request.title = tr("Empty the Trash?");
    request.message = emptyTrashMessage(state.cleanup().trash(), state.volumes());
    request.actionTitle = tr("Empty Trash");
    request.destructive = true;
    request.perform = [&state] { state.emptyTrash(); };
    return request;
}

ConfirmRequest Drains::simulatorsRequest(AppState& state) {
    ConfirmRequest request;
    request.title = tr("Remove unavailable simulators?");
    request.message =
        tr("Runs xcrun simctl delete unavailable. It deletes simulators whose runtime isn't installed.");
    request.actionTitle = tr("Remove");
    request.destructive = true;
    request.perform = [&state] { state.removeUnavailableSimulators(); };
    return request;
}

DrainPlate::DrainPlate(const std::string& symbol, const QString& title, const std::optional<QString>& value,
                       const QString& action, std::function<void()> perform, QWidget* parent)
    : QWidget(parent), symbol_(symbol), title_(title), value_(value) {
    button_ = new NimbrelButton(action, NimbrelButton::Kind::danger, NimbrelButton::Size::small, this);
    connect(button_, &NimbrelButton::clicked, this, [perform = std::move(perform)] {
        if (perform) perform();
    });
    setAccessibleName(value_ ? title_ + QStringLiteral(", ") + *value_ : title_);
}

double DrainPlate::textWidth() const {
    double width = QFontMetricsF(titleFont()).horizontalAdvance(title_);
    if (value_) width = std::max(width, FixedDigits::advance(valueFont(), *value_));
    return std::ceil(width);
}

QSize DrainPlate::sizeHint() const {
    const QSize button = button_->sizeHint();
    double textHeight = QFontMetricsF(titleFont()).height();
    if (value_) textHeight += QFontMetricsF(valueFont()).height();
    const double content = std::max({double(button.height()), textHeight, Symbols::side(kSymbolSize)});
    const double width = kLeadingInset + Symbols::side(kSymbolSize) + kSpacing + textWidth() + kSpacing +
                         button.width() + kInset;
    return QSize(int(std::ceil(width)), int(std::ceil(content + 2 * kInset)));
}

QRectF DrainPlate::symbolRect() const {
    const double side = Symbols::side(kSymbolSize);
    return QRectF(kLeadingInset, (height() - side) / 2, side, side);
}

void DrainPlate::resizeEvent(QResizeEvent*) {
    const QSize button = button_->sizeHint();
    button_->setGeometry(width() - kInset - button.width(), (height() - button.height()) / 2, button.width(),
                         button.height());
}

void DrainPlate::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    p.fillPath(Shapes::capsule(bounds), Palette::surface().resolve(this));
    p.setPen(QPen(Palette::line().resolve(this), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(Shapes::capsule(Shapes::inset(bounds, 0.5)));

    Symbols::draw(p, symbolRect(), symbol_, Room::burnDim(), kSymbolSize, FontWeight::semibold);

    const double x = symbolRect().right() + kSpacing;
    const double width = button_->geometry().left() - kSpacing - x;
    const QFontMetricsF titleMetrics(titleFont());
    double textHeight = titleMetrics.height();
    const QFontMetricsF valueMetrics(valueFont());
    if (value_) textHeight += valueMetrics.height();
    double y = (height() - textHeight) / 2;
    p.setFont(titleFont());
    p.setPen(Palette::ink().resolve(this));
    p.drawText(QRectF(x, y, width, titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
               titleMetrics.elidedText(title_, Qt::ElideRight, width));
    if (value_) {
        y += titleMetrics.height();
        p.setFont(valueFont());
        p.setPen(Palette::ink3().resolve(this));
        FixedDigits::draw(p, QRectF(x, y, width, valueMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                          FixedDigits::elided(valueFont(), *value_, width, Qt::ElideRight));
    }
}

DrainsSection::DrainsSection(AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kSectionSpacing);
    heading_ = new ElidedLabel(this);
    QFont font = Fonts::font(kHeadingSize, FontWeight::heavy);
    font.setLetterSpacing(QFont::AbsoluteSpacing, kHeadingTracking);
    heading_->setFont(font);
    heading_->setColor([](const QWidget*) { return Room::burnDim(); });
    heading_->setText(tr("DRAINS"));
    column->addWidget(heading_);
    row_ = new QHBoxLayout();
    row_->setContentsMargins(0, 0, 0, 0);
    row_->setSpacing(kSectionSpacing);
    column->addLayout(row_);

    connect(&state_.cleanup(), &CleanupModel::trashChanged, this, &DrainsSection::rebuild);
    connect(&state_.cleanup(), &CleanupModel::hasSimulatorsChanged, this, &DrainsSection::rebuild);
    connect(&state_.cleanup(), &CleanupModel::isEmptyingTrashChanged, this, &DrainsSection::rebuild);
    rebuild();
}

QString DrainsSection::heading() const {
    return heading_->text();
}

QList<DrainPlate*> DrainsSection::plates() const {
    QList<DrainPlate*> out;
    for (int i = 0; i < row_->count(); ++i)
        if (auto* plate = qobject_cast<DrainPlate*>(row_->itemAt(i)->widget())) out.push_back(plate);
    return out;
}

void DrainsSection::rebuild() {
    while (QLayoutItem* item = row_->takeAt(0)) {
        if (QWidget* w = item->widget()) w->deleteLater();
        delete item;
    }
    const CleanupModel& cleanup = state_.cleanup();
    AppState* state = &state_;
    // The plate titles are names, not sentences: they read the same in every language.
    // While the Trash empties its old size would mislead, and a second request would do nothing.
    const bool emptying = cleanup.isEmptyingTrash();
    auto* trash = new DrainPlate(
        "trash", QStringLiteral("Trash"),
        emptying ? std::optional<QString>(tr("Emptying…")) : Drains::trashValue(cleanup.trash()),
        tr("Empty…"), [state] { state->setConfirm(Drains::emptyTrashRequest(*state)); }, this);
    trash->button()->setEnabled(!emptying && Drains::canEmpty(cleanup.trash()));
    row_->addWidget(trash);
    if (cleanup.hasSimulators()) {
        row_->addWidget(new DrainPlate(
            "ipad.and.iphone", QStringLiteral("Dead simulators"), std::nullopt, QStringLiteral("Remove…"),
            [state] { state->setConfirm(Drains::simulatorsRequest(*state)); }, this));
    }
    row_->addStretch(1);
}

}  // namespace nimbrel

#include "views/kit/shelf.h"

#include <QActionGroup>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QVBoxLayout>

#include "theme/appearance.h"
#include "theme/fonts.h"
#include "theme/motion.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "theme/search_field.h"
#include "theme/shapes.h"
#include "views/kit/elided_label.h"
#include "views/kit/lazy_rows.h"

namespace nimbrel {

namespace {

class Card : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        const QPainterPath shape = Shapes::rounded(r, 26);
        p.fillPath(shape, Palette::glass());
        const QColor edge = Palette::glassEdge();
        QLinearGradient stroke(r.topLeft(), r.bottomLeft());
        stroke.setColorAt(0, withOpacity(edge, 1.5));
        stroke.setColorAt(1, withOpacity(edge, 0.35));
        p.setPen(QPen(QBrush(stroke), 1));
        p.drawPath(shape);
    }
};

}  // namespace

Shelf::Shelf(const QString& title, std::optional<QString> detail, QWidget* trailing, QWidget* parent)
    : QWidget(parent), title_(title), detail_(std::move(detail)) {
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(8);
    auto* head = new QHBoxLayout;
    head->setContentsMargins(4, 0, 4, 0);
    head->setSpacing(8);
    auto* titleLabel = titleLabel_ = new ElidedLabel(this);
    QFont titleFont = Fonts::font(10.5, FontWeight::heavy);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.4);
    titleLabel->setFont(titleFont);
    titleLabel->setColor([](const QWidget*) { return withOpacity(Room::burnDim(), 0.8); });
    // The same capitals in every language.
    titleLabel->setText(title_.toUpper());
    titleLabel->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    head->addWidget(titleLabel, 0, Qt::AlignBottom);
    if (detail_) {
        auto* detailLabel = detailLabel_ = new ElidedLabel(this);
        detailLabel->setFont(Fonts::font(11, FontWeight::medium));
        detailLabel->setFixedDigits(true);
        detailLabel->setColor([](const QWidget* w) { return Palette::ink3().resolve(w); });
        detailLabel->setText(*detail_);
        detailLabel->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
        head->addWidget(detailLabel, 0, Qt::AlignBottom);
    }
    head->addStretch(1);
    if (trailing) head->addWidget(trailing);
    col->addLayout(head);
    card_ = new Card(this);
    auto* cardLayout = new QVBoxLayout(card_);
    cardLayout->setContentsMargins(kInset, kInset, kInset, kInset);
    rows_ = new LazyRows(card_);
    cardLayout->addWidget(rows_);
    col->addWidget(card_);
}

void Shelf::setRows(int count, int rowHeight, std::function<QWidget*(int)> factory) {
    rows_->setRows(std::vector<int>(static_cast<size_t>(std::max(0, count)), rowHeight), std::move(factory),
                   kRowSpacing);
}

void Shelf::appendRows(int count, int rowHeight) {
    rows_->appendRows(std::vector<int>(static_cast<size_t>(std::max(0, count)), rowHeight));
}

void Shelf::closeRows(int count, int rowHeight, std::function<QWidget*(int)> factory) {
    rows_->closeRows(std::vector<int>(static_cast<size_t>(std::max(0, count)), rowHeight),
                     std::move(factory));
}

void Shelf::setTitle(const QString& title) {
    if (title == title_) return;
    title_ = title;
    titleLabel_->setText(title_.toUpper());
}

void Shelf::setDetail(const QString& detail) {
    if (!detailLabel_ || detail_ == detail) return;
    detail_ = detail;
    detailLabel_->setText(detail);
}

void Shelf::paintEvent(QPaintEvent*) {}

// FileControls

FileControls::FileControls(const QString& search, FileSort sort, const QString& prompt, QWidget* parent)
    : QWidget(parent), sort_(sort) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    field_ = new SearchField(prompt, this);
    field_->setText(search);
    field_->setFixedWidth(220);
    connect(field_, &SearchField::textChanged, this, &FileControls::searchChanged);
    row->addWidget(field_);
    sortButton_ = new NimbrelButton(FileSorting::title(sort), NimbrelButton::Kind::secondary,
                                    NimbrelButton::Size::small, this);
    sortButton_->setSymbol(QStringLiteral("arrow.up.arrow.down"));
    sortButton_->setTitleSize(12);  // the sort label reads at 12 points, semibold
    sortButton_->setToolTip(tr("Sort"));
    sortButton_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(sortButton_, &QAbstractButton::clicked, this, [this] {
        QMenu menu(this);
        menu.addSection(tr("Sort by"));
        auto* group = new QActionGroup(&menu);
        for (FileSort s : FileSorting::allCases()) {
            QAction* action = menu.addAction(FileSorting::title(s), [this, s] { chooseSort(s); });
            action->setCheckable(true);
            action->setChecked(s == sort_);
            group->addAction(action);
        }
        menu.exec(sortButton_->mapToGlobal(QPoint(0, sortButton_->height())));
    });
    row->addWidget(sortButton_);
}

void FileControls::chooseSort(FileSort sort) {
    if (sort == sort_) return;
    sort_ = sort;
    sortButton_->setText(FileSorting::title(sort));
    sortButton_->updateGeometry();
    emit sortChanged(sort);
}

// MoltenProgress

MoltenProgress::MoltenProgress(QWidget* parent) : QWidget(parent) {
    setFixedHeight(8);
    connect(&shown_, &AnimatedValue::changed, this, qOverload<>(&QWidget::update));
}

void MoltenProgress::setFraction(std::optional<double> fraction) {
    shown_.animateTo(std::clamp(fraction.value_or(0.0), 0.0, 1.0), Motion::snappy(0.25));
    update();
}

double MoltenProgress::fillWidth(double width, std::optional<double> fraction) {
    return std::max(8.0, width * std::clamp(fraction.value_or(0.0), 0.0, 1.0));
}

void MoltenProgress::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect());
    p.fillPath(Shapes::capsule(r), Palette::well().resolve(this));
    p.fillPath(Shapes::capsule(QRectF(0, 0, shownFillWidth(), r.height())), Palette::nimbrel());
}

}  // namespace nimbrel

#include "views/shell/menu_bar_view.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "engine/demo.h"
#include "theme/figure_label.h"
#include "theme/fonts.h"
#include "theme/gauges.h"
#include "theme/loader.h"
#include "theme/menu_row.h"
#include "theme/palette.h"
#include "theme/tight_label.h"
#include "theme/typo.h"
#include "theme/wordmark.h"
#include "util/fmt.h"
#include "util/plural.h"
#include "views/kit/elided_label.h"
#include "views/kit/plain_label.h"
#include "views/shell/volume_usage.h"

namespace nimbrel {

namespace {

constexpr double kWordmarkScale = 0.8;

// The brand row drawn at 0.8 of its size from its leading edge.
class SmallWordmark : public QWidget {
  public:
    explicit SmallWordmark(QWidget* parent) : QWidget(parent), mark_(new Wordmark(this)) {
        mark_->hide();
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    QSize sizeHint() const override {
        const QSize s = mark_->sizeHint();
        return QSize(int(std::ceil(s.width() * kWordmarkScale)), int(std::ceil(s.height() * kWordmarkScale)));
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        mark_->resize(mark_->sizeHint());
        QPixmap picture(mark_->size() * devicePixelRatioF());
        picture.setDevicePixelRatio(devicePixelRatioF());
        picture.fill(Qt::transparent);
        mark_->render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
        QPainter p(this);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.scale(kWordmarkScale, kWordmarkScale);
        p.drawPixmap(0, 0, picture);
    }

  private:
    Wordmark* mark_;
};

// The session's freed bytes beside the "humidity.fill" symbol.
class FreedLabel : public QWidget {
  public:
    explicit FreedLabel(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }
    void setText(const QString& text) {
        text_ = text;
        updateGeometry();
        update();
    }
    const QString& text() const { return text_; }
    QSize sizeHint() const override {
        return QSize(int(std::ceil(TightLabel::width(symbol(), text_, font(11.5), 11.5))) + 2, 18);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        TightLabel::paint(p, QRectF(rect()), symbol(), text_, font(11.5), 11.5,
                          Palette::accent().resolve(this), FontWeight::semibold, Qt::AlignRight);
    }

  private:
    static QString symbol() { return QStringLiteral("humidity.fill"); }
    static QFont font(double size) { return Fonts::font(size, FontWeight::semibold); }
    QString text_;
};

}  // namespace

MenuBarView::MenuBarView(AppState& state, Actions actions, QWidget* parent)
    : QWidget(parent), state_(state), actions_(std::move(actions)) {
    setFixedWidth(kWidth);
    // The panel holds the focus itself, so no row opens with a keyboard focus ring.
    setFocusPolicy(Qt::StrongFocus);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    column->setSpacing(kSpacing);
    column->setSizeConstraint(QLayout::SetFixedSize);

    column->addLayout(buildHeader());
    volumes_ = new QVBoxLayout;
    volumes_->setSpacing(kSpacing);
    column->addLayout(volumes_);
    column->addWidget(buildScanLine());
    auto* divider = new QWidget(this);
    divider->setFixedHeight(1);
    divider->setAutoFillBackground(false);
    divider->setObjectName(QStringLiteral("divider"));
    column->addWidget(divider);
    column->addLayout(buildActions());
    followState();
}

// The brand and the freed figure.
QLayout* MenuBarView::buildHeader() {
    auto* header = new QHBoxLayout;
    header->addWidget(new SmallWordmark(this));
    header->addStretch(1);
    freed_ = new FreedLabel(this);
    header->addWidget(freed_);
    return header;
}

QWidget* MenuBarView::buildScanLine() {
    scanLine_ = new QWidget(this);
    auto* scanRow = new QHBoxLayout(scanLine_);
    scanRow->setContentsMargins(0, 0, 0, 0);
    scanRow->setSpacing(8);
    scanRow->addWidget(new NimbrelLoader(12, scanLine_));
    scanText_ = new ElidedLabel(scanLine_);
    scanText_->setFont(Typo::caption());
    scanText_->setColor([](const QWidget* w) { return Palette::ink2().resolve(w); });
    scanText_->setFixedDigits(true);
    scanRow->addWidget(scanText_, 1);
    return scanLine_;
}

QLayout* MenuBarView::buildActions() {
    auto* rows = new QVBoxLayout;
    rows->setSpacing(0);
    const std::pair<QString, QString> titles[] = {
        {tr("Open Nimbrel"), QStringLiteral("macwindow")},
        {tr("Scan Home Folder"), QStringLiteral("house")},
        {tr("Deep Clean…"), QStringLiteral("sparkles")},
        {tr("Quit Nimbrel"), QStringLiteral("power")},
    };
    for (const auto& [title, symbol] : titles) {
        auto* row = new MenuRow(title, symbol, {}, this);
        row->setFixedWidth(kWidth - 2 * kPadding);
        rows->addWidget(row);
        actions_rows_.push_back(row);
    }
    connect(actions_rows_[0], &QAbstractButton::clicked, this, &MenuBarView::openMainWindow);
    connect(actions_rows_[1], &QAbstractButton::clicked, this, &MenuBarView::scanHome);
    connect(actions_rows_[2], &QAbstractButton::clicked, this, &MenuBarView::deepClean);
    connect(actions_rows_[3], &QAbstractButton::clicked, this, &MenuBarView::quit);
    return rows;
}

// The freed figure, the volumes and the scan follow the state.
void MenuBarView::followState() {
    connect(&state_, &AppState::sessionFreedChanged, this, &MenuBarView::followFreed);
    connect(&state_, &AppState::volumesChanged, this, &MenuBarView::followVolumes);
    connect(&state_, &AppState::isScanningChanged, this, &MenuBarView::followScan);
    connect(&state_, &AppState::progressChanged, this, &MenuBarView::followScan);
    connect(&state_, &AppState::scanTargetChanged, this, &MenuBarView::followScan);
    followFreed();
    followVolumes();
    followScan();
}

QString MenuBarView::freedText() const {
    return static_cast<FreedLabel*>(freed_)->text();
}

std::vector<MenuBarView::VolumeRow> MenuBarView::volumeRows() const {
    return rows_;
}

QString MenuBarView::scanningText() const {
    return state_.isScanning() ? scanText_->text() : QString();
}

void MenuBarView::followFreed() {
    const int64_t freed = state_.sessionFreed();
    auto* label = static_cast<FreedLabel*>(freed_);
    label->setText(freed >= 1 ? Fmt::bytes(freed) : QString());
    label->setVisible(freed >= 1);
}

void MenuBarView::followVolumes() {
    while (QLayoutItem* item = volumes_->takeAt(0)) {
        if (QWidget* w = item->widget()) w->deleteLater();
        delete item;
    }
    rows_.clear();
    const auto& volumes = state_.volumes();
    for (size_t i = 0; i < volumes.size() && i < size_t(kMaxVolumes); ++i) {
        const VolumeInfo& v = volumes[i];
        VolumeRow shown{QString::fromUtf8(v.name.data(), qsizetype(v.name.size())),
                        tr("%1 free").arg(Fmt::bytes(std::max<int64_t>(v.available, 0))), usedFraction(v)};
        auto* row = new QWidget(this);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(12);
        auto* gauge = new LiquidGauge(shown.usedFraction, 40, row);
        gauge->setFixedSize(30, 40);
        line->addWidget(gauge);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        texts->addWidget(new PlainLabel(
            shown.name, Fonts::font(11.5, FontWeight::semibold),
            [](const QWidget* w) { return Palette::ink2().resolve(w); }, row));
        auto* free = new FigureLabel(Fonts::font(16, FontWeight::heavy, FontDesign::rounded), Palette::ink(),
                                     false, row);
        free->setText(shown.freeText, false);
        texts->addWidget(free);
        line->addLayout(texts);
        line->addStretch(1);
        volumes_->addWidget(row);
        rows_.push_back(std::move(shown));
    }
}

void MenuBarView::followScan() {
    const bool scanning = state_.isScanning();
    if (scanning) {
        const auto& target = state_.scanTarget();
        const QString name = target ? Fmt::displayName(*target) : tr("your disk");
        scanText_->setText(Plural::choose(state_.progress().filesScanned, tr("Reading %1 · %2 file"),
                                          tr("Reading %1 · %2 files"))
                               .arg(name, Fmt::count(state_.progress().filesScanned)));
    }
    scanLine_->setVisible(scanning);
}

void MenuBarView::openMainWindow() {
    if (actions_.openMainWindow) actions_.openMainWindow();
    emit actionTaken();
}

void MenuBarView::scanHome() {
    state_.scan(state_.services().home ? state_.services().home() : HostLayout::current().home);
    openMainWindow();
}

void MenuBarView::deepClean() {
    state_.setSection(SidebarItem::cleanup);
    openMainWindow();
}

void MenuBarView::quit() {
    emit actionTaken();
    if (actions_.quit) actions_.quit();
}

void MenuBarView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    setFocus(Qt::PopupFocusReason);
    // Each opening of the panel lists the volumes again; the sample volume stays in demo mode.
    const bool demo = state_.services().isDemo ? state_.services().isDemo() : Demo::isOn();
    if (!demo) state_.refreshVolumes();
}

void MenuBarView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Palette::panel().resolve(this));
    if (auto* divider = findChild<QWidget*>(QStringLiteral("divider"), Qt::FindDirectChildrenOnly))
        p.fillRect(divider->geometry(), Palette::line().resolve(this));
}

}  // namespace nimbrel

#include "views/space/space_headers.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QResizeEvent>
#include <QVBoxLayout>
#include <cmath>

#include "engine/host_layout.h"
#include "model/app_state.h"
#include "platform/file_manager.h"
#include "theme/chip.h"
#include "theme/figure_label.h"
#include "theme/fonts.h"
#include "theme/loader.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "util/fmt.h"
#include "util/plural.h"
#include "views/kit/elided_label.h"
#include "views/kit/navigation.h"
#include "views/kit/path_actions.h"
#include "views/kit/plain_label.h"
#include "views/kit/plain_text.h"
#include "views/kit/text_widgets.h"

namespace nimbrel {

namespace {
// A 1-point vertical line with 4 points of room either side.
class VerticalRule : public QWidget {
  public:
    explicit VerticalRule(QWidget* parent) : QWidget(parent) { setFixedSize(9, 20); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(QRectF(4, 0, 1, height()), Palette::line().resolve(this));
    }
};
}  // namespace

// --- small pieces --------------------------------------------------------------------------------

FittingLabel::FittingLabel(const QString& text, const QFont& font, double minimumScale, QWidget* parent)
    : QWidget(parent), text_(text), font_(font), minimumScale_(minimumScale) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void FittingLabel::setText(const QString& text) {
    text_ = text;
    updateGeometry();
    update();
}

double FittingLabel::fittedSize() const {
    const double natural = QFontMetricsF(font_).horizontalAdvance(text_);
    const double scale =
        natural <= width() || natural <= 0 ? 1.0 : std::max(minimumScale_, width() / natural);
    return font_.pixelSize() > 0 ? font_.pixelSize() * scale : font_.pointSizeF() * scale;
}

QSize FittingLabel::sizeHint() const {
    const QFontMetricsF fm(font_);
    return QSize(int(std::ceil(fm.horizontalAdvance(text_))), int(std::ceil(fm.height())));
}

QSize FittingLabel::minimumSizeHint() const {
    return QSize(0, sizeHint().height());
}

void FittingLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont f = font_;
    if (f.pixelSize() > 0)
        f.setPixelSize(std::max(1, int(std::floor(fittedSize()))));
    else
        f.setPointSizeF(fittedSize());
    p.setFont(f);
    p.setPen(Palette::ink().resolve(this));
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, text_);
}

// --- welcome -------------------------------------------------------------------------------------

WelcomeHeader::WelcomeHeader(AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(32, 16, 32, 16);
    column->setSpacing(12);

    QFont headlineFont = Fonts::font(32, FontWeight::black, FontDesign::rounded);
    headlineFont.setLetterSpacing(QFont::AbsoluteSpacing, -1);
    headline_ = new FittingLabel(tr("Turn junk into thin air."), headlineFont, 0.6, this);
    column->addWidget(headline_);

    auto* intro =
        new PlainLabel(tr("Scan, and these placeholders become your real folders. Stained ones are grime "
                          "that's safe to clear, swollen ones are the heaviest. Tick what you don't need "
                          "and the steamer nimbrelises it, to the Trash first."),
                       Fonts::font(13), Palette::ink2(), this);
    intro->setWordWrap(true);
    intro->setMaximumWidth(620);
    intro_ = intro;
    column->addWidget(intro);

    column->addWidget(buildScanButtons());
    column->addWidget(buildAccessHint(), 0, Qt::AlignLeft);

    connect(&state_, &AppState::recentsChanged, this, &WelcomeHeader::rebuildRecents);
    rebuildRecents();
}

// The three ways to scan, and the rule that ends them.
QWidget* WelcomeHeader::buildScanButtons() {
    auto* row = new QWidget(this);
    buttons_ = new QHBoxLayout(row);
    buttons_->setContentsMargins(0, 0, 0, 0);
    buttons_->setSpacing(8);
    auto* home = new NimbrelButton(tr("Scan Home"), NimbrelButton::Kind::primary);
    home->setSymbol(QStringLiteral("house.fill"));
    auto* disk = new NimbrelButton(tr("Entire Disk"), NimbrelButton::Kind::secondary);
    auto* choose = new NimbrelButton(tr("Choose Folder…"), NimbrelButton::Kind::ghost);
    connect(home, &NimbrelButton::clicked, this, [this] { state_.scan(HostLayout::current().home); });
    connect(disk, &NimbrelButton::clicked, this, [this] { state_.scan("/"); });
    connect(choose, &NimbrelButton::clicked, this, [this] { state_.chooseFolderAndScan(); });
    buttons_->addWidget(home);
    buttons_->addWidget(disk);
    buttons_->addWidget(choose);
    rule_ = new VerticalRule(row);
    buttons_->addWidget(rule_);
    buttons_->addStretch(1);
    return row;
}

// What keeps a scan from reading everything: the access to grant, or what the last scan could not
// read where there is none to grant.
QWidget* WelcomeHeader::buildAccessHint() {
    if (state_.services().fullDiskAccessProbes.empty()) {
        // No permission to grant here: what the last scan could not read stands in for it.
        auto* note = new NoteLabel(
            QStringLiteral("lock.fill"), {}, Fonts::font(12, FontWeight::medium),
            [](const QWidget*) { return Palette::honey(); }, this);
        hint_ = note;
        auto follow = [this, note] {
            const UnreadableReport& report = state_.unreadable();
            note->label()->setText(report.text());
            note->setToolTip(PlainText::toolTip(report.pathsText(Navigation::home(state_))));
            note->setVisible(report.count > 0);
        };
        connect(&state_, &AppState::unreadableChanged, this, follow);
        follow();
    } else {
        auto* button = new NimbrelButton(tr("Give Nimbrel Full Disk Access for complete results"),
                                         NimbrelButton::Kind::ghost, NimbrelButton::Size::small, this);
        button->setSymbol(QStringLiteral("key.fill"));
        button->setForeground(Palette::honey());
        connect(button, &NimbrelButton::clicked, this, [] { FileActions::openFullDiskAccessSettings(); });
        hint_ = button;
        connect(&state_, &AppState::hasFullDiskAccessChanged, this,
                [this] { hint_->setVisible(!state_.hasFullDiskAccess()); });
        hint_->setVisible(!state_.hasFullDiskAccess());
    }
    return hint_;
}

void WelcomeHeader::resizeEvent(QResizeEvent* event) {
    // A wrapped label's height follows its width; the stack above the tiles never cuts it off.
    const int width = std::min(620, std::max(1, event->size().width() - 64));
    intro_->setFixedHeight(intro_->heightForWidth(width));
    QWidget::resizeEvent(event);
}

void WelcomeHeader::rebuildRecents() {
    qDeleteAll(recentChips_);
    recentChips_.clear();
    const auto& recents = state_.recents();
    rule_->setVisible(!recents.empty());
    const int at = buttons_->indexOf(rule_) + 1;
    for (size_t i = 0; i < recents.size() && i < 3; ++i) {
        const std::string path = recents[i];
        auto* chip = new Chip(Fmt::displayName(path));
        chip->setToolTip(PlainText::toolTip(PathActions::abbreviate(path)));
        connect(chip, &Chip::clicked, this, [this, path] { state_.scan(path); });
        buttons_->insertWidget(at + static_cast<int>(i), chip);
        recentChips_ << chip;
    }
    update();
}

// --- discovering ---------------------------------------------------------------------------------

DiscoveringHeader::DiscoveringHeader(AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(32, 12, 32, 16);
    row->setSpacing(16);

    auto* left = new QVBoxLayout;
    left->setSpacing(8);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(8);
    titleRow->addWidget(new NimbrelLoader(18, this));
    // A long folder name ends in an ellipsis before the figures; it never pushes them aside.
    title_ = new ElidedLabel(this);
    title_->setFont(Fonts::font(25, FontWeight::heavy, FontDesign::rounded));
    title_->setColor([](const QWidget* w) { return Palette::ink().resolve(w); });
    title_->setElideMode(Qt::ElideRight);
    title_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    titleRow->addWidget(title_, 1);
    left->addLayout(titleRow);
    path_ = new ElidedLabel(this);
    QFont mono = Fonts::font(11);
    mono.setFamily(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    path_->setFont(mono);
    path_->setColor([](const QWidget* w) { return Palette::ink3().resolve(w); });
    path_->setElideMode(Qt::ElideMiddle);
    left->addWidget(path_);
    row->addLayout(left, 1);
    row->addSpacing(16);

    auto* right = new QVBoxLayout;
    right->setSpacing(0);
    bytes_ =
        new FigureLabel(Fonts::font(32, FontWeight::black, FontDesign::rounded), Palette::ink(), true, this);
    bytes_->setAlignment(Qt::AlignRight);
    counts_ = new FigureLabel(Fonts::font(12, FontWeight::medium), Palette::ink3(), false, this);
    counts_->setAlignment(Qt::AlignRight);
    right->addWidget(bytes_, 0, Qt::AlignRight);
    right->addWidget(counts_, 0, Qt::AlignRight);
    row->addLayout(right);
    row->setAlignment(right, Qt::AlignBottom);
    row->setAlignment(left, Qt::AlignBottom);

    connect(&state_, &AppState::progressChanged, this, &DiscoveringHeader::refresh);
    connect(&state_, &AppState::scanTargetChanged, this, &DiscoveringHeader::refresh);
    refresh();
}

QString DiscoveringHeader::titleText() const {
    const auto& target = state_.scanTarget();
    return tr("Reading %1…").arg(target ? Fmt::displayName(*target) : tr("your disk"));
}

QString DiscoveringHeader::pathText() const {
    return PathActions::abbreviate(state_.progress().currentPath);
}

QString DiscoveringHeader::bytesText() const {
    return Fmt::bytes(std::max<std::int64_t>(0, state_.progress().bytesScanned));
}

QString DiscoveringHeader::countsText() const {
    return Plural::choose(state_.progress().filesScanned, tr("%1 file · %2 found"), tr("%1 files · %2 found"))
        .arg(Fmt::count(state_.progress().filesScanned))
        .arg(static_cast<qlonglong>(state_.progress().discovered.size()));
}

void DiscoveringHeader::refresh() {
    title_->setText(titleText());
    path_->setText(pathText());
    bytes_->setText(bytesText());
    counts_->setText(countsText());
}

}  // namespace nimbrel

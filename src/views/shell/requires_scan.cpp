#include "views/shell/requires_scan.h"

#include <QFontDatabase>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "engine/host_layout.h"
#include "engine/path_rules.h"
#include "theme/empty_state.h"
#include "theme/fonts.h"
#include "theme/icon_button.h"
#include "theme/loader.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "util/fmt.h"
#include "util/plural.h"
#include "views/kit/elided_label.h"
#include "views/kit/navigation.h"
#include "views/shell/scan_menu_model.h"

namespace nimbrel {

namespace {

constexpr int kPathMaxWidth = 460;

ElidedLabel* centredLabel(const QFont& font, std::function<QColor(const QWidget*)> color, QWidget* parent) {
    auto* label = new ElidedLabel(parent);
    label->setFont(font);
    label->setColor(std::move(color));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

}  // namespace

RequiresScan::RequiresScan(AppState& state, SidebarItem item, QWidget* content, QWidget* parent)
    : QWidget(parent), state_(state), item_(item), content_(content) {
    stack_ = new QStackedLayout(this);
    stack_->setContentsMargins(0, 0, 0, 0);
    stack_->addWidget(content_);
    panel_ = buildPanel();
    stack_->addWidget(panel_);
    empty_ = buildEmpty();
    stack_->addWidget(empty_);

    connect(&state_, &AppState::resultChanged, this, &RequiresScan::followState);
    connect(&state_, &AppState::isScanningChanged, this, &RequiresScan::followState);
    connect(&state_, &AppState::progressChanged, this, &RequiresScan::followState);
    connect(&state_, &AppState::scanTargetChanged, this, &RequiresScan::followState);
    followState();
}

QWidget* RequiresScan::buildPanel() {
    auto* panel = new QWidget(this);
    auto* column = new QVBoxLayout(panel);
    column->setSpacing(16);
    column->addStretch(1);
    auto* loader = new NimbrelLoader(34, panel);
    column->addWidget(loader, 0, Qt::AlignHCenter);
    heading_ = centredLabel(
        Fonts::font(20, FontWeight::heavy, FontDesign::rounded),
        [](const QWidget* w) { return Palette::ink().resolve(w); }, panel);
    column->addWidget(heading_);
    counts_ = centredLabel(
        Fonts::font(13, FontWeight::medium), [](const QWidget* w) { return Palette::ink2().resolve(w); },
        panel);
    counts_->setFixedDigits(true);
    column->addWidget(counts_);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(Fonts::pointSizeFor(11));
    path_ = centredLabel(
        mono, [](const QWidget* w) { return Palette::ink3().resolve(w); }, panel);
    path_->setElideMode(Qt::ElideMiddle);
    path_->setMaximumWidth(kPathMaxWidth);
    column->addWidget(path_, 0, Qt::AlignHCenter);
    column->addStretch(1);
    return panel;
}

QWidget* RequiresScan::buildEmpty() {
    auto* scanHome =
        new NimbrelButton(tr("Scan Home Folder"), NimbrelButton::Kind::primary, NimbrelButton::Size::regular);
    connect(scanHome, &NimbrelButton::clicked, &state_, [this] { state_.scan(Navigation::home(state_)); });
    auto* choose =
        new NimbrelButton(tr("Choose Folder…"), NimbrelButton::Kind::secondary, NimbrelButton::Size::regular);
    connect(choose, &NimbrelButton::clicked, &state_, [this] { state_.chooseFolderAndScan(); });
    return new EmptyState(tr("Nothing to clean yet"), emptyMessage(), {scanHome, choose}, this);
}

QString RequiresScan::heading() const {
    const std::optional<std::string> target = state_.scanTarget();
    return tr("Reading %1…").arg(target ? Fmt::displayName(*target) : tr("your disk"));
}

QString RequiresScan::counts() const {
    const ScanProgress& progress = state_.progress();
    return Plural::choose(progress.filesScanned, tr("%1 file · %2"), tr("%1 files · %2"))
        .arg(Fmt::count(progress.filesScanned), Fmt::bytes(progress.bytesScanned));
}

QString RequiresScan::currentPath() const {
    return QString::fromUtf8(PathRules::tildeForm(state_.progress().currentPath, Navigation::home(state_)));
}

QString RequiresScan::emptyMessage() const {
    return tr("Scan a folder or your whole disk and %1 will show %2.")
        .arg(title(item_), caption(item_).toLower());
}

void RequiresScan::followState() {
    if (state_.result()) {
        showing_ = Showing::content;
    } else if (state_.isScanning()) {
        showing_ = Showing::scanning;
    } else {
        showing_ = Showing::empty;
    }
    if (showing_ == Showing::scanning) {
        heading_->setText(heading());
        counts_->setText(counts());
        path_->setText(currentPath());
    }
    QWidget* shown = showing_ == Showing::content    ? content_
                     : showing_ == Showing::scanning ? panel_
                                                     : empty_;
    if (stack_->currentWidget() != shown) stack_->setCurrentWidget(shown);
}

}  // namespace nimbrel

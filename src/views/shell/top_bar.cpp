#include "views/shell/top_bar.h"

#include <QGraphicsOpacityEffect>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWindow>
#include <utility>

#include "theme/fonts.h"
#include "theme/icon_button.h"
#include "theme/loader.h"
#include "theme/logo.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "theme/wordmark.h"
#include "util/fmt.h"
#include "util/plural.h"
#include "views/kit/elided_label.h"
#include "views/kit/plain_text.h"
#include "views/kit/shortcuts.h"
#include "views/shell/area_switcher.h"
#include "views/shell/free_space_chip.h"
#include "views/shell/scan_menu.h"
#include "views/shell/snapshot_fade.h"

namespace nimbrel {

namespace {

constexpr double kWordmarkScale = 0.82;
constexpr int kScanningSpacing = 6;
constexpr int kIdleSpacing = 2;
constexpr double kFormChangeSeconds = 0.2;

// The wordmark at a smaller scale, anchored at its leading edge.
class ScaledWordmark : public QWidget {
  public:
    ScaledWordmark(double scale, QWidget* parent) : QWidget(parent), scale_(scale) {
        mark_ = new Wordmark(this);
        mark_->hide();
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    QSize sizeHint() const override {
        const QSize s = mark_->sizeHint();
        return QSize(static_cast<int>(std::ceil(s.width() * scale_)),
                     static_cast<int>(std::ceil(s.height() * scale_)));
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(scale_, scale_);
        mark_->resize(mark_->sizeHint());
        mark_->render(&p, QPoint(), QRegion(), QWidget::DrawChildren);
    }

  private:
    double scale_;
    Wordmark* mark_;
};

}  // namespace

TopBar::TopBar(AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    setFixedHeight(TopBarLayout::kHeight);

    logo_ = new NimbrelLogo(22, this);
    wordmark_ = new ScaledWordmark(kWordmarkScale, this);
    switcher_ = new AreaSwitcher(state_, this);

    loader_ = new NimbrelLoader(14, this);
    progress_ = new ElidedLabel(this);
    progress_->setFont(Fonts::font(12, FontWeight::medium));
    progress_->setColor([](const QWidget* w) { return Palette::ink2().resolve(w); });
    progress_->setElideMode(Qt::ElideMiddle);
    progress_->setFixedDigits(true);
    progress_->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    stop_ = new IconButton("stop.fill", 24, true, this);
    stop_->setHelp(Shortcuts::withShortcut(tr("Stop scanning"), Shortcuts::stopScan));
    connect(stop_, &IconButton::clicked, &state_, [this] { state_.cancelScan(); });

    rescan_ = new IconButton("arrow.clockwise", 28, false, this);
    connect(rescan_, &IconButton::clicked, &state_, [this] {
        if (const std::optional<std::string> target = state_.scanTarget()) state_.scan(*target);
    });
    scan_ = new NimbrelButton(tr("Scan"), NimbrelButton::Kind::primary, NimbrelButton::Size::small, this);
    scan_->setSymbol("scope");
    scan_->installEventFilter(this);
    connect(scan_, &NimbrelButton::clicked, this, [this] {
        openScanMenu(std::exchange(scanPressedByMouse_, false) ? ScanMenuPopup::Opened::byMouse
                                                               : ScanMenuPopup::Opened::byKeyboard);
    });

    chip_ = new FreeSpaceChip(state_, this);
    settings_ = new IconButton("slider.horizontal.3", 28, false, this);
    settings_->setHelp(Shortcuts::withShortcut(tr("Settings"), Shortcuts::settings));
    connect(settings_, &IconButton::clicked, this, &TopBar::settingsRequested);

    controlsScanning_ = state_.isScanning();
    connect(&controlsIn_, &AnimatedValue::changed, this, &TopBar::fadeControlsIn);
    connect(&state_, &AppState::isScanningChanged, this, &TopBar::followState);
    connect(&state_, &AppState::scanTargetChanged, this, &TopBar::followState);
    connect(&state_, &AppState::progressChanged, this, &TopBar::followState);
    connect(&state_, &AppState::volumesChanged, this, &TopBar::relayout);
    followState();
}

QSize TopBar::sizeHint() const {
    return QSize(1240, TopBarLayout::kHeight);
}

QWidget* TopBar::scanningLoader() const {
    return loader_;
}

QString TopBar::progressText() const {
    const int64_t files = state_.progress().filesScanned;
    if (!layout_.full) return shortFileCount(files);
    return tr("Reading %1 · %2").arg(Fmt::displayName(state_.scanTarget().value_or("/")), Fmt::count(files));
}

QString TopBar::progressHelp() const {
    return Plural::choose(state_.progress().filesScanned, tr("Reading %1 · %2 file"),
                          tr("Reading %1 · %2 files"))
        .arg(Fmt::displayName(state_.scanTarget().value_or("/")), Fmt::count(state_.progress().filesScanned));
}

bool TopBar::isScanMenuOpen() const {
    return menu_ && menu_->isVisible();
}

void TopBar::openScanMenu(ScanMenuPopup::Opened how) {
    if (isScanMenuOpen()) return;
    menu_ = new ScanMenuPopup(state_, this);
    menu_->setAttribute(Qt::WA_DeleteOnClose);
    menu_->popUpBelow(scan_, how);
}

void TopBar::closeScanMenu() {
    if (menu_) menu_->close();
}

void TopBar::followState() {
    const bool scanning = state_.isScanning();
    if (scanning) closeScanMenu();
    const TopBarLayout layout = TopBarLayout::compute(width(), scanning);
    const bool formChanged = layout != layout_ && isVisible();
    if (formChanged) {
        // The switch between the compact, middle and full forms cross-fades.
        delete fade_.data();
        fade_ = new SnapshotFade(grab(), Motion::snappy(kFormChangeSeconds), this);
        fade_->setGeometry(rect());
        fade_->show();
    }
    if (scanning != controlsScanning_ && isVisible()) {
        // The scan controls swap at any width: the old ones fade out where they stood, the new
        // ones fade in.
        if (!formChanged) {
            QRect old;
            for (QWidget* w : scanControls())
                if (w->isVisibleTo(this)) old = old.united(w->geometry());
            if (!old.isEmpty()) {
                delete controlsFade_.data();
                controlsFade_ = new SnapshotFade(grab(old), Motion::snappy(kFormChangeSeconds), this);
                controlsFade_->setGeometry(old);
                controlsFade_->show();
            }
        }
        controlsIn_.setImmediate(0);
        controlsIn_.animateTo(1, Motion::snappy(kFormChangeSeconds));
    }
    controlsScanning_ = scanning;
    layout_ = layout;
    const std::optional<std::string> target = state_.scanTarget();
    if (target) {
        const QString help =
            Shortcuts::withShortcut(tr("Rescan %1").arg(Fmt::displayName(*target)), Shortcuts::rescan);
        rescan_->setToolTip(PlainText::toolTip(help));
        rescan_->setAccessibleName(help);
    }
    progress_->setText(progressText());
    progress_->setToolTip(PlainText::toolTip(progressHelp()));
    relayout();
}

std::vector<QWidget*> TopBar::scanControls() const {
    return {loader_, progress_, stop_, rescan_, scan_};
}

void TopBar::fadeControlsIn(double amount) {
    for (QWidget* w : scanControls()) {
        auto* fade = qobject_cast<QGraphicsOpacityEffect*>(w->graphicsEffect());
        if (amount >= 1) {
            if (fade) w->setGraphicsEffect(nullptr);
            continue;
        }
        if (!fade) {
            if (w->graphicsEffect()) continue;  // a control with an effect of its own shows as it is
            fade = new QGraphicsOpacityEffect(w);
            w->setGraphicsEffect(fade);
        }
        fade->setOpacity(amount);
    }
}

bool TopBar::eventFilter(QObject* watched, QEvent* event) {
    // Whether the Scan button is clicked or pressed from the keyboard decides where the menu's
    // keyboard starts.
    if (watched == scan_) {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
            scanPressedByMouse_ = true;
        else if (event->type() == QEvent::KeyPress)
            scanPressedByMouse_ = false;
    }
    return QWidget::eventFilter(watched, event);
}

void TopBar::mousePressEvent(QMouseEvent* event) {
    // The bar stands in for the hidden title bar: dragging its empty space moves the window.
    if (event->button() == Qt::LeftButton && window()->windowHandle()) {
        window()->windowHandle()->startSystemMove();
        return;
    }
    QWidget::mousePressEvent(event);
}

void TopBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    followState();
}

void TopBar::placeTrailing(int& right, QWidget* w, int spacing) {
    const QSize size = w->sizeHint();
    right -= size.width();
    w->setGeometry(right, (height() - size.height()) / 2, size.width(), size.height());
    right -= spacing;
}

// The parts the bar's width and the scan call for.
void TopBar::showParts(bool scanning) {
    logo_->setVisible(layout_.compact);
    wordmark_->setVisible(!layout_.compact);
    switcher_->setCompact(layout_.compact);
    chip_->setCompact(!layout_.full);

    loader_->setVisible(scanning);
    progress_->setVisible(scanning);
    stop_->setVisible(scanning);
    scan_->setVisible(!scanning);
    rescan_->setVisible(!scanning && state_.scanTarget().has_value());
}

// The running scan's stop button, reading text and loader, right to left from `right`.
void TopBar::placeScanning(int& right, int switcherRight) {
    placeTrailing(right, stop_, kScanningSpacing);
    const QFontMetrics fm(Fonts::font(12, FontWeight::medium));
    // The reading text keeps to the trailing group's share: a long name is cut in its middle (the
    // count at the end stays whole) so the switcher keeps its place and its clicks.
    const int room = right - kScanningSpacing - loader_->sizeHint().width() - switcherRight;
    const int textWidth = std::clamp(progress_->sizeHint().width(), 0, std::max(0, room));
    right -= textWidth;
    progress_->setGeometry(right, (height() - fm.height()) / 2, textWidth, fm.height());
    right -= kScanningSpacing;
    placeTrailing(right, loader_, kScanningSpacing);
}

void TopBar::relayout() {
    const bool scanning = state_.isScanning();
    showParts(scanning);
    QWidget* mark = layout_.compact ? static_cast<QWidget*>(logo_) : static_cast<QWidget*>(wordmark_);
    const QSize markSize = mark->sizeHint();
    const QSize switcherSize = switcher_->sizeHint();

    // The leading mark and the trailing group share the spare width equally, so the switcher sits in
    // the middle at its ideal size; only a mark wider than its half pushes it along.
    const int spare = width() - kTrailingInset - 2 * kSpacing - switcherSize.width();
    const int leadingMin = kLeadingInset + markSize.width();
    const int leadingShare = std::max(spare / 2, leadingMin);

    // Trailing group, right to left.
    int right = width() - kTrailingInset;
    placeTrailing(right, settings_, kTrailingSpacing);
    if (chip_->isVisibleTo(this)) placeTrailing(right, chip_, kTrailingSpacing);
    if (scanning) {
        placeScanning(right, leadingShare + kSpacing + switcherSize.width() + kSpacing);
    } else {
        placeTrailing(right, scan_, kIdleSpacing);
        if (rescan_->isVisibleTo(this)) placeTrailing(right, rescan_, kIdleSpacing);
    }
    // `right` stands one spacing left of the group's first item.
    const int trailingLeft = right + (scanning ? kScanningSpacing : kIdleSpacing);
    const int trailingWidth = width() - kTrailingInset - trailingLeft;

    mark->setGeometry(kLeadingInset, (height() - markSize.height()) / 2, markSize.width(), markSize.height());

    // Idle controls wider than their share (never at the window's widths) move the switcher along
    // rather than cover it.
    int leadingWidth = leadingShare;
    if (trailingWidth > spare - leadingWidth) leadingWidth = std::max(spare - trailingWidth, leadingMin);
    switcher_->setGeometry(leadingWidth + kSpacing, (height() - switcherSize.height()) / 2,
                           switcherSize.width(), switcherSize.height());
    if (fade_) {
        fade_->setGeometry(rect());
        fade_->raise();
    }
    if (controlsFade_) controlsFade_->raise();
}

}  // namespace nimbrel

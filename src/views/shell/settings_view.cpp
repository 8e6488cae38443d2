#include "views/shell/settings_view.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListView>
#include <QPainter>
#include <QScrollArea>
#include <QTreeView>
#include <QVBoxLayout>

#include "engine/disk_scanner.h"
#include "engine/host_layout.h"
#include "engine/path_rules.h"
#include "engine/risk_catalog.h"
#include "model/prefs.h"
#include "platform/file_manager.h"
#include "theme/appearance.h"
#include "theme/backdrop.h"
#include "theme/chip.h"
#include "theme/fonts.h"
#include "theme/icon_button.h"
#include "theme/logo.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "theme/pill_picker.h"
#include "theme/press_button.h"
#include "theme/scroll_bars.h"
#include "theme/surface.h"
#include "views/kit/elided_label.h"
#include "views/kit/files_text.h"
#include "views/kit/focus_order.h"
#include "views/kit/plain_label.h"
#include "views/kit/plain_text.h"
#include "views/kit/symbol_glyph.h"
#include "views/shell/excluded_paths.h"
#include "views/shell/menu_bar_extra.h"

namespace nimbrel {

namespace {

constexpr int kOuterPadding = 24;
constexpr int kColumnSpacing = 16;
constexpr int kExclusionRowHeight = 30;

PlainLabel::ColorFn ink() {
    return [](const QWidget* w) { return Palette::ink().resolve(w); };
}
PlainLabel::ColorFn ink2() {
    return [](const QWidget* w) { return Palette::ink2().resolve(w); };
}
PlainLabel::ColorFn ink3() {
    return [](const QWidget* w) { return Palette::ink3().resolve(w); };
}

// Several folders from one dialog: the platform dialogs pick one folder only, Qt's own lets its
// views select many.
std::optional<QStringList> chooseFoldersWithDialog() {
    QFileDialog dialog(nullptr, QString(), QDir::homePath());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, SettingsView::tr("Exclude"));
    for (auto* view : dialog.findChildren<QListView*>())
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (auto* view : dialog.findChildren<QTreeView*>())
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.selectedFiles();
}

QString abbreviatingHome(const QString& path, const std::string& home) {
    return QFile::decodeName(
        QByteArray::fromStdString(PathRules::tildeForm(QFile::encodeName(path).toStdString(), home)));
}

QColor levelColor(Risk::Level level, const QWidget* w) {
    switch (level) {
        case Risk::Level::safe:
            return Palette::accent().resolve(w);
        case Risk::Level::normal:
        case Risk::Level::caution:
            return Palette::honey();
        case Risk::Level::danger:
            return Palette::magma();
        case Risk::Level::locked:
            return Palette::ink3().resolve(w);
    }
    return Palette::ink3().resolve(w);
}

// A small filled circle in a colour resolved when painted.
class Dot : public QWidget {
  public:
    Dot(Risk::Level level, QWidget* parent) : QWidget(parent), level_(level) { setFixedSize(7, 7); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(levelColor(level_, this));
        p.drawEllipse(QRectF(rect()));
    }

  private:
    Risk::Level level_;
};

// The scroll area's content: as wide as the viewport, the backdrop showing through. It is merely not
// filled (no "translucent" attribute): that one claims the widget paints every pixel, so a scroll would
// move the old pixels instead of repainting the backdrop beneath them.
class Column : public QWidget {
  public:
    using QWidget::QWidget;
};

// A credit's link: its text in the accent colour, opening the page. A button to the keyboard, so
// Tab reaches it, Space or Return opens it and it shows the ring every button shows.
class CreditLink : public PressButton {
  public:
    CreditLink(const QString& text, QWidget* parent) : PressButton(parent) {
        setText(text);
        setAccessibleName(text);
        setFont(Fonts::font(12));
        setCursor(Qt::PointingHandCursor);
        setCapsuleRing(3);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override {
        const QFontMetrics fm(font());
        return {fm.horizontalAdvance(text()) + 1, fm.height()};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintContent(QPainter& p) override {
        p.setFont(font());
        p.setPen(Palette::accent().resolve(this));
        p.drawText(QRectF(rect()), Qt::AlignLeft | Qt::AlignVCenter, text());
    }
};

}  // namespace

SettingsView::Services SettingsView::Services::standard() {
    Services s;
    s.chooseFolders = chooseFoldersWithDialog;
    s.openFullDiskAccessSettings = [] { FileActions::openFullDiskAccessSettings(); };
    s.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    s.showsFullDiskAccess = !HostLayout::current().fullDiskAccessProbes.empty();
    s.home = [] { return HostLayout::current().home; };
    s.trayAvailable = [] { return MenuBarExtra::trayAvailable(); };
    return s;
}

QString SettingsView::packagesTitle(const HostLayout& layout) {
    return packageText(PackageText::settingTitle, layout.isMac());
}

QString SettingsView::packagesDetail(const HostLayout& layout) {
    return packageText(PackageText::settingDetail, layout.isMac());
}

QString SettingsView::menuBarTitle(const HostLayout& layout) {
    return layout.isMac() ? tr("Free space in the menu bar") : tr("Free space in the system tray");
}

std::vector<SettingsView::Credit> SettingsView::credits() {
    return {
        {tr("Steam textures"), tr("Nimbrel's own puffs, drawn when it is built"), QUrl(), tr("Own work")},
        {tr("Typeface"), QStringLiteral("Inter · The Inter Project Authors"),
         QUrl(QStringLiteral("https://rsms.me/inter/")), QStringLiteral("OFL 1.1")},
        {tr("Rounded typeface"), QStringLiteral("Quicksand · The Quicksand Project Authors"),
         QUrl(QStringLiteral("https://github.com/andrew-paglinawan/QuicksandFamily")),
         QStringLiteral("OFL 1.1")},
        {tr("Symbols"), QStringLiteral("Material Icons · Material Design Authors"),
         QUrl(QStringLiteral("https://github.com/google/material-design-icons")),
         QStringLiteral("Apache 2.0")},
    };
}

const std::vector<std::pair<int64_t, QString>>& SettingsView::sizeChoices() {
    // Labels as written: they are sizes, not words.
    static const std::vector<std::pair<int64_t, QString>> choices = {
        {100000, QStringLiteral("100 KB")},
        {1000000, QStringLiteral("1 MB")},
        {10000000, QStringLiteral("10 MB")},
        {50000000, QStringLiteral("50 MB")},
    };
    return choices;
}

SettingsView::SettingsView(AppState& state, QWidget* parent)
    : SettingsView(state, Services::standard(), parent) {}

SettingsView::SettingsView(AppState& state, Services services, QWidget* parent)
    : QWidget(parent), state_(state), services_(std::move(services)) {
    AppearanceOf::set(this, Appearance::dark);
    setFixedWidth(kWidth);
    setMinimumHeight(kMinHeight);
    resize(kWidth, kHeight);
    setFocusPolicy(Qt::ClickFocus);
    backdrop_ = new NimbrelBackdrop(this);
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll_->setAutoFillBackground(false);
    scroll_->viewport()->setAutoFillBackground(false);
    styleScrollBars(scroll_);

    auto* content = new Column;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(kOuterPadding, kColumnSpacing, kOuterPadding, kOuterPadding);
    column->setSpacing(kColumnSpacing);
    column->addLayout(header(content));
    column->addWidget(scanningCard());
    column->addWidget(neverScanCard());
    column->addWidget(nimbrelCard());
    column->addWidget(
        new MCard(tr("What's safe to remove"), QStringLiteral("checkmark.shield"), nullptr, riskLegend()));
    column->addWidget(creditsCard());
    column->addStretch(1);

    scroll_->setWidget(content);
    content->setAutoFillBackground(false);  // setWidget() turned it on
    reload();
}

namespace {

// A card's body: rows one under the other.
QVBoxLayout* cardRows(QWidget* body, int spacing) {
    auto* rows = new QVBoxLayout(body);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(spacing);
    return rows;
}

}  // namespace

QHBoxLayout* SettingsView::header(QWidget* content) {
    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(new NimbrelLogo(20, content));
    header->addWidget(new PlainLabel(tr("Settings"), Fonts::font(25, FontWeight::heavy, FontDesign::rounded),
                                     ink(), content));
    header->addStretch(1);
    return header;
}

QWidget* SettingsView::scanningCard() {
    auto* body = new QWidget;
    QVBoxLayout* rows = cardRows(body, MCard::kSpacing);
    QList<PillOption> options;
    for (const auto& [bytes, label] : sizeChoices())
        options.append(PillOption{QVariant::fromValue<qlonglong>(bytes), label});
    sizePicker_ = new PillPicker(options, Prefs::value(Prefs::kMinTrackedSize));
    connect(sizePicker_, &PillPicker::selectionRequested, this, [this](const QVariant& value) {
        write(Prefs::kMinTrackedSize, QVariant::fromValue<qlonglong>(value.toLongLong()));
    });
    rows->addWidget(
        row(tr("List files larger than"), tr("Smaller files still count toward folder sizes."), sizePicker_));
    packages_ = new NimbrelSwitch(false);
    connect(packages_, &NimbrelSwitch::toggleRequested, this,
            [this](bool on) { write(Prefs::kTreatPackagesAsFiles, on); });
    rows->addWidget(
        row(packagesTitle(HostLayout::judging()), packagesDetail(HostLayout::judging()), packages_));
    hidden_ = new NimbrelSwitch(false);
    connect(hidden_, &NimbrelSwitch::toggleRequested, this,
            [this](bool on) { write(Prefs::kSkipHiddenFiles, on); });
    rows->addWidget(row(tr("Skip hidden files"), tr("Dotfiles and hidden folders are ignored."), hidden_));
    return new MCard(tr("Scanning"), QStringLiteral("scope"), nullptr, body);
}

QWidget* SettingsView::neverScanCard() {
    add_ = new NimbrelButton(tr("Add"), NimbrelButton::Kind::ghost, NimbrelButton::Size::small);
    add_->setSymbol(QStringLiteral("plus"));
    connect(add_, &QAbstractButton::clicked, this, &SettingsView::addExcluded);
    exclusions_ = new QWidget;
    exclusionRows_ = cardRows(exclusions_, 2);
    return new MCard(tr("Never scan"), QStringLiteral("eye.slash"), add_, exclusions_);
}

QWidget* SettingsView::nimbrelCard() {
    auto* body = new QWidget;
    QVBoxLayout* rows = cardRows(body, MCard::kSpacing);
    menuBar_ = new NimbrelSwitch(false);
    connect(menuBar_, &NimbrelSwitch::toggleRequested, this,
            [this](bool on) { write(Prefs::kShowMenuBarExtra, on); });
    rows->addWidget(row(menuBarTitle(HostLayout::current()), {}, menuBar_, nullptr, &menuBarNote_));
    // Only systems with a Full Disk Access permission have anything to show or open here.
    if (services_.showsFullDiskAccess) {
        privacy_ = new NimbrelButton(tr("Privacy Settings"), NimbrelButton::Kind::secondary,
                                     NimbrelButton::Size::small);
        connect(privacy_, &QAbstractButton::clicked, this, [this] {
            if (services_.openFullDiskAccessSettings) services_.openFullDiskAccessSettings();
        });
        rows->addWidget(
            row({}, tr("Lets Nimbrel see every folder without repeated prompts."), privacy_, &accessTitle_));
        connect(&state_, &AppState::hasFullDiskAccessChanged, this, &SettingsView::followAccess);
        followAccess();
    } else {
        // Without that permission, access is whether the last scan read everything: the row shows
        // only when it did not, with the first folders it missed in its help.
        accessRow_ =
            row({}, tr("Nimbrel reads what your account may read; what they hold is left out of the sizes."),
                nullptr, &accessTitle_);
        rows->addWidget(accessRow_);
        connect(&state_, &AppState::unreadableChanged, this, &SettingsView::followAccess);
        followAccess();
    }
    return new MCard(QStringLiteral("Nimbrel"), QStringLiteral("humidity"), nullptr, body);
}

QWidget* SettingsView::creditsCard() {
    auto* body = new QWidget;
    QVBoxLayout* rows = cardRows(body, 6);
    for (const Credit& c : credits())
        rows->addWidget(credit(c));
    return new MCard(tr("Credits"), QStringLiteral("cube"), nullptr, body);
}

QWidget* SettingsView::row(const QString& title, const QString& detail, QWidget* control,
                           PlainLabel** titleLabel, PlainLabel** detailLabel) {
    auto* w = new QWidget;
    auto* line = new QHBoxLayout(w);
    line->setContentsMargins(0, 2, 0, 2);
    line->setSpacing(16);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* titleText = new PlainLabel(title, Fonts::font(13, FontWeight::medium), ink(), w);
    texts->addWidget(titleText);
    if (titleLabel) *titleLabel = titleText;
    if (!detail.isEmpty() || detailLabel) {
        auto* detailText = new PlainLabel(detail, Fonts::font(11.5), ink3(), w);
        detailText->setWordWrap(true);
        detailText->setVisible(!detail.isEmpty());
        texts->addWidget(detailText);
        if (detailLabel) *detailLabel = detailText;
    }
    line->addLayout(texts, 1);
    if (control) line->addWidget(control, 0, Qt::AlignVCenter);
    return w;
}

QWidget* SettingsView::credit(const Credit& c) {
    auto* w = new QWidget;
    auto* line = new QHBoxLayout(w);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(8);
    auto* title = new PlainLabel(c.title, Fonts::font(12, FontWeight::medium), ink2(), w);
    title->setFixedWidth(140);
    line->addWidget(title, 0, Qt::AlignBaseline);
    if (c.url.isEmpty()) {
        line->addWidget(new PlainLabel(c.work, Fonts::font(12), ink(), w), 0, Qt::AlignBaseline);
    } else {
        auto* link = new CreditLink(c.work, w);
        link->setToolTip(c.url.toString().toHtmlEscaped());
        connect(link, &QAbstractButton::clicked, this, [this, url = c.url] {
            if (services_.openUrl) services_.openUrl(url);
        });
        line->addWidget(link, 0, Qt::AlignBaseline);
    }
    line->addStretch(1);
    line->addWidget(new PlainLabel(c.licence, Fonts::font(11, FontWeight::semibold), ink3(), w), 0,
                    Qt::AlignBaseline);
    return w;
}

QWidget* SettingsView::riskLegend() {
    auto* body = new QWidget;
    auto* blocks = new QVBoxLayout(body);
    blocks->setContentsMargins(0, 0, 0, 0);
    blocks->setSpacing(12);
    for (const RiskSummaryRow& entry : RiskCatalog::summary()) {
        auto* block = new QVBoxLayout;
        block->setSpacing(3);
        auto* head = new QHBoxLayout;
        head->setSpacing(6);
        head->addWidget(new Dot(entry.level, body), 0, Qt::AlignVCenter);
        head->addWidget(new PlainLabel(QString::fromStdString(entry.title),
                                       Fonts::font(12.5, FontWeight::semibold), ink(), body));
        head->addStretch(1);
        block->addLayout(head);
        for (const std::string& item : entry.items) {
            auto* line = new QHBoxLayout;
            line->setContentsMargins(13, 0, 0, 0);
            line->setSpacing(4);
            line->addWidget(new PlainLabel(QStringLiteral("·"), Fonts::font(11.5), ink2(), body), 0,
                            Qt::AlignTop);
            auto* text = new PlainLabel(QString::fromStdString(item), Fonts::font(11.5), ink2(), body);
            text->setWordWrap(true);
            line->addWidget(text, 1, Qt::AlignTop);
            block->addLayout(line);
        }
        blocks->addLayout(block);
    }
    auto* note =
        new PlainLabel(tr("Everything goes to the Trash first unless you choose Nimbrelise Forever."),
                       Fonts::font(11.5, FontWeight::medium), ink3(), body);
    note->setWordWrap(true);
    blocks->addWidget(note);
    return body;
}

void SettingsView::reload() {
    sizePicker_->setSelection(
        QVariant::fromValue<qlonglong>(Prefs::value(Prefs::kMinTrackedSize).toLongLong()));
    packages_->setOn(Prefs::value(Prefs::kTreatPackagesAsFiles).toBool());
    hidden_->setOn(Prefs::value(Prefs::kSkipHiddenFiles).toBool());
    menuBar_->setOn(Prefs::value(Prefs::kShowMenuBarExtra).toBool());
    rebuildExclusions();
    followAccess();
    followTray();
}

void SettingsView::followTray() {
    const bool available = !services_.trayAvailable || services_.trayAvailable();
    if (available == menuBar_->isEnabled() && menuBarNote_->isHidden() == available) return;
    menuBar_->setEnabled(available);
    // The switch draws the same enabled or not: dim it so it does not look like it can be used.
    if (available) {
        menuBar_->setGraphicsEffect(nullptr);
    } else {
        auto* dim = new QGraphicsOpacityEffect(menuBar_);
        dim->setOpacity(0.4);
        menuBar_->setGraphicsEffect(dim);
    }
    menuBarNote_->setText(
        available ? QString() : tr("This desktop has no system tray; the icon appears when it has one."));
    menuBarNote_->setVisible(!available);
}

QString SettingsView::menuBarNote() const {
    return menuBarNote_->isHidden() ? QString() : menuBarNote_->text();
}

void SettingsView::write(const char* key, const QVariant& value) {
    Prefs::setValue(QString::fromLatin1(key), value);
    reload();
    emit preferenceChanged(QString::fromLatin1(key));
}

void SettingsView::followAccess() {
    if (!accessTitle_) return;
    if (!accessRow_) {
        accessTitle_->setText(state_.hasFullDiskAccess() ? tr("Full Disk Access granted")
                                                         : tr("Full Disk Access needed"));
        return;
    }
    const UnreadableReport& report = state_.unreadable();
    accessRow_->setVisible(report.count > 0);
    accessTitle_->setText(report.text());
    accessRow_->setToolTip(PlainText::toolTip(report.pathsText(homeFolder())));
}

std::string SettingsView::homeFolder() const {
    return services_.home ? services_.home() : HostLayout::current().home;
}

QString SettingsView::accessTitle() const {
    return accessTitle_ && !(accessRow_ && accessRow_->isHidden()) ? accessTitle_->text() : QString();
}

bool SettingsView::showsEmptyExclusions() const {
    return listed_.isEmpty();
}

void SettingsView::rebuildExclusions() {
    const QStringList entries = ExcludedPaths::parse(Prefs::value(Prefs::kExcludedPaths).toString());
    if (entries == listed_ && exclusionRows_->count() > 0) return;
    while (QLayoutItem* item = exclusionRows_->takeAt(0)) {
        if (QWidget* w = item->widget()) w->deleteLater();
        delete item;
    }
    listed_ = entries;
    if (entries.isEmpty()) {
        auto* empty = new PlainLabel(tr("Folders added here are skipped in every scan."), Fonts::font(12),
                                     ink3(), exclusions_);
        exclusionRows_->addWidget(empty);
        return;
    }
    const std::string home = homeFolder();
    for (const QString& path : entries) {
        auto* w = new QWidget(exclusions_);
        w->setFixedHeight(kExclusionRowHeight);
        auto* line = new QHBoxLayout(w);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(8);
        line->addWidget(new SymbolGlyph(
            QStringLiteral("folder.fill"), 12.5,
            [](const QWidget* x) { return QBrush(Palette::ink3().resolve(x)); }, FontWeight::regular, w));
        auto* label = new ElidedLabel(w);
        label->setFont(Fonts::font(12.5));
        label->setElideMode(Qt::ElideMiddle);
        label->setColor([](const QWidget* x) { return Palette::ink().resolve(x); });
        label->setText(abbreviatingHome(path, home));
        line->addWidget(label, 1);
        auto* minus = new IconButton(QStringLiteral("minus"), 22, false, w);
        minus->setHelp(tr("Remove"));
        connect(minus, &QAbstractButton::clicked, this, [this, path] { removeExcluded(path); });
        line->addWidget(minus);
        exclusionRows_->addWidget(w);
    }
}

void SettingsView::addExcluded() {
    if (!services_.chooseFolders) return;
    const std::optional<QStringList> chosen = services_.chooseFolders();
    if (!chosen) return;
    QStringList normalised;
    for (const QString& folder : *chosen) {
        // Paths are bytes: normalise the file system's spelling, not the display text.
        const std::string bytes = QFile::encodeName(folder).toStdString();
        normalised << QFile::decodeName(QByteArray::fromStdString(DiskScanner::normalize(bytes)));
    }
    write(Prefs::kExcludedPaths,
          ExcludedPaths::adding(Prefs::value(Prefs::kExcludedPaths).toString(), normalised));
}

void SettingsView::removeExcluded(const QString& path) {
    write(Prefs::kExcludedPaths,
          ExcludedPaths::removing(Prefs::value(Prefs::kExcludedPaths).toString(), path));
}

void SettingsView::showEvent(QShowEvent* event) {
    reload();
    QWidget::showEvent(event);
    // The window opens with the focus on the view itself, so no control starts with a focus ring.
    setFocus(Qt::OtherFocusReason);
}

void SettingsView::keyPressEvent(QKeyEvent* event) {
    // Escape closes the window, as every dialog-like window on Linux does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        window()->close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool SettingsView::focusNextPrevChild(bool next) {
    return FocusOrder::move(this, next);
}

void SettingsView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    backdrop_->setGeometry(rect());
    scroll_->setGeometry(rect());
}

}  // namespace nimbrel

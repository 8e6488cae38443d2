#include "views/files/failure_sheet.h"

#include <sys/stat.h>

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <unordered_set>

#include "model/background.h"
#include "model/removal_road.h"
#include "platform/file_manager.h"
#include "theme/file_icon_view.h"
#include "theme/icon_button.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "theme/shapes.h"
#include "theme/shrinking_scroll.h"
#include "views/files/failure_groups.h"
#include "views/kit/elided_label.h"
#include "views/kit/files_text.h"
#include "views/kit/plain_label.h"
#include "views/kit/plain_text.h"
#include "views/kit/sheet_card.h"
#include "views/kit/symbol_glyph.h"
#include "views/kit/text_widgets.h"
#include "views/kit/wrapping_text.h"

namespace nimbrel {

namespace {

class Well : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(Shapes::rounded(QRectF(rect()), 12), Palette::well().resolve(this));
    }
};

// A line that shows a count: its digits in cells of one width.
ElidedLabel* counting(ElidedLabel* label) {
    label->setFixedDigits(true);
    return label;
}

// A failure row's second line, readable to its end on one line or two (FailureGroups::detailLines).
class DetailText : public QWidget {
  public:
    DetailText(DeletionFailure failure, QWidget* parent)
        : QWidget(parent), failure_(std::move(failure)), font_(Fonts::font(10.5)) {
        QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }
    const QStringList& lines() const { return linesAt(width()); }
    // The lines its height leaves room for.
    QStringList shownLines() const {
        const QFontMetricsF metrics(font_);
        const auto room = qsizetype(std::floor((height() - metrics.height()) / metrics.lineSpacing())) + 1;
        return lines().mid(0, std::max<qsizetype>(room, 0));
    }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return heightOf(linesAt(width).size()); }
    QSize sizeHint() const override { return {0, heightOf(1)}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setFont(font_);
        p.setPen(Palette::ink3().resolve(this));
        const QFontMetricsF metrics(font_);
        double y = metrics.ascent();
        for (const QString& line : lines()) {
            p.drawText(QPointF(0, y), line);
            y += metrics.lineSpacing();
        }
    }

  private:
    int heightOf(qsizetype lines) const {
        const QFontMetricsF metrics(font_);
        return int(
            std::ceil(metrics.height() + double(std::max<qsizetype>(lines, 1) - 1) * metrics.lineSpacing()));
    }
    const QStringList& linesAt(int width) const {
        if (width != fittedWidth_) {
            fittedWidth_ = width;
            fitted_ = FailureGroups::detailLines(failure_, font_, width);
        }
        return fitted_;
    }

    DeletionFailure failure_;
    QFont font_;
    mutable int fittedWidth_ = -1;
    mutable QStringList fitted_;
};

// Asked of the file system after the sheet is up, off the main thread: the path may be gone by
// now, and a slow or dead mount must not hold the window.
bool isDirectoryNow(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

FailureSheet::FailureSheet(AppState& state, std::vector<DeletionFailure> failures, QWidget* parent)
    : QWidget(parent), state_(state), failures_(std::move(failures)) {
    setProperty("sheetShadow", true);  // the modal host draws the card's shadow
    setFocusPolicy(Qt::StrongFocus);
    setFixedWidth(kContentWidth + 2 * kPadding);
    column_ = new QVBoxLayout(this);
    column_->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    column_->setSpacing(16);
    column_->addLayout(buildHeader());
    column_->addWidget(buildGroupList());
    column_->addLayout(buildFooter());
    connect(&state_, &AppState::hasFullDiskAccessChanged, this, &FailureSheet::updateFullDiskAccess);
    updateFullDiskAccess();
}

QHBoxLayout* FailureSheet::buildHeader() {
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(new SymbolGlyph(
                          QStringLiteral("exclamationmark.triangle.fill"), 22,
                          [](const QWidget*) { return Palette::honey(); }, FontWeight::regular, this),
                      0, Qt::AlignTop);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(counting(ElidedLabel::line(FailureGroups::headerTitle(failures_.size()),
                                                 Fonts::font(20, FontWeight::heavy, FontDesign::rounded),
                                                 shownColor(Palette::ink()), this, Qt::ElideRight)));
    // The removal credited nothing at all: every entry reviewed stayed.
    const QString rest = state_.removal().lastRemoval().empty() ? tr("Nothing was nimbrelised.")
                                                                : tr("Everything else was nimbrelised.");
    titles->addWidget(
        ElidedLabel::line(rest, Fonts::font(12.5), shownColor(Palette::ink2()), this, Qt::ElideRight));
    header->addLayout(titles, 1);
    return header;
}

QWidget* FailureSheet::buildGroupList() {
    auto* well = new Well(this);
    auto* wellLayout = new QVBoxLayout(well);
    wellLayout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new ShrinkingScroll(kListMax, well);
    auto* content = new QWidget;
    auto* groups = new QVBoxLayout(content);
    groups->setContentsMargins(12, 12, 12, 12);
    groups->setSpacing(16);
    QFont groupFont = Fonts::font(10.5, FontWeight::heavy);
    groupFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.4);
    for (const FailureGroups::Group& group : FailureGroups::group(failures_))
        groups->addLayout(buildGroupBlock(group, groupFont, content));
    scroll->setContent(content);
    wellLayout->addWidget(scroll);
    askWhichRowsAreFolders();
    return well;
}

QVBoxLayout* FailureSheet::buildGroupBlock(const FailureGroups::Group& group, const QFont& groupFont,
                                           QWidget* content) {
    auto* block = new QVBoxLayout;
    block->setSpacing(4);
    auto* head = new QHBoxLayout;
    head->setSpacing(8);
    head->addWidget(counting(ElidedLabel::line(
        FailureGroups::groupTitle(group), groupFont, [](const QWidget*) { return Room::burnDim(); }, content,
        Qt::ElideRight)));
    head->addStretch(1);
    auto* copy =
        new NimbrelButton(tr("Copy paths"), NimbrelButton::Kind::ghost, NimbrelButton::Size::small, content);
    const std::vector<std::string> paths = group.paths();
    connect(copy, &QAbstractButton::clicked, this, [this, paths] { state_.copyPaths(paths); });
    groupCopy_.push_back(copy);
    head->addWidget(copy);
    block->addLayout(head);
    // Wraps by the list's width: a label that guessed its own width would make the list taller
    // than its content and scroll a single row.
    block->addWidget(new WrappingText(QString::fromUtf8(DeletionFailure::explanation(group.reason)),
                                      Fonts::font(11.5), shownColor(Palette::ink3()), content));
    block->addSpacing(2);
    for (int i = 0; i < group.shownRows(); ++i)
        block->addWidget(new FailureRow(state_, group.failures[static_cast<size_t>(i)], content));
    const QString more = FailureGroups::moreNote(group);
    if (!more.isEmpty())
        block->addWidget(counting(ElidedLabel::line(more, Fonts::font(11.5), shownColor(Palette::ink3()),
                                                    content, Qt::ElideRight)));
    return block;
}

QHBoxLayout* FailureSheet::buildFooter() {
    auto* footer = new QHBoxLayout;
    footer->setSpacing(8);
    copyAll_ = new NimbrelButton(tr("Copy All Paths"), NimbrelButton::Kind::ghost,
                                 NimbrelButton::Size::regular, this);
    fullDiskAccess_ = new NimbrelButton(tr("Full Disk Access…"), NimbrelButton::Kind::secondary,
                                        NimbrelButton::Size::regular, this);
    ok_ = new NimbrelButton(tr("OK"), NimbrelButton::Kind::primary, NimbrelButton::Size::regular, this);
    footer->addWidget(copyAll_);
    footer->addWidget(fullDiskAccess_);
    footer->addStretch(1);
    footer->addWidget(ok_);
    connect(copyAll_, &QAbstractButton::clicked, this,
            [this] { state_.copyPaths(FailureGroups::allPaths(failures_)); });
    connect(fullDiskAccess_, &QAbstractButton::clicked, this,
            [] { FileActions::openFullDiskAccessSettings(); });
    connect(ok_, &QAbstractButton::clicked, this, [this] { state_.setDeletionFailures(std::nullopt); });
    return footer;
}

void FailureSheet::updateFullDiskAccess() {
    fullDiskAccess_->setVisible(FailureGroups::offersFullDiskAccess(failures_, state_.hasFullDiskAccess()));
}

int FailureSheet::rowCount() const {
    return static_cast<int>(findChildren<FailureRow*>().size());
}

QSize FailureSheet::sizeHint() const {
    return SheetCard::columnSizeHint(column_, kContentWidth + 2 * kPadding);
}

bool FailureSheet::event(QEvent* event) {
    SheetCard::refitOnLayoutRequest(this, event);
    return QWidget::event(event);
}

void FailureSheet::paintEvent(QPaintEvent*) {
    SheetCard::paintPanel(this);
}

void FailureSheet::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        state_.setDeletionFailures(std::nullopt);
        return;
    }
    QWidget::keyPressEvent(event);
}

// FailureRow

void FailureSheet::askWhichRowsAreFolders() {
    std::vector<std::string> paths;
    for (const FailureRow* row : findChildren<FailureRow*>())
        paths.push_back(row->failure().path);
    Background::run(
        state_.utilityPool(), this,
        [paths] {
            std::unordered_set<std::string> folders;
            for (const std::string& path : paths)
                if (isDirectoryNow(path)) folders.insert(path);
            return folders;
        },
        [this](const std::unordered_set<std::string>& folders) {
            for (FailureRow* row : findChildren<FailureRow*>())
                row->setDirectory(folders.count(row->failure().path) > 0);
        });
}

FailureRow::FailureRow(AppState& state, DeletionFailure failure, QWidget* parent)
    : QWidget(parent), failure_(std::move(failure)) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setToolTip(PlainText::toolTip(FailureGroups::rowHelp(failure_)));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    icon_ = new FileIconView(failure_.path, false, false, 16, this);
    row->addWidget(icon_);
    // The two texts stand together in the middle of the row, however many lines the second takes.
    auto* text = new QVBoxLayout;
    text->setSpacing(0);
    text->addStretch(1);
    text->addWidget(ElidedLabel::line(FailureGroups::rowName(failure_), Fonts::font(12, FontWeight::medium),
                                      shownColor(Palette::ink()), this));
    text->addWidget(detail_ = new DetailText(failure_, this));
    text->addStretch(1);
    row->addLayout(text, 1);
    row->addSpacing(8);

    // Copy and reveal stay in the layout, invisible until the pointer is over the row.
    actions_ = new QWidget(this);
    auto* buttons = new QHBoxLayout(actions_);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(0);
    auto* copy = new IconButton(QStringLiteral("doc.on.doc"), 24, false, actions_);
    copy->setHelp(tr("Copy path"));
    auto* reveal = new IconButton(QStringLiteral("magnifyingglass"), 24, false, actions_);
    reveal->setHelp(revealTitle());
    buttons->addWidget(copy);
    buttons->addWidget(reveal);
    const std::string path = failure_.path;
    AppState* s = &state;
    connect(copy, &QAbstractButton::clicked, this, [s, path] { s->copyPaths({path}); });
    connect(reveal, &QAbstractButton::clicked, this, [path] { FileActions::reveal({path}); });
    auto* fade = new QGraphicsOpacityEffect(actions_);
    fade->setOpacity(0);
    actions_->setGraphicsEffect(fade);
    row->addWidget(actions_);
}

QStringList FailureRow::detailLines() const {
    return static_cast<const DetailText*>(detail_)->shownLines();
}

int FailureRow::heightForWidth(int width) const {
    // One line of detail keeps the row at its height; a second makes it that much taller.
    return std::max(FailureSheet::kRowHeight, layout()->totalHeightForWidth(width));
}

void FailureRow::setDirectory(bool directory) {
    if (directory == directory_) return;
    directory_ = directory;
    icon_->setItem(failure_.path, false, directory);
}

void FailureRow::setHovering(bool on) {
    hovering_ = on;
    if (auto* fade = qobject_cast<QGraphicsOpacityEffect*>(actions_->graphicsEffect()))
        fade->setOpacity(on ? 1 : 0);
}

void FailureRow::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    setHovering(true);
}

void FailureRow::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    setHovering(false);
}

}  // namespace nimbrel

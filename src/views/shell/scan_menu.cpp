#include "views/shell/scan_menu.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "engine/host_layout.h"
#include "theme/fonts.h"
#include "theme/menu_row.h"
#include "theme/palette.h"
#include "theme/typo.h"
#include "views/kit/elided_label.h"
#include "views/kit/navigation.h"

namespace nimbrel {

namespace {

constexpr double kHeaderTracking = 1.1;

// The installed applications' folder, where the host has one.
std::optional<std::string> applicationsFolder() {
    if (HostLayout::current().isMac()) return std::string("/Applications");
    return std::nullopt;
}

QWidget* makeHeader(const QString& title, int top, QWidget* parent) {
    auto* label = new ElidedLabel(parent);
    QFont font = Typo::micro();
    font.setLetterSpacing(QFont::AbsoluteSpacing, kHeaderTracking);
    label->setFont(font);
    label->setColor([](const QWidget* w) { return Palette::ink3().resolve(w); });
    label->setText(title);
    label->setContentsMargins(10, top, 10, 4);
    label->setFixedHeight(label->sizeHint().height());
    label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    return label;
}

class Divider : public QWidget {
  public:
    explicit Divider(QWidget* parent) : QWidget(parent) { setFixedHeight(11); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(QRectF(0, 5, width(), 1), Palette::line().resolve(this));
    }
};

}  // namespace

ScanMenu::ScanMenu(AppState& state, std::function<void()> dismiss, QWidget* parent)
    : QWidget(parent), state_(state), dismiss_(std::move(dismiss)) {
    setFixedWidth(kWidth);
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    layout_->setSpacing(kSpacing);
    connect(&state_, &AppState::volumesChanged, this, &ScanMenu::rebuild);
    connect(&state_, &AppState::recentsChanged, this, &ScanMenu::rebuild);
    rebuild();
}

ScanMenuModel ScanMenu::model() const {
    ScanMenuModel model;
    model.volumes = state_.volumes();
    model.rootVolume = state_.rootVolume();
    model.recents = state_.recents();
    model.layout.home = Navigation::home(state_);
    model.applicationsFolder = applicationsFolder();
    return model;
}

void ScanMenu::activate(size_t lineIndex) {
    if (lineIndex >= lines_.size()) return;
    const ScanMenuLine line = lines_[lineIndex];
    // The menu may be gone once dismissed: keep what the action needs.
    AppState& state = state_;
    if (dismiss_) dismiss_();
    switch (line.action) {
        case ScanMenuLine::Action::scan:
            state.scan(line.target);
            break;
        case ScanMenuLine::Action::chooseFolder:
            // The open panel is modal: start it once the popup has finished closing.
            QTimer::singleShot(0, &state, [&state] { state.chooseFolderAndScan(); });
            break;
        case ScanMenuLine::Action::none:
            break;
    }
}

void ScanMenu::rebuild() {
    // The rows are made again whenever a disk's free space moves: the keyboard stays on its row.
    const auto rows = [this] { return findChildren<MenuRow*>(Qt::FindDirectChildrenOnly); };
    const QList<MenuRow*> before = rows();
    const auto focused = std::find_if(before.begin(), before.end(), [](MenuRow* r) { return r->hasFocus(); });
    const qsizetype keep = focused == before.end() ? -1 : focused - before.begin();
    while (QLayoutItem* item = layout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    lines_ = model().lines();
    bool firstHeader = true;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const ScanMenuLine& line = lines_[i];
        switch (line.kind) {
            case ScanMenuLine::Kind::header:
                layout_->addWidget(makeHeader(line.title, firstHeader ? 0 : 10, this));
                firstHeader = false;
                break;
            case ScanMenuLine::Kind::divider:
                layout_->addWidget(new Divider(this));
                break;
            case ScanMenuLine::Kind::row: {
                auto* row = new MenuRow(line.title, QString::fromStdString(line.symbol),
                                        line.detail.value_or(QString()), this);
                connect(row, &MenuRow::clicked, this, [this, i] { activate(i); });
                layout_->addWidget(row);
                break;
            }
        }
    }
    adjustSize();
    if (parentWidget()) parentWidget()->adjustSize();
    if (const QList<MenuRow*> after = rows(); keep >= 0 && !after.empty()) {
        MenuRow* row = after[std::min(keep, after.size() - 1)];
        row->show();  // the layout would show it on the next turn, too late to take the focus
        row->setFocus(Qt::TabFocusReason);
    }
}

ScanMenuPopup::ScanMenuPopup(AppState& state, QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, kArrowHeight, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    menu_ = new ScanMenu(
        state, [this] { close(); }, this);
    layout->addWidget(menu_);
}

void ScanMenuPopup::popUpBelow(QWidget* anchor, Opened how) {
    adjustSize();
    const QPoint anchorBottom = anchor->mapToGlobal(QPoint(anchor->width() / 2, anchor->height()));
    int x = anchorBottom.x() - width() / 2;
    if (QScreen* screen = anchor->screen()) {
        // Keep it on the screen, or at least within the window where the window is the larger.
        const QRect area = screen->availableGeometry().united(anchor->window()->frameGeometry());
        x = std::clamp(x, area.left() + 4, std::max(area.left() + 4, area.right() - width() - 4));
    }
    arrowX_ = anchorBottom.x() - x;
    move(x, anchorBottom.y() + 2);
    show();
    // From the keyboard, the keyboard starts on the first row, so Return works at once. A click
    // leaves the keys with the popup itself, which takes them to a row when one is pressed.
    auto* first = menu_->findChild<MenuRow*>();
    if (how == Opened::byKeyboard && first)
        first->setFocus(Qt::TabFocusReason);
    else
        setFocus(Qt::PopupFocusReason);
}

void ScanMenuPopup::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    const QList<MenuRow*> rows = menu_->findChildren<MenuRow*>();
    const bool onRow = std::any_of(rows.begin(), rows.end(), [](MenuRow* r) { return r->hasFocus(); });
    if (!onRow && !rows.empty() && (event->key() == Qt::Key_Down || event->key() == Qt::Key_Up)) {
        const bool down = event->key() == Qt::Key_Down;
        (down ? rows.front() : rows.back())->setFocus(down ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return;
    }
    QWidget::keyPressEvent(event);
}

void ScanMenuPopup::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body = QRectF(rect()).adjusted(0.5, kArrowHeight + 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(body, kRadius, kRadius);
    const double ax =
        std::clamp(arrowX_, body.left() + kRadius + kArrowHeight, body.right() - kRadius - kArrowHeight);
    QPainterPath arrow;
    arrow.moveTo(ax - kArrowHeight, body.top() + 1);
    arrow.lineTo(ax, 0.5);
    arrow.lineTo(ax + kArrowHeight, body.top() + 1);
    arrow.closeSubpath();
    path = path.united(arrow);
    p.setPen(QPen(Palette::line().resolve(this), 1));
    p.setBrush(Palette::panel().resolve(this));
    p.drawPath(path);
}

}  // namespace nimbrel

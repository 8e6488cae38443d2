#include "views/space/space_view.h"

#include <sys/stat.h>

#include <QDialog>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QVBoxLayout>

#include "model/app_state.h"
#include "theme/fonts.h"
#include "theme/palette.h"
#include "util/fmt.h"
#include "views/space/explorer_header.h"
#include "views/space/explorer_view.h"
#include "views/space/space_headers.h"

namespace nimbrel {

SpaceView::SpaceView(AppState& state, QWidget* parent) : SpaceView(state, Clock::system(), parent) {}

SpaceView::SpaceView(AppState& state, Clock& clock, QWidget* parent)
    : QWidget(parent), vm_(state, clock, this) {
    setObjectName(QStringLiteral("overview"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    welcome_ = new WelcomeHeader(state, this);
    discovering_ = new DiscoveringHeader(state, this);
    explorerTop_ = new QWidget(this);
    auto* top = new QVBoxLayout(explorerTop_);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    header_ = new ExplorerHeader(vm_, explorerTop_);
    strip_ = new CompositionStrip(state, explorerTop_);
    toolbar_ = new ExplorerToolbar(vm_, explorerTop_);
    top->addWidget(header_);
    auto* stripBox = new QVBoxLayout;
    stripBox->setContentsMargins(32, 0, 32, 16);
    stripBox->addWidget(strip_);
    top->addLayout(stripBox);
    top->addWidget(toolbar_);

    explorer_ = new ExplorerView(vm_, this);
    column->addWidget(welcome_);
    column->addWidget(discovering_);
    column->addWidget(explorerTop_);
    column->addWidget(explorer_, 1);

    // Up one level; a key press is never held back by the mouse guard.
    up_ = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Up), this);
    up_->setContext(Qt::WidgetWithChildrenShortcut);
    connect(up_, &QShortcut::activated, this, [this] { vm_.goUp(ClickInfo::none()); });

    connect(&vm_, &SpaceViewModel::changed, this, &SpaceView::refresh);
    connect(explorer_, &ExplorerView::previewRequested, this, &SpaceView::preview);
    refresh();
}

void SpaceView::refresh() {
    const auto mode = vm_.mode();
    welcome_->setVisible(mode == SpaceViewModel::Mode::welcome);
    discovering_->setVisible(mode == SpaceViewModel::Mode::discovering);
    explorerTop_->setVisible(mode == SpaceViewModel::Mode::explorer);
    up_->setEnabled(mode == SpaceViewModel::Mode::explorer && !vm_.stack().empty());
    if (mode == SpaceViewModel::Mode::explorer) {
        header_->refresh();
        toolbar_->refresh();
        strip_->update();
    }
}

// The preview never opens or runs the file: an image, the start of a text file, or its facts.
void SpaceView::preview(const std::string& path) {
    auto* dialog = new QDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(Fmt::displayName(path));
    auto* layout = new QVBoxLayout(dialog);
    const QString file = QFile::decodeName(QByteArray::fromStdString(path));
    QImageReader reader(file);
    reader.setAutoTransform(true);
    QImage image;
    if (reader.canRead()) {
        reader.setScaledSize(reader.size().scaled(QSize(720, 540), Qt::KeepAspectRatio));
        image = reader.read();
    }
    if (!image.isNull()) {
        auto* label = new QLabel(dialog);
        label->setPixmap(QPixmap::fromImage(image));
        layout->addWidget(label);
    } else {
        QFile f(file);
        QByteArray head;
        if (f.open(QIODevice::ReadOnly)) head = f.read(16 * 1024);
        const bool text = !head.isEmpty() && !head.contains('\0');
        if (text) {
            auto* edit = new QPlainTextEdit(QString::fromUtf8(head), dialog);
            edit->setReadOnly(true);
            edit->setMinimumSize(600, 400);
            layout->addWidget(edit);
        }
        struct stat st {};
        const std::int64_t size =
            lstat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_blocks) * 512 : 0;
        auto* facts = plainLabel(QString::fromStdString(path) + QLatin1Char('\n') + Fmt::bytes(size),
                                 Fonts::font(12), Palette::ink2(), dialog);
        layout->addWidget(facts);
    }
    dialog->show();
}

}  // namespace nimbrel

#include "views/kit/quick_preview.h"

#include <sys/stat.h>

#include <QFile>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "engine/path_rules.h"
#include "model/background.h"
#include "theme/appearance.h"
#include "theme/file_icon_view.h"
#include "theme/fonts.h"
#include "theme/palette.h"
#include "theme/shapes.h"
#include "util/fmt.h"
#include "views/kit/elided_label.h"
#include "views/kit/files_text.h"

namespace nimbrel {

namespace {
constexpr qint64 kTextBytes = 64 * 1024;
constexpr int kImageMegabytes = 256;  // refuse pictures that would need more memory than this
}  // namespace

PreviewContent PreviewContent::load(const std::string& path, QSize fit) {
    PreviewContent content;
    struct stat st {};
    // Only regular files: a pipe or a device would block or never end.
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return content;
    content.size = st.st_size;
    const QString name = QFile::decodeName(path.c_str());
    QImageReader reader(name);
    reader.setAllocationLimit(kImageMegabytes);
    if (reader.canRead()) {
        QSize size = reader.size();
        if (size.isValid() && (size.width() > fit.width() || size.height() > fit.height()))
            reader.setScaledSize(size.scaled(fit, Qt::KeepAspectRatio));
        content.image = reader.read();
        if (!content.image.isNull()) return content;
    }
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return content;
    const QByteArray head = file.read(kTextBytes);
    if (head.contains('\0')) return content;
    QString text = QString::fromUtf8(head);
    // Binary data decodes into replacement characters: not a text worth showing.
    if (text.count(QChar::ReplacementCharacter) > text.size() / 50) return content;
    content.text = text;
    return content;
}

QuickPreview::QuickPreview(const std::string& path, std::function<void()> close, QWidget* parent,
                           QThreadPool* pool)
    : QWidget(parent), close_(std::move(close)) {
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(kWidth, kHeight);
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(20, 20, 20, 16);
    col->setSpacing(10);
    body_ = new QWidget(this);
    auto* bodyLayout = new QVBoxLayout(body_);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->addStretch(1);
    bodyLayout->addWidget(new FileIconView(path, false, false, 96, body_), 0, Qt::AlignHCenter);
    bodyLayout->addStretch(1);
    col->addWidget(body_, 1);
    auto* name = new ElidedLabel(this);
    name->setFont(Fonts::font(14, FontWeight::semibold));
    name->setColor([](const QWidget* w) { return Palette::ink().resolve(w); });
    name->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    name->setText(QString::fromUtf8(std::string(PathRules::lastComponent(path))));
    col->addWidget(name);
    auto* where = new ElidedLabel(this);
    where->setFont(Fonts::font(11.5));
    where->setColor([](const QWidget* w) { return Palette::ink3().resolve(w); });
    where->setElideMode(Qt::ElideLeft);
    where->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    where->setText(tildePath(PathRules::parent(path)));
    col->addWidget(where);
    const QSize fit(kWidth - 40, kHeight - 100);
    Background::run(
        pool ? *pool : Background::userInitiated(), this,
        [path, fit] { return PreviewContent::load(path, fit); },
        [this](PreviewContent content) { show(content); });
}

void QuickPreview::show(const PreviewContent& content) {
    loaded_ = true;
    if (content.image.isNull() && content.text.isEmpty()) return;
    auto* layout = body_->layout();
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* w = item->widget()) w->deleteLater();
        delete item;
    }
    auto* label = new QLabel(body_);
    label->setAlignment(content.image.isNull() ? Qt::AlignLeft | Qt::AlignTop : Qt::AlignCenter);
    if (!content.image.isNull()) {
        label->setPixmap(QPixmap::fromImage(content.image));
    } else {
        label->setTextFormat(Qt::PlainText);
        label->setFont(Fonts::font(11));
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, Palette::ink2().resolve(this));
        label->setPalette(pal);
        label->setText(content.text.left(4000));
        label->setWordWrap(true);
    }
    layout->addWidget(label);
}

void QuickPreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = Shapes::rounded(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 20);
    p.fillPath(shape, Palette::panel().resolve(this));
    p.setPen(QPen(Palette::line().resolve(this), 1));
    p.drawPath(shape);
}

void QuickPreview::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Space) {
        close_();
        return;
    }
    QWidget::keyPressEvent(event);
}

void QuickPreview::mouseReleaseEvent(QMouseEvent*) {
    close_();
}

}  // namespace nimbrel

// The design-system gallery: every control and container in the dark and light appearances.
//   nimbrel-gallery                 opens the window
//   nimbrel-gallery --png OUTDIR    writes one PNG per page (offscreen, frozen clock)
//   nimbrel-gallery --shot FILE     writes every page into one PNG
#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>

#include "gallery.h"
#include "theme/animated_value.h"
#include "theme/backdrop.h"
#include "theme/fonts.h"
#include "theme/motion.h"
#include "theme/palette.h"

using namespace nimbrel;

namespace {

// The light half sits on the light canvas: the backdrop itself is the same dark picture in both.
class LightCanvas : public QWidget {
  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Palette::canvas().resolve(Appearance::light));
    }
};

QWidget* half(const gallery::Page& page, Appearance a) {
    QWidget* host = a == Appearance::dark ? static_cast<QWidget*>(new NimbrelBackdrop) : new LightCanvas;
    AppearanceOf::set(host, a);
    auto* box = new QVBoxLayout(host);
    box->setContentsMargins(28, 24, 28, 28);
    box->addWidget(page.build(a));
    box->addStretch(1);
    return host;
}

QWidget* pageWidget(const gallery::Page& page) {
    auto* w = new QWidget;
    auto* box = new QHBoxLayout(w);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(half(page, Appearance::dark), 1);
    box->addWidget(half(page, Appearance::light), 1);
    return w;
}

QImage render(QWidget* w) {
    w->resize(w->sizeHint().expandedTo(QSize(1200, 400)));
    w->show();
    // Let queued state changes (hover and press looks) and layouts settle.
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    w->resize(w->sizeHint().expandedTo(QSize(1200, 400)));
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    // The window hands focus to its first control; only the previews should show a ring.
    if (QWidget* f = QApplication::focusWidget()) f->clearFocus();
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
    return w->grab().toImage();
}

}  // namespace

int main(int argc, char** argv) {
    QString pngDir, shotFile;
    for (int i = 1; i + 1 < argc; ++i) {
        if (QString::fromLocal8Bit(argv[i]) == QLatin1String("--png"))
            pngDir = QString::fromLocal8Bit(argv[i + 1]);
        if (QString::fromLocal8Bit(argv[i]) == QLatin1String("--shot"))
            shotFile = QString::fromLocal8Bit(argv[i + 1]);
    }
    const bool offscreen = !pngDir.isEmpty() || !shotFile.isEmpty();
    if (offscreen && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Fonts::install();
    QApplication::setFont(Fonts::font(13));

    if (offscreen) {
        // Still pictures: a fixed time and every animation at its end.
        MotionClock::freeze(800000000.0);
        AnimatedValue::setAllInstant(true);
        QList<QImage> images;
        for (const gallery::Page& page : gallery::pages()) {
            QWidget* w = pageWidget(page);
            const QImage img = render(w);
            if (!pngDir.isEmpty()) {
                QDir().mkpath(pngDir);
                const QString path = pngDir + QLatin1Char('/') + page.name + QStringLiteral(".png");
                if (!img.save(path)) {
                    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                    return 1;
                }
                std::printf("%s\n", qPrintable(path));
            }
            images.append(img);
            delete w;
        }
        if (!shotFile.isEmpty()) {
            int width = 0, height = 0;
            for (const QImage& i : images) {
                width = std::max(width, i.width());
                height += i.height();
            }
            QImage all(width, std::max(1, height), QImage::Format_ARGB32_Premultiplied);
            all.fill(Qt::black);
            QPainter p(&all);
            int y = 0;
            for (const QImage& i : images) {
                p.drawImage(0, y, i);
                y += i.height();
            }
            p.end();
            if (!all.save(shotFile)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(shotFile));
                return 1;
            }
        }
        return 0;
    }

    QTabWidget tabs;
    tabs.setWindowTitle(QStringLiteral("Nimbrel gallery"));
    for (const gallery::Page& page : gallery::pages()) {
        auto* scroll = new QScrollArea;
        scroll->setWidgetResizable(true);
        scroll->setWidget(pageWidget(page));
        tabs.addTab(scroll, page.name);
    }
    tabs.resize(1300, 900);
    tabs.show();
    return app.exec();
}

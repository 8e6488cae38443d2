// Every figure the windows draw keeps its digits in cells of one width, so sizes and counts that change
// while they are shown never shift. The windows are painted onto a device that only records text.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGraphicsEffect>
#include <QGuiApplication>
#include <QLabel>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>

#include "engine/demo.h"
#include "engine/host_layout.h"
#include "model/app_state.h"
#include "model/background.h"
#include "model/prefs.h"
#include "support/motion_scopes.h"
#include "support/private_prefs.h"
#include "support/wait_for.h"
#include "test_items.h"
#include "theme/animated_value.h"
#include "theme/figure_label.h"
#include "theme/fixed_digits.h"
#include "theme/motion.h"
#include "theme/palette.h"
#include "twin_sets.h"
#include "views/deepclean/steam_view.h"
#include "views/files/files_view.h"
#include "views/files/review_sheet.h"
#include "views/kit/modal_host.h"
#include "views/kit/wrapping_text.h"
#include "views/shell/main_window.h"
#include "views/shell/menu_bar_view.h"
#include "views/shell/nimbrel_commands.h"
#include "views/space/space_view.h"

namespace nimbrel {
namespace {

struct DrawnText {
    QString text;
    bool inCells;
    QString painter;
    bool prose;  // drawn by a label that wraps its lines
};

// A paint engine that keeps the text it is handed and ignores everything else.
class TextRecorder : public QPaintEngine {
  public:
    TextRecorder() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}
    void drawTiledPixmap(const QRectF&, const QPixmap&, const QPointF&) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawPolygon(const QPoint*, int, PolygonDrawMode) override {}
    void drawRects(const QRectF*, int) override {}
    void drawRects(const QRect*, int) override {}
    void drawLines(const QLineF*, int) override {}
    void drawLines(const QLine*, int) override {}
    void drawEllipse(const QRectF&) override {}
    void drawEllipse(const QRect&) override {}
    void drawPoints(const QPointF*, int) override {}
    void drawPoints(const QPoint*, int) override {}
    void drawTextItem(const QPointF&, const QTextItem& item) override;
    Type type() const override { return QPaintEngine::User; }

    std::vector<DrawnText> texts;
    QWidget* root = nullptr;  // the window being drawn
};

class TextDevice : public QPaintDevice {
  public:
    explicit TextDevice(QSize size) : size_(size) {}
    QPaintEngine* paintEngine() const override { return &engine_; }
    TextRecorder& engine() { return engine_; }

  protected:
    int metric(PaintDeviceMetric m) const override {
        const QScreen* screen = QGuiApplication::primaryScreen();
        switch (m) {
            case PdmWidth:
                return size_.width();
            case PdmHeight:
                return size_.height();
            case PdmWidthMM:
                return size_.width() * 254 / 960;
            case PdmHeightMM:
                return size_.height() * 254 / 960;
            case PdmNumColors:
                return INT_MAX;
            case PdmDepth:
                return 32;
            case PdmDpiX:
            case PdmPhysicalDpiX:
                return int(screen->logicalDotsPerInchX());
            case PdmDpiY:
            case PdmPhysicalDpiY:
                return int(screen->logicalDotsPerInchY());
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return int(QPaintDevice::devicePixelRatioFScale());
        }
        return 0;
    }

  private:
    QSize size_;
    mutable TextRecorder engine_;
};

void TextRecorder::drawTextItem(const QPointF& at, const QTextItem& item) {
    // Credited to the widget under the text's start (just above its baseline).
    const QPoint where = painter()->deviceTransform().map(at + QPointF(1, -2)).toPoint();
    QWidget* w = root ? root->childAt(where) : nullptr;
    if (!w) w = root;
    const auto* label = qobject_cast<const QLabel*>(w);
    texts.push_back({item.text(), FixedDigits::isDrawing(),
                     w ? QString::fromLatin1(w->metaObject()->className()) : QString(),
                     qobject_cast<const WrappingText*>(w) || (label && label->wordWrap())});
}

// A number standing on its own ("1.2 GB", "48,213 files", "Space 2", "10 MB+"), not one inside a
// word or a name ("v7", "Talk 2024.key", "ubuntu-24.04").
bool hasFigure(const QString& s) {
    static const QRegularExpression number(
        QStringLiteral(R"((?<![\w\-.,])\d[\d.,\x{202F}\x{00A0}]*+(?![\w\-]))"),
        QRegularExpression::UseUnicodePropertiesOption);
    return number.match(s).hasMatch();
}

// Every text `window` draws. Effects are set aside while it paints: an effect draws through a
// picture of its own, which the recorder would not see.
std::vector<DrawnText> drawnTexts(QWidget& window) {
    settleWindows({&Background::userInitiated(), &Background::utility()});
    std::vector<QGraphicsEffect*> paused;
    for (QWidget* w : window.findChildren<QWidget*>())
        if (QGraphicsEffect* e = w->graphicsEffect(); e && e->isEnabled()) {
            e->setEnabled(false);
            paused.push_back(e);
        }
    TextDevice device(window.size());
    device.engine().root = &window;
    window.render(&device, QPoint(), QRegion(), QWidget::DrawChildren);
    for (QGraphicsEffect* e : paused)
        e->setEnabled(true);
    return std::move(device.engine().texts);
}

// The figures drawn with proportional digits, each as "Painter: text". Running prose (a label that
// wraps) keeps the face's own figures, as sentences do.
QStringList proportionalFigures(const std::vector<DrawnText>& texts, const QString& scene) {
    QStringList out;
    for (const DrawnText& t : texts)
        if (!t.inCells && !t.prose && hasFigure(t.text))
            out << scene + QStringLiteral(" · ") + t.painter + QStringLiteral(": ") + t.text;
    return out;
}

QStringList proportionalFigures(QWidget& window, const QString& scene) {
    return proportionalFigures(drawnTexts(window), scene);
}

// The texts of `window` (drawn, tooltips, accessible names) that speak of the host instead of the
// demo's Mac sample: its home spelled out where it reads "~", or the host's own words and places.
QStringList hostWords(QWidget& window, const std::vector<DrawnText>& texts, const QString& scene) {
    QStringList words = {QStringLiteral("/Users/")};
    if (!HostLayout::current().isMac())
        words << QString::fromStdString(HostLayout::current().systemName) << QStringLiteral(".deb")
              << QStringLiteral("Mac package") << QStringLiteral("~/.cache") << QStringLiteral("~/.local")
              << QStringLiteral("~/.config");
    QStringList shown;
    for (const DrawnText& t : texts)
        shown << t.text;
    for (QWidget* w : window.findChildren<QWidget*>())
        if (w->isVisible()) shown << w->toolTip() << w->accessibleName() << w->accessibleDescription();
    QStringList out;
    for (const QString& text : shown)
        for (const QString& word : words)
            if (text.contains(word)) out << scene + QStringLiteral(" · ") + text;
    return out;
}

// Draws a figure plainly, as a painter that forgot the cells would.
class PlainFigure : public QWidget {
  public:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.drawText(rect(), Qt::AlignLeft, QStringLiteral("1.21 GB"));
    }
};

class FigureDigitsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(prefs_.isValid());
        Demo::setOnForTesting(true);
    }
    void TearDown() override { Demo::setOnForTesting(false); }
    PrivatePrefs prefs_;
    ReduceMotionScope motion_{true};
    InstantAnimations instant_;
};

// The demo's windows also speak of the sample alone: its home reads "~" and its words are the Mac's.
TEST_F(FigureDigitsTest, EveryFigureOfTheWindowsKeepsItsDigitsInCellsAndTheDemoItsSamplesWords) {
    // The recorder itself: a figure drawn plainly is caught, the same figure in cells is not.
    PlainFigure plain;
    plain.resize(200, 30);
    EXPECT_EQ(proportionalFigures(plain, QStringLiteral("probe")).size(), 1);
    FigureLabel cells(QFont(), Palette::ink(), false);
    cells.setText(QStringLiteral("1.21 GB"));
    cells.resize(200, 30);
    EXPECT_TRUE(proportionalFigures(cells, QStringLiteral("probe")).isEmpty());

    AppStateServices services = AppStateServices::standard();
    services.isDemo = [] { return true; };
    services.arguments = [] { return std::vector<std::string>{"nimbrel", "-demo"}; };
    AppState state(services);
    state.onLaunch();
    NimbrelCommands commands(state, {});
    MainWindow window(state, commands);
    // Tall enough that no list scrolls: a scrolled list paints through a faded picture of itself.
    window.resize(MainWindow::kDefaultWidth, 3200);
    window.show();
    QStringList found, leaks;
    bool sample = true;  // until a scan of the disk replaces the sample
    const auto look = [&](QWidget& w, const QString& scene) {
        const std::vector<DrawnText> texts = drawnTexts(w);
        found << proportionalFigures(texts, scene);
        if (sample) leaks << hostWords(w, texts, scene);
    };
    const auto everySection = [&](const QString& scene) {
        for (SidebarItem s : kAllSidebarItems) {
            state.setSection(s);
            look(window, scene + QLatin1Char(' ') + QString::fromLatin1(rawValue(s)));
        }
    };

    everySection(QStringLiteral("demo"));
    state.setSection(SidebarItem::overview);
    auto* space = window.findChild<SpaceView*>();
    ASSERT_NE(space, nullptr);
    space->model().setLayout(ExplorerLayout::list);
    look(window, QStringLiteral("space list"));
    state.setFolderFocus(state.result()->root()->children().front()->path());
    look(window, QStringLiteral("space folder"));
    space->model().setLayout(ExplorerLayout::icons);
    look(window, QStringLiteral("space folder icons"));

    state.setSection(SidebarItem::duplicates);
    auto* twins = window.findChild<TwinShelves*>();
    ASSERT_NE(twins, nullptr);
    ASSERT_TRUE(finishEmptyTwinSearch(*twins, state));
    state.duplicates().setGroups(
        {testTwinSet(0, 3, 14'000'000, 900'000), testTwinSet(1, 2, 2'400'000'000, 900'010)});
    look(window, QStringLiteral("twins"));

    state.setSection(SidebarItem::cleanup);
    auto* steam = window.findChild<SteamView*>();
    ASSERT_NE(steam, nullptr);
    steam->toggle("caches");
    look(window, QStringLiteral("caches open"));

    const std::string home = Demo::home;
    using K = CleanItem::Kind;
    using S = CleanItem::Source;
    state.queue().setItems({testItem(home + "/Movies/Holiday 2019.mov", 8'400'000'000, K::file, S::files),
                            testItem(home + "/VMs/Windows 11.vdi", 64'000'000'000, K::file, S::space),
                            testItem(home + "/Music/Demo.band", 1'200'000'000, K::folder, S::space),
                            testJunkItem("caches", "App caches", 3'200'000'000)});
    everySection(QStringLiteral("selected"));
    state.setToast(Toast(QStringLiteral("Freed 1.2 GB"), QStringLiteral("sparkles")));
    look(window, QStringLiteral("toast"));
    state.setToast(std::nullopt);

    state.nimbrelise();
    look(window, QStringLiteral("review"));
    auto* host = window.findChild<ModalHost*>();
    ASSERT_NE(host, nullptr);
    auto* sheet = qobject_cast<ReviewSheet*>(host->card());
    ASSERT_NE(sheet, nullptr);
    sheet->toggleExpanded("junk:caches");
    look(window, QStringLiteral("review contents"));
    state.setIsReviewing(false);
    state.queue().setItems({});

    std::vector<DeletionFailure> failed;
    for (int i = 0; i < 7; ++i)
        failed.push_back({home + "/Shared/report-" + std::to_string(i) + ".pdf",
                          i < 6 ? DeletionFailure::Reason::noPermission : DeletionFailure::Reason::inUse,
                          "Permission denied"});
    state.setDeletionFailures(failed);
    look(window, QStringLiteral("failures"));
    state.setDeletionFailures(std::nullopt);
    ConfirmRequest confirm;
    confirm.title = QStringLiteral("Empty the Trash?");
    confirm.message = QStringLiteral("Everything in the Trash (4.2 GB) is removed for good.");
    confirm.actionTitle = QStringLiteral("Empty Trash");
    state.setConfirm(confirm);
    look(window, QStringLiteral("confirm"));
    state.setConfirm(std::nullopt);

    ScanProgress progress;
    progress.filesScanned = 48213;
    progress.bytesScanned = 73'400'000'000;
    progress.currentPath = home + "/Library/Caches/com.example.4";
    sample = false;
    state.setResult(nullptr);
    state.setScanTarget(home);
    state.setIsScanning(true);
    state.setProgress(progress);
    everySection(QStringLiteral("scanning"));

    MenuBarView panel(state, {});
    state.setSessionFreed(3'400'000'000);
    panel.adjustSize();
    panel.show();
    look(panel, QStringLiteral("panel"));
    state.setIsScanning(false);

    EXPECT_TRUE(found.isEmpty()) << found.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(leaks.isEmpty()) << leaks.join(QLatin1Char('\n')).toStdString();
}

}  // namespace
}  // namespace nimbrel

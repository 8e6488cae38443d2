#include "theme/loader.h"

#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QLabel>

#include "theme/drawing_test_support.h"

namespace nimbrel {
namespace {

using test::PuffsGuard;
using test::whitePuff;

TEST(NimbrelLoader, TakesASquareOfOnePointSixTimesItsSizeInALayout) {
    struct Case {
        double size;
        int side;
    };
    for (const Case c : {Case{12, 20}, Case{14, 23}, Case{34, 55}}) {
        QWidget host;
        auto* row = new QHBoxLayout(&host);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(6);
        auto* loader = new NimbrelLoader(c.size);
        auto* label = new QLabel(QStringLiteral("12,400 files"));
        row->addWidget(loader);
        row->addWidget(label);
        row->addStretch(1);
        host.resize(400, 80);
        host.show();
        EXPECT_EQ(loader->sizeHint(), QSize(c.side, c.side)) << c.size;
        EXPECT_EQ(loader->size(), QSize(c.side, c.side)) << c.size;
        // What stands beside the loader starts right after the square and the spacing.
        EXPECT_EQ(label->x(), c.side + 6) << c.size;
    }
}

TEST(NimbrelLoader, ItsPuffLayerFollowsItWithoutTakingClicks) {
    PuffsGuard puffs({whitePuff()});
    QWidget host;
    auto* row = new QHBoxLayout(&host);
    row->setContentsMargins(30, 20, 0, 0);
    auto* loader = new NimbrelLoader(20);
    row->addWidget(loader, 0, Qt::AlignLeft | Qt::AlignTop);
    host.resize(200, 100);
    host.show();
    QWidget* spill = loader->spill();
    ASSERT_NE(spill, nullptr);
    EXPECT_EQ(spill->parentWidget(), &host);
    EXPECT_TRUE(spill->testAttribute(Qt::WA_TransparentForMouseEvents));
    const auto expected = [&] { return loader->geometry().marginsAdded(loader->bleed()); };
    EXPECT_EQ(spill->geometry(), expected());
    EXPECT_TRUE(spill->isVisible());

    row->setContentsMargins(50, 40, 0, 0);
    row->activate();
    EXPECT_EQ(loader->pos(), QPoint(50, 40));
    EXPECT_EQ(spill->geometry(), expected());

    loader->hide();
    EXPECT_FALSE(spill->isVisible());
    loader->show();
    EXPECT_TRUE(spill->isVisible());

    QWidget other;
    loader->setParent(&other);
    EXPECT_EQ(loader->spill()->parentWidget(), &other);
    delete loader;
    EXPECT_TRUE(other.findChildren<QWidget*>().isEmpty());  // the layer goes with the loader
}

TEST(NimbrelLoader, HiddenLoaderCreatedHiddenKeepsItsLayerHidden) {
    QWidget host;
    auto* loader = new NimbrelLoader(12, &host);
    loader->hide();
    host.show();
    EXPECT_FALSE(loader->spill()->isVisible());
    loader->show();
    EXPECT_TRUE(loader->spill()->isVisible());
}

}  // namespace
}  // namespace nimbrel

#include "theme/stage_assets.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace nimbrel {
namespace {

// A puff whose colour tells which file it came from.
void writePuff(const QString& folder, int number, QColor colour) {
    QImage img(4, 4, QImage::Format_ARGB32);
    img.fill(colour);
    ASSERT_TRUE(img.save(folder + QStringLiteral("/puff%1.png").arg(number)));
}

TEST(StageAssets, LookupPrefersTheBundleThenTheExecutableFolder) {
    QTemporaryDir bundle, exe;
    writePuff(bundle.path(), 1, Qt::red);
    writePuff(exe.path(), 1, Qt::green);
    writePuff(exe.path(), 2, Qt::blue);
    const QStringList folders{bundle.path(), exe.path()};
    EXPECT_EQ(StageAssets::url("puff1", "png", folders), bundle.path() + "/puff1.png");
    EXPECT_EQ(StageAssets::url("puff2", "png", folders), exe.path() + "/puff2.png");
    EXPECT_EQ(StageAssets::url("puff3", "png", folders), std::nullopt);
    EXPECT_EQ(StageAssets::url("puff1", "png", {QString(), exe.path()}), exe.path() + "/puff1.png");
}

TEST(StageAssets, PuffsKeepTheOrderOfThoseThatLoad) {
    QTemporaryDir dir;
    writePuff(dir.path(), 1, Qt::red);
    writePuff(dir.path(), 3, Qt::green);
    writePuff(dir.path(), 4, Qt::blue);
    const QList<QImage> three = StageAssets::loadPuffs({dir.path()});
    ASSERT_EQ(three.size(), 3);
    EXPECT_EQ(three[0].pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(three[1].pixelColor(0, 0), QColor(Qt::green));
    EXPECT_EQ(three[2].pixelColor(0, 0), QColor(Qt::blue));

    // An unreadable file is skipped like a missing one.
    QFile broken(dir.path() + "/puff2.png");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not an image");
    broken.close();
    EXPECT_EQ(StageAssets::loadPuffs({dir.path()}).size(), 3);
    EXPECT_TRUE(StageAssets::loadPuffs({QDir(dir.path()).filePath("absent")}).isEmpty());
}

TEST(StageAssets, TheProgramCarriesFourPuffs) {
    EXPECT_EQ(StageAssets::puffs().size(), 4);
}

}  // namespace
}  // namespace nimbrel

// The picture and glyphs reach the console through the resources linked in with kt6assets,
// with the sizes the window's controls are laid out for.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QRect>

#include <string>

namespace {

class AssetsTest : public ::testing::Test {
  protected:
    // Image plugins (JPEG) are found through the application object.
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "assets_test";
        static char* argv[] = {name, nullptr};
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!QGuiApplication::instance()) app_ = new QGuiApplication(argc, argv);
    }
    static inline QGuiApplication* app_ = nullptr;
};

// The part of a glyph that is fully opaque: the key itself, without shadow or glow.
QRect opaqueBounds(const QImage& img) {
    QRect r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) == 255) r |= QRect(x, y, 1, 1);
    return r;
}

QRect centred(QSize control, QSize glyph) {
    return QRect((glyph.width() - control.width()) / 2, (glyph.height() - control.height()) / 2,
                 control.width(), control.height())
        .adjusted(-1, -1, 1, 1);  // half a pixel of rounding either side
}

TEST_F(AssetsTest, panelPicture_decodesFromResourcesAtFullSize) {
    const QImage panel(QStringLiteral(":/assets/panel.jpg"));
    ASSERT_FALSE(panel.isNull()) << "resource missing or JPEG plugin not found";
    EXPECT_EQ(panel.size(), QSize(640, 325));
}

struct Glyph {
    const char* name;
    const char* path;
    QSize size;
    QSize smallestControl;  // the smallest control the glyph is shown in
};

class GlyphTest : public AssetsTest, public ::testing::WithParamInterface<Glyph> {};

TEST_P(GlyphTest, glyph_hasItsSizeAndTransparentCorners) {
    const Glyph g = GetParam();
    const QImage img(QString::fromLatin1(g.path));
    ASSERT_FALSE(img.isNull()) << g.path;
    EXPECT_EQ(img.size(), g.size) << g.path;
    ASSERT_TRUE(img.hasAlphaChannel()) << g.path;
    for (QPoint corner : {QPoint(0, 0), QPoint(img.width() - 1, 0), QPoint(0, img.height() - 1),
                          QPoint(img.width() - 1, img.height() - 1)})
        EXPECT_EQ(qAlpha(img.pixel(corner)), 0)
            << g.path << " corner " << corner.x() << "," << corner.y();
    EXPECT_EQ(qAlpha(img.pixel(img.width() / 2, img.height() / 2)), 255) << g.path;
}

TEST_P(GlyphTest, glyph_keyFitsInsideItsSmallestControlWhenCentred) {
    const Glyph g = GetParam();
    const QImage img(QString::fromLatin1(g.path));
    ASSERT_FALSE(img.isNull()) << g.path;
    const QRect key = opaqueBounds(img);
    const QRect allowed = centred(g.smallestControl, img.size());
    EXPECT_TRUE(allowed.contains(key)) << g.path << ": key " << key.x() << "," << key.y() << " "
                                       << key.width() << "x" << key.height();
}

INSTANTIATE_TEST_SUITE_P(
    AllGlyphs, GlyphTest,
    ::testing::Values(Glyph{"round", ":/assets/key_round.png", {45, 48}, {33, 33}},
                      Glyph{"updown", ":/assets/key_updown.png", {47, 43}, {33, 30}},
                      Glyph{"lit", ":/assets/key_lit.png", {46, 48}, {41, 41}},
                      Glyph{"powerOff", ":/assets/key_power_off.png", {55, 55}, {49, 49}},
                      Glyph{"powerOn", ":/assets/key_power_on.png", {63, 54}, {49, 49}}),
    [](const ::testing::TestParamInfo<Glyph>& param) { return std::string(param.param.name); });

// The application icon the desktop shows in menus: one file per size it asks for, square,
// clear outside the rounded face and opaque on it; the window uses the largest one.
class IconTest : public AssetsTest, public ::testing::WithParamInterface<int> {};

TEST_P(IconTest, icon_isASquareOfItsSizeWithClearCornersAndAnOpaqueFace) {
    const int size = GetParam();
    const QString path = QStringLiteral(KT6_ASSETS_DIR "/icon_%1.png").arg(size);
    const QImage img(path);
    ASSERT_FALSE(img.isNull()) << qPrintable(path);
    EXPECT_EQ(img.size(), QSize(size, size));
    ASSERT_TRUE(img.hasAlphaChannel());
    EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(img.pixel(size - 1, size - 1)), 0);
    EXPECT_EQ(qAlpha(img.pixel(size / 8, size / 2)), 255);
    if (size == 256) {
        EXPECT_EQ(QImage(QStringLiteral(":/assets/icon_256.png")), img);
    }
}

INSTANTIATE_TEST_SUITE_P(DesktopSizes, IconTest, ::testing::Values(48, 128, 256));

}  // namespace

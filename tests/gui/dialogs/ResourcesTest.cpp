// The compiled-in bundle really is linked into the static window library, with the colour variants
// and the six fonts the window uses.
#include "gui/resources/ApplicationFonts.h"
#include "gui/resources/ApplicationResources.h"

#include <QApplication>
#include <QFontDatabase>
#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>

namespace {

// Whether any fully opaque pixel of the image has the colour.
bool hasOpaquePixel(const QImage& image, QRgb colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == (colour | 0xFF000000u))
                return true;
    return false;
}

TEST(ResourcesTest, ImagesInTheirColours) {
    EnsureApplicationResources();
    EXPECT_FALSE(QPixmap(":/images/Logo_velmar.png").isNull());
    for (const char* icon : {"port", "load", "save", "extra", "help"}) {
        QImage white(QString(":/images/Dalvora_%1_white.png").arg(icon));
        QImage blue(QString(":/images/Dalvora_%1_dark_blue.png").arg(icon));
        ASSERT_FALSE(white.isNull()) << icon;
        ASSERT_FALSE(blue.isNull()) << icon;
        EXPECT_TRUE(hasOpaquePixel(white, 0xFFFFFF) && !hasOpaquePixel(white, 0x003250)) << icon;
        EXPECT_TRUE(hasOpaquePixel(blue, 0x003250) && !hasOpaquePixel(blue, 0xFFFFFF)) << icon;
    }
    QImage update(":/images/Dalvora_update_grey.png");
    EXPECT_TRUE(hasOpaquePixel(update, 0xB1B1B1));
}

TEST(ResourcesTest, FontsRegisterAndOpenSansLightIsTheApplicationFont) {
    ASSERT_TRUE(RegisterApplicationFonts());
    const QStringList families = QFontDatabase().families();
    EXPECT_TRUE(families.contains("Liberation Mono"));
    EXPECT_TRUE(families.contains("Open Sans"));
    EXPECT_EQ(QApplication::font().family(), "Open Sans");
    EXPECT_EQ(QApplication::font().weight(), QFont::Light);
}

} // namespace

// The waiting spinner's fade, timing, geometry and parent handling, and the waiting dialog around it.
#include "gui/dialogs/WaitingDialog.h"
#include "gui/dialogs/WaitingSpinnerWidget.h"

#include <QImage>
#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

double alphaAt(int distance) {
    return WaitingSpinnerWidget::colorForDistance(distance, 10, 70.0, 15.0, QColor("#1D70B7")).alphaF();
}

// Ten lines with a 70 % trail: ceil(9 * 0.7) = 7 lines fade, the ones beyond keep the minimum.
TEST(SpinnerTest, TrailFadesOverSevenLinesThenKeepsTheMinimum) {
    EXPECT_DOUBLE_EQ(alphaAt(0), 1.0);
    for (int distance = 1; distance <= 7; ++distance)
        EXPECT_LT(alphaAt(distance), alphaAt(distance - 1)) << distance;
    EXPECT_GT(alphaAt(7), 0.15 + 0.05);
    EXPECT_NEAR(alphaAt(8), 0.15, 1e-3);
    EXPECT_NEAR(alphaAt(9), 0.15, 1e-3);
    // A translucent colour fades from its own alpha, never above it.
    QColor half("#1D70B7");
    half.setAlphaF(0.5);
    EXPECT_LT(WaitingSpinnerWidget::colorForDistance(1, 10, 70.0, 15.0, half).alphaF(), 0.5);
}

TEST(SpinnerTest, StartDisablesTheParentAndStopEnablesItAgain) {
    QWidget parent;
    parent.resize(300, 200);
    WaitingSpinnerWidget spinner(&parent, true, true);
    spinner.start();
    EXPECT_TRUE(spinner.isSpinning());
    EXPECT_FALSE(parent.isEnabled());
    EXPECT_EQ(spinner.pos(), QPoint(130, 80));
    spinner.stop();
    EXPECT_FALSE(spinner.isSpinning());
    EXPECT_TRUE(parent.isEnabled());
    EXPECT_FALSE(spinner.findChild<QTimer*>()->isActive());

    WaitingSpinnerWidget keepsParent(&parent, false, false);
    keepsParent.start();
    EXPECT_TRUE(parent.isEnabled());
    EXPECT_EQ(keepsParent.pos(), QPoint(0, 0));
}

// Values that would divide by zero or overflow the corner radius are kept in range.
TEST(SpinnerTest, OutOfRangeSettings) {
    WaitingSpinnerWidget spinner;
    spinner.setNumberOfLines(0);
    EXPECT_EQ(spinner.numberOfLines(), 1);
    spinner.setRevolutionsPerSecond(0.0);
    EXPECT_GT(spinner.revolutionsPerSecond(), 0.0);
    EXPECT_GT(spinner.findChild<QTimer*>()->interval(), 0);
    spinner.setRoundness(150.0);
    EXPECT_EQ(spinner.roundness(), 100.0);
    spinner.setRoundness(-1.0);
    EXPECT_EQ(spinner.roundness(), 0.0);
}

TEST(SpinnerTest, WaitingDialog) {
    WaitingDialog dialog("Reading Device");
    EXPECT_EQ(dialog.findChild<QLabel*>("labelTitle")->text(), "Reading Device");

    QLabel* message = dialog.getLabelMsg();
    ASSERT_EQ(message, dialog.findChild<QLabel*>("labelMsg"));
    EXPECT_FALSE(message->isVisibleTo(&dialog));
    dialog.setLabelMsgVisible(true);
    EXPECT_TRUE(message->isVisibleTo(&dialog));

    auto* spinner = dialog.findChild<WaitingSpinnerWidget*>();
    ASSERT_NE(spinner, nullptr);
    EXPECT_TRUE(spinner->isSpinning());
    // Laid out only when shown, the frame grows after the spinner started: it must still be centred.
    dialog.show();
    const QSize frame = spinner->parentWidget()->size();
    EXPECT_EQ(spinner->pos(), QPoint(frame.width() / 2 - 60, frame.height() / 2 - 60));
    EXPECT_GT(frame.width(), 120);

    // The highlighted line (line 0, pointing right) is drawn in the full colour, the line two steps
    // ahead of it (distance 8) only at the minimum opacity.
    QImage image(spinner->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    spinner->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    QColor head = image.pixelColor(100, 60);
    EXPECT_EQ(head.rgb(), QColor("#1D70B7").rgb());
    EXPECT_EQ(head.alpha(), 255);
    QColor faint = image.pixelColor(60 + 30 * 0.309, 60 + 30 * 0.951);
    EXPECT_NEAR(faint.alphaF(), 0.15, 0.02);
}

} // namespace

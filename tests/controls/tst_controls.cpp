// The captioned progress bar and the icon button.
#include "controls/CaptionProgressBar.h"
#include "controls/CheckBoxGrid.h"
#include "controls/IconButton.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QtTest>

class ControlsTest : public QObject {
    Q_OBJECT
private slots:
    void EmptyCaptionShowsPercentage_data();
    void EmptyCaptionShowsPercentage();
    void CaptionDrawnInTheTwoColours();
    void GreyIconForDisabledState();
    void GridCheckBoxIgnoresClicks();
};

void ControlsTest::EmptyCaptionShowsPercentage_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty at 25") << QString() << 25 << "25%";
    QTest::newRow("empty at 0") << QString() << 0 << "0%";
    QTest::newRow("empty at 100") << QString() << 100 << "100%";
    QTest::newRow("caption wins") << "Page 1 of 4, 25%" << 25 << "Page 1 of 4, 25%";
}

void ControlsTest::EmptyCaptionShowsPercentage() {
    QFETCH(QString, caption);
    QFETCH(int, position);
    QFETCH(QString, shown);
    CaptionProgressBar bar;
    QCOMPARE(bar.minimum(), 0);
    QCOMPARE(bar.maximum(), 100);
    bar.SetCaption(caption);
    bar.setValue(position);
    QCOMPARE(bar.ShownText(), shown);
}

// The caption over the filled half is in the background colour and over
// the empty half in the fill colour.
void ControlsTest::CaptionDrawnInTheTwoColours() {
    CaptionProgressBar bar;
    bar.SetFillColour(QColor(0, 0, 255));
    bar.SetBackgroundColour(QColor(255, 255, 255));
    bar.resize(200, 24);
    bar.SetCaption(QStringLiteral("MMMMMMMMMMMMMMMMMMMM"));
    bar.setValue(50);
    const QImage image = bar.grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    bool whiteOnFill = false, blueOnEmpty = false, otherColour = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            const bool leftHalf = x / ratio < 98;
            const bool rightHalf = x / ratio > 102;
            if (leftHalf && colour.red() > 200 && colour.blue() > 200 && y > 2 * ratio &&
                y < image.height() - 2 * ratio)
                whiteOnFill = true;
            if (rightHalf && colour.red() < 60 && colour.blue() > 200)
                blueOnEmpty = true;
            if (colour.green() > 60 && colour.red() < 60)
                otherColour = true;
        }
    }
    QVERIFY(whiteOnFill);
    QVERIFY(blueOnEmpty);
    QVERIFY(!otherColour);
}

void ControlsTest::GreyIconForDisabledState() {
    QPixmap red(28, 28);
    red.fill(QColor(220, 20, 20));
    IconButton button(4242);
    QCOMPARE(button.size(), QSize(32, 32));
    button.SetIcon(QIcon(red));
    const QImage normal = button.icon().pixmap(QSize(28, 28), QIcon::Normal).toImage();
    const QImage disabled = button.icon().pixmap(QSize(28, 28), QIcon::Disabled).toImage();
    const QColor colour = normal.pixelColor(14, 14);
    const QColor grey = disabled.pixelColor(14, 14);
    QVERIFY(colour.red() > 200 && colour.green() < 40);
    QCOMPARE(grey.red(), grey.green());
    QCOMPARE(grey.green(), grey.blue());

    int pressed = 0;
    connect(&button, &IconButton::Pressed, this, [&](int id) { pressed = id; });
    button.click();
    QCOMPARE(pressed, 4242);
}

void ControlsTest::GridCheckBoxIgnoresClicks() {
    CheckBoxGrid grid;
    grid.setColumnCount(2);
    grid.setRowCount(1);
    grid.SetCheckBoxCell(1, 0, true);
    grid.resize(300, 200);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QRect cell = grid.visualItemRect(grid.item(0, 0));
    for (const QPoint at : {cell.center(), cell.topLeft() + QPoint(4, cell.height() / 2)}) {
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, at);
        QVERIFY(grid.IsChecked(1, 0));
    }
    QTest::keyClick(grid.viewport(), Qt::Key_Space);
    QVERIFY(grid.IsChecked(1, 0));
}

QTEST_MAIN(ControlsTest)
#include "tst_controls.moc"

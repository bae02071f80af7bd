// The options panel: its items, greying rules, spinner and list commits,
// the folder item and the description pane.
#include "app/CRightView.h"
#include "controls/OptionTree.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <climits>
#include <memory>

using talvore::ConversionSettings;

namespace {

// The panel in a window of its own, with a button to take the focus away.
struct Panel {
    explicit Panel(ConversionSettings& settings) {
        auto* layout = new QVBoxLayout(&window);
        view = new CRightView(settings, &window);
        elsewhere = new QPushButton(QStringLiteral("elsewhere"), &window);
        layout->addWidget(view);
        layout->addWidget(elsewhere);
        window.resize(400, 600);
        // The panel starts without the focus, as beside the main form.
        elsewhere->setFocus();
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    OptionTree* tree() const { return view->Tree(); }
    OptionListItem* list(int id) const {
        return static_cast<OptionListItem*>(tree()->FindItem(id));
    }
    OptionSpinnerItem* spinner(int id) const {
        return static_cast<OptionSpinnerItem*>(tree()->FindItem(id));
    }
    OptionFolderItem* folder() const {
        return static_cast<OptionFolderItem*>(tree()->FindItem(CRightView::ItemOutputDirectory));
    }
    void leave() const {
        elsewhere->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }
    // Puts the cursor in the spinner's field, as a click would.
    void typeInto(OptionSpinnerItem* item, const QString& text) const {
        item->Editor()->setFocus(Qt::MouseFocusReason);
        item->Editor()->selectAll();
        QTest::keyClicks(item->Editor(), text);
    }
    // Picks a list entry with the keyboard, as a user would.
    void pick(OptionListItem* item, int index) const {
        item->Editor()->setFocus(Qt::MouseFocusReason);
        while (item->SelectedIndex() < index)
            QTest::keyClick(item->Editor(), Qt::Key_Down);
        while (item->SelectedIndex() > index)
            QTest::keyClick(item->Editor(), Qt::Key_Up);
    }

    QWidget window;
    CRightView* view = nullptr;
    QPushButton* elsewhere = nullptr;
};

QStringList Choices(const OptionListItem* item) {
    QStringList choices;
    for (int i = 0; i < item->Editor()->count(); ++i)
        choices << item->Editor()->itemText(i);
    return choices;
}

} // namespace

class OptionsPanelTest : public QObject {
    Q_OBJECT
private slots:
    void itemsInOrderWithTheirTexts();
    void defaultPanel();
    void pageRangeGreysBeginAndEnd();
    void outputModeGreysJpegItems();
    void focusChangeAndEnterCommitLists();
    void typedSpinnerTextIsNotChecked();
    void spinnerStepsStopAtTheLimits();
    void spinnerReadsTheProfileInteger();
    void letterFirstStoresZero();
    void readAllOptionsReadsUncommittedText();
    void loadedValuesOutsideTheChoices();
    void folderChosenReachesRecordThroughReadAll();
    void cancelKeepsTheFolder();
    void rowActivationFocusesTheValue();
    void descriptionPaneFollowsTheFocus();
    void endPageTextFromOutside();
};

void OptionsPanelTest::itemsInOrderWithTheirTexts() {
    ConversionSettings settings;
    Panel panel(settings);
    OptionTree* tree = panel.tree();
    QVERIFY(tree);
    QCOMPARE(tree->ControlId(), 101);
    QCOMPARE(tree->ItemCount(), 12);
    QVERIFY(!tree->FindItem(13));

    using Kind = OptionItem::Kind;
    const struct {
        int Parent;
        Kind ItemKind;
        const char* Label;
        const char* Description;
    } expected[] = {
        {0, Kind::Category, "Output General Options", "General output options."},
        {1, Kind::List, "Page Range", "Output page range."},
        {2, Kind::Spinner, "Begin Page", "Begin page."},
        {2, Kind::Spinner, "End Page", "End page."},
        {1, Kind::List, "Open Results",
         "Open the result image files directory when finished converting."},
        {0, Kind::Category, "Output Options", "Output options."},
        {6, Kind::Folder, "Output Directory",
         "Output file directory. Save all the output files to this directory. Null for every pdf "
         "file directory."},
        {6, Kind::List, "Output Mode",
         "Output mode. Image format(.ppm/.pbm, .jpg, .bmp, .gif and so on)."},
        {8, Kind::Spinner, "Jpeg Quality (%)", "Jpeg quality in percent."},
        {8, Kind::List, "Jpeg Gray Scale", "Generate gray scale jpg images."},
        {6, Kind::List, "Keep Transparency",
         "Save masked images with their transparency: png, tif and tga get an alpha channel, the "
         "other formats the mask beside the image as <name>-alpha."},
        {6, Kind::List, "Keep Encoded Streams",
         "Copy grey and CMYK jpg, JPEG 2000 and fax images as they are stored in the pdf file, "
         "without decoding them."},
    };
    for (int id = 1; id <= 12; ++id) {
        const auto& e = expected[id - 1];
        const OptionItem* item = tree->FindItem(id);
        QVERIFY(item);
        QCOMPARE(item->Id(), id);
        QCOMPARE(item->ItemKind(), e.ItemKind);
        QCOMPARE(item->Label(), QString::fromLatin1(e.Label));
        QCOMPARE(item->Description(), QString::fromLatin1(e.Description));
        QCOMPARE(item->Parent() ? item->Parent()->Id() : 0, e.Parent);
        // Every row visible after the build.
        if (item->Row()->childCount() > 0)
            QVERIFY2(item->Row()->isExpanded(), e.Label);
        QVERIFY(!tree->View()->visualItemRect(item->Row()).isEmpty());
    }

    QCOMPARE(Choices(panel.list(2)), (QStringList{"All Pages", "Selected Pages"}));
    QCOMPARE(Choices(panel.list(5)), (QStringList{"Yes", "No"}));
    QCOMPARE(Choices(panel.list(8)),
             (QStringList{"ppm/pbm", "jpg", "bmp", "gif", "png", "tif", "tga", "pcx"}));
    QCOMPARE(Choices(panel.list(10)), (QStringList{"True", "False"}));
    QCOMPARE(panel.spinner(3)->Lower(), 1);
    QCOMPARE(panel.spinner(3)->Upper(), 1000);
    QCOMPARE(panel.spinner(4)->Upper(), 1000);
    QCOMPARE(panel.spinner(9)->Upper(), 100);
    QCOMPARE(
        panel.folder()->BrowserTitle(),
        QStringLiteral(
            "Please select a folder to save result files. All the output files will be saved to "
            "this folder."));
    QCOMPARE(panel.folder()->BrowserFlags(), 0x49u);

    for (int id : {1, 6}) {
        const auto* category = static_cast<const OptionCategoryItem*>(tree->FindItem(id));
        QCOMPARE(category->Background(), QColor(207, 234, 254));
        QCOMPARE(category->Row()->background(0).color(), QColor(207, 234, 254));
        QCOMPARE(category->Row()->foreground(0).color(), QColor(Qt::black));
    }
    QCOMPARE(tree->DescriptionPane()->height(), 50);
}

void OptionsPanelTest::defaultPanel() {
    ConversionSettings settings;
    Panel panel(settings);
    QCOMPARE(panel.list(2)->SelectedText(), QStringLiteral("All Pages"));
    QCOMPARE(panel.spinner(3)->Text(), QStringLiteral("1"));
    QCOMPARE(panel.spinner(4)->Text(), QStringLiteral("1000"));
    QVERIFY(panel.spinner(3)->IsReadOnly());
    QVERIFY(panel.spinner(4)->IsReadOnly());
    QVERIFY(!panel.spinner(3)->Editor()->isEnabled());
    QVERIFY(!panel.spinner(4)->UpButton()->isEnabled());
    QCOMPARE(panel.list(5)->SelectedText(), QStringLiteral("Yes"));
    QCOMPARE(panel.folder()->Folder(), QString());
    QCOMPARE(panel.list(8)->SelectedText(), QStringLiteral("jpg"));
    QCOMPARE(panel.spinner(9)->Text(), QStringLiteral("70"));
    QCOMPARE(panel.list(10)->SelectedText(), QStringLiteral("False"));
    QVERIFY(!panel.spinner(9)->IsReadOnly());
    QVERIFY(!panel.list(10)->IsReadOnly());
    QVERIFY(panel.spinner(9)->Editor()->isEnabled());
    QVERIFY(panel.list(10)->Editor()->isEnabled());
    QVERIFY(!panel.folder()->IsReadOnly());
    // The additions are off, so a default run writes what it always wrote.
    QCOMPARE(panel.list(11)->SelectedText(), QStringLiteral("No"));
    QCOMPARE(panel.list(12)->SelectedText(), QStringLiteral("No"));
}

void OptionsPanelTest::pageRangeGreysBeginAndEnd() {
    ConversionSettings settings;
    Panel panel(settings);
    panel.pick(panel.list(2), 1);
    QCOMPARE(settings.PageRange, 1);
    QVERIFY(!panel.spinner(3)->IsReadOnly());
    QVERIFY(!panel.spinner(4)->IsReadOnly());
    QVERIFY(panel.spinner(4)->Editor()->isEnabled());

    panel.pick(panel.list(2), 0);
    QCOMPARE(settings.PageRange, 0);
    QVERIFY(panel.spinner(3)->IsReadOnly());
    QVERIFY(!panel.spinner(4)->Editor()->isEnabled());
}

void OptionsPanelTest::outputModeGreysJpegItems() {
    ConversionSettings settings;
    Panel panel(settings);
    panel.pick(panel.list(8), 4);
    QCOMPARE(panel.list(8)->SelectedText(), QStringLiteral("png"));
    QCOMPARE(settings.ImagesFormat, int(talvore::OutputPng));
    QVERIFY(panel.spinner(9)->IsReadOnly());
    QVERIFY(panel.list(10)->IsReadOnly());
    QVERIFY(!panel.list(10)->Editor()->isEnabled());

    panel.pick(panel.list(8), 1);
    QCOMPARE(settings.ImagesFormat, int(talvore::OutputJpg));
    QVERIFY(!panel.spinner(9)->IsReadOnly());
    QVERIFY(panel.list(10)->Editor()->isEnabled());

    panel.pick(panel.list(8), 0);
    QCOMPARE(settings.ImagesFormat, int(talvore::OutputRaw));
    QVERIFY(panel.spinner(9)->IsReadOnly());
}

void OptionsPanelTest::focusChangeAndEnterCommitLists() {
    ConversionSettings settings;
    Panel panel(settings);
    // A selection made without a pick (as a drop-down left open would)
    // reaches the record when the focus leaves the list...
    OptionListItem* open = panel.list(5);
    open->Editor()->setFocus(Qt::MouseFocusReason);
    open->Editor()->setCurrentIndex(1);
    QCOMPARE(settings.OpenResult, 0);
    panel.leave();
    QCOMPARE(settings.OpenResult, 1);

    // ...or when Enter is pressed.
    OptionListItem* gray = panel.list(10);
    gray->Editor()->setFocus(Qt::MouseFocusReason);
    gray->Editor()->setCurrentIndex(0);
    QCOMPARE(settings.JpegGrayScale, 1);
    QTest::keyClick(gray->Editor(), Qt::Key_Return);
    QCOMPARE(settings.JpegGrayScale, 0);

    // The yes/no additions reach their flags, both ways.
    for (const int id : {11, 12}) {
        bool ConversionSettings::*flag =
            id == 11 ? &ConversionSettings::KeepAlpha : &ConversionSettings::KeepEncoded;
        panel.pick(panel.list(id), 0);
        panel.leave();
        QVERIFY(settings.*flag);
        panel.pick(panel.list(id), 1);
        panel.leave();
        QVERIFY(!(settings.*flag));
    }
}

void OptionsPanelTest::typedSpinnerTextIsNotChecked() {
    ConversionSettings settings;
    settings.PageRange = 1;
    Panel panel(settings);
    OptionSpinnerItem* end = panel.spinner(4);
    panel.typeInto(end, QStringLiteral("5000"));
    QCOMPARE(settings.EndPage, 1000); // not committed yet
    panel.leave();
    QCOMPARE(end->Text(), QStringLiteral("5000"));
    QCOMPARE(settings.EndPage, 5000);

    // Enter commits as well.
    panel.typeInto(panel.spinner(3), QStringLiteral("7"));
    QTest::keyClick(panel.spinner(3)->Editor(), Qt::Key_Enter);
    QCOMPARE(settings.StartPage, 7);
}

void OptionsPanelTest::spinnerStepsStopAtTheLimits() {
    ConversionSettings settings;
    settings.PageRange = 1;
    settings.EndPage = 999;
    settings.StartPage = 2;
    Panel panel(settings);

    OptionSpinnerItem* end = panel.spinner(4);
    QTest::mouseClick(end->UpButton(), Qt::LeftButton);
    QCOMPARE(end->Text(), QStringLiteral("1000"));
    QTest::mouseClick(end->UpButton(), Qt::LeftButton);
    QCOMPARE(end->Text(), QStringLiteral("1000"));
    QTest::keyClick(end->Editor(), Qt::Key_Up);
    QCOMPARE(end->Text(), QStringLiteral("1000"));
    QTest::keyClick(end->Editor(), Qt::Key_Down);
    QCOMPARE(end->Text(), QStringLiteral("999"));
    // The button moved the focus into the field, so leaving it commits.
    panel.leave();
    QCOMPARE(settings.EndPage, 999);

    OptionSpinnerItem* begin = panel.spinner(3);
    QTest::mouseClick(begin->DownButton(), Qt::LeftButton);
    QCOMPARE(begin->Text(), QStringLiteral("1"));
    QTest::mouseClick(begin->DownButton(), Qt::LeftButton);
    QCOMPARE(begin->Text(), QStringLiteral("1"));

    // Typed text beyond the limit steps back inside it.
    panel.typeInto(end, QStringLiteral("5000"));
    QTest::keyClick(end->Editor(), Qt::Key_Up);
    QCOMPARE(end->Text(), QStringLiteral("1000"));

    // A read-only spinner does not step.
    OptionSpinnerItem* quality = panel.spinner(9);
    quality->SetReadOnly(true);
    quality->Step(1);
    QCOMPARE(quality->Text(), QStringLiteral("70"));
}

void OptionsPanelTest::spinnerReadsTheProfileInteger() {
    // The rule itself is the settings reader's; here only that the spinner
    // uses it on its text.
    ConversionSettings settings;
    Panel panel(settings);
    OptionSpinnerItem* quality = panel.spinner(9);
    const struct {
        const char* Text;
        int Value;
    } cases[] = {{"  42abc", 42}, {"x12", 0}, {"-99999999999", INT_MIN}};
    for (const auto& c : cases) {
        quality->SetText(QString::fromLatin1(c.Text));
        QCOMPARE(quality->Number(), c.Value);
    }
}

void OptionsPanelTest::letterFirstStoresZero() {
    ConversionSettings settings;
    Panel panel(settings);
    panel.typeInto(panel.spinner(9), QStringLiteral("q85"));
    panel.leave();
    QCOMPARE(settings.JpegQuality, 0);
    QCOMPARE(panel.spinner(9)->Text(), QStringLiteral("q85"));
}

void OptionsPanelTest::readAllOptionsReadsUncommittedText() {
    ConversionSettings settings;
    settings.PageRange = 1;
    Panel panel(settings);
    panel.typeInto(panel.spinner(3), QStringLiteral("12"));
    // The field still has the focus: nothing committed.
    QVERIFY(panel.spinner(3)->Editor()->hasFocus());
    QCOMPARE(settings.StartPage, 1);

    // Values changed behind the panel's back are put back as well.
    settings.ImagesFormat = 5;
    settings.JpegQuality = 3;
    settings.OutputDirectory = "/somewhere";
    panel.view->ReadAllOptions();
    QCOMPARE(settings.StartPage, 12);
    QCOMPARE(settings.ImagesFormat, 1);
    QCOMPARE(settings.JpegQuality, 70);
    QCOMPARE(settings.OutputDirectory, std::string());
    // Read-only states are left alone.
    QVERIFY(!panel.spinner(3)->IsReadOnly());
}

void OptionsPanelTest::loadedValuesOutsideTheChoices() {
    ConversionSettings settings;
    settings.ImagesFormat = 9;
    settings.OpenResult = -2;
    settings.JpegQuality = 250;
    settings.StartPage = 0;
    Panel panel(settings);
    QCOMPARE(panel.list(8)->SelectedIndex(), -1);
    QCOMPARE(panel.list(8)->SelectedText(), QString());
    QCOMPARE(panel.list(5)->SelectedIndex(), -1);
    // Outside the limits is shown as it is.
    QCOMPARE(panel.spinner(9)->Text(), QStringLiteral("250"));
    QCOMPARE(panel.spinner(3)->Text(), QStringLiteral("0"));
    // Not "jpg": the JPEG items are greyed.
    QVERIFY(panel.spinner(9)->IsReadOnly());

    settings.ImagesFormat = 1;
    settings.OpenResult = 0;
    panel.view->ReadAllOptions();
    QCOMPARE(settings.ImagesFormat, -1);
    QCOMPARE(settings.OpenResult, -1);
    QCOMPARE(settings.JpegQuality, 250);
}

void OptionsPanelTest::folderChosenReachesRecordThroughReadAll() {
    ConversionSettings settings;
    Panel panel(settings);
    QString askedTitle, askedCurrent;
    int asked = 0;
    panel.tree()->SetFolderBrowser([&](QWidget*, const QString& title, const QString& current) {
        ++asked;
        askedTitle = title;
        askedCurrent = current;
        return QStringLiteral("/data/out");
    });
    QSignalSpy commits(panel.tree(), &OptionTree::ItemCommitted);
    QTest::mouseClick(panel.folder()->Field(), Qt::LeftButton);
    QCOMPARE(asked, 1);
    QCOMPARE(askedTitle, panel.folder()->BrowserTitle());
    QCOMPARE(askedCurrent, QString());
    QCOMPARE(panel.folder()->Folder(), QStringLiteral("/data/out"));
    // No notification from the folder item: the record learns it at the run.
    QCOMPARE(commits.count(), 0);
    QCOMPARE(settings.OutputDirectory, std::string());
    panel.view->ReadAllOptions();
    QCOMPARE(settings.OutputDirectory, std::string("/data/out"));

    // Enter on the row opens it too, on the current folder.
    QTreeWidget* view = panel.tree()->View();
    view->setFocus(Qt::TabFocusReason);
    view->setCurrentItem(panel.folder()->Row());
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(asked, 2);
    QCOMPARE(askedCurrent, QStringLiteral("/data/out"));
    // And Space in its field.
    panel.folder()->Field()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(panel.folder()->Field(), Qt::Key_Space);
    QCOMPARE(asked, 3);
}

void OptionsPanelTest::rowActivationFocusesTheValue() {
    ConversionSettings settings;
    Panel panel(settings);
    QTreeWidget* view = panel.tree()->View();
    view->setFocus(Qt::TabFocusReason);
    view->setCurrentItem(panel.spinner(9)->Row());
    QTest::keyClick(view, Qt::Key_Return);
    QVERIFY(panel.spinner(9)->Editor()->hasFocus());
    // A greyed row cannot be activated.
    view->setFocus(Qt::TabFocusReason);
    view->setCurrentItem(panel.spinner(3)->Row());
    QTest::keyClick(view, Qt::Key_Return);
    QVERIFY(view->hasFocus());
}

void OptionsPanelTest::cancelKeepsTheFolder() {
    ConversionSettings settings;
    Panel panel(settings);
    QString answer = QStringLiteral("/first");
    panel.tree()->SetFolderBrowser(
        [&](QWidget*, const QString&, const QString&) { return answer; });
    QVERIFY(panel.folder()->Browse());
    answer.clear(); // cancelled
    QVERIFY(!panel.folder()->Browse());
    QCOMPARE(panel.folder()->Folder(), QStringLiteral("/first"));
    QCOMPARE(panel.folder()->Field()->text(), QStringLiteral("/first"));
    panel.view->ReadAllOptions();
    QCOMPARE(settings.OutputDirectory, std::string("/first"));
}

void OptionsPanelTest::descriptionPaneFollowsTheFocus() {
    ConversionSettings settings;
    Panel panel(settings);
    OptionTree* tree = panel.tree();
    QCOMPARE(tree->DescriptionTitle(), QString());
    QCOMPARE(tree->DescriptionText(), QString());

    panel.list(5)->Editor()->setFocus(Qt::MouseFocusReason);
    QCOMPARE(tree->FocusedItem(), panel.list(5));
    QCOMPARE(tree->DescriptionTitle(), QStringLiteral("Open Results"));
    QCOMPARE(tree->DescriptionText(),
             QStringLiteral("Open the result image files directory when finished converting."));
    auto* pane = qobject_cast<QLabel*>(tree->DescriptionPane());
    QVERIFY(pane && pane->text().contains(QStringLiteral("Open Results")));

    // A click on the label column focuses the row.
    QTreeWidget* view = tree->View();
    const QRect modeRow = view->visualItemRect(panel.list(8)->Row());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(10, modeRow.center().y()));
    QCOMPARE(tree->DescriptionTitle(), QStringLiteral("Output Mode"));

    // A click below the last row leaves no item focused.
    const QRect lastRow = view->visualItemRect(panel.list(12)->Row());
    QVERIFY(lastRow.bottom() + 10 < view->viewport()->height());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(10, lastRow.bottom() + 10));
    QCOMPARE(tree->FocusedItem(), nullptr);
    QCOMPARE(tree->DescriptionTitle(), QString());
    QCOMPARE(tree->DescriptionText(), QString());
    QVERIFY(pane->text().isEmpty());
}

void OptionsPanelTest::endPageTextFromOutside() {
    ConversionSettings settings;
    Panel panel(settings);
    QCOMPARE(panel.view->PageRangeIndex(), 0);
    panel.view->SetEndPageText(QStringLiteral("12"));
    QCOMPARE(panel.spinner(4)->Text(), QStringLiteral("12"));
    QCOMPARE(settings.EndPage, 1000);
    panel.view->ReadAllOptions();
    QCOMPARE(settings.EndPage, 12);
}

QTEST_MAIN(OptionsPanelTest)
#include "tst_options.moc"

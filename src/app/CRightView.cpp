#include "app/CRightView.h"

#include "controls/OptionTree.h"
#include "controls/ThemeColours.h"
#include "convert/OutputFormats.h"

#include <QColor>
#include <QFile>
#include <QVBoxLayout>

namespace {

// Browse flags of the folder item: file-system directories and ancestors
// only, resizable dialog.
constexpr unsigned FolderBrowseFlags = 0x49;

} // namespace

CRightView::CRightView(talvore::ConversionSettings& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildOptionTree();
}

CRightView::~CRightView() {
    // The tree goes first, while this view can still take its notifications.
    delete m_tree;
    m_tree = nullptr;
}

bool CRightView::BuildOptionTree() {
    if (m_tree)
        return true;
    m_tree = new OptionTree(OptionTreeId, this);
    layout()->addWidget(m_tree);
    connect(m_tree, &OptionTree::ItemCommitted, this, &CRightView::OnOptionChanged);

    const talvore::ConversionSettings& s = m_settings;

    auto* general = m_tree->InsertCategory(nullptr, tr("Output General Options"),
                                           tr("General output options."));
    general->SetColours(talvore::CategoryBackground(palette()), talvore::CategoryText(palette()));

    auto* pageRange = m_tree->InsertList(general, tr("Page Range"), tr("Output page range."));
    pageRange->AddChoice(tr("All Pages"));
    pageRange->AddChoice(tr("Selected Pages"));
    pageRange->SelectIndex(s.PageRange);

    auto* beginPage = m_tree->InsertSpinner(pageRange, tr("Begin Page"), tr("Begin page."));
    beginPage->SetValue(s.StartPage);
    beginPage->SetLimits(1, 1000);
    beginPage->SetReadOnly(s.PageRange == 0);

    auto* endPage = m_tree->InsertSpinner(pageRange, tr("End Page"), tr("End page."));
    endPage->SetValue(s.EndPage);
    endPage->SetLimits(1, 1000);
    endPage->SetReadOnly(s.PageRange == 0);

    auto* openResults =
        m_tree->InsertList(general, tr("Open Results"),
                           tr("Open the result image files directory when finished converting."));
    openResults->AddChoice(tr("Yes"));
    openResults->AddChoice(tr("No"));
    openResults->SelectIndex(s.OpenResult);

    auto* output = m_tree->InsertCategory(nullptr, tr("Output Options"), tr("Output options."));
    output->SetColours(talvore::CategoryBackground(palette()), talvore::CategoryText(palette()));

    auto* folder = m_tree->InsertFolder(
        output, tr("Output Directory"),
        tr("Output file directory. Save all the output files to this directory. "
           "Null for every pdf file directory."));
    folder->SetFolder(QFile::decodeName(QByteArray::fromStdString(s.OutputDirectory)));
    folder->SetBrowserTitle(tr("Please select a folder to save result files. "
                               "All the output files will be saved to this folder."));
    folder->SetBrowserFlags(FolderBrowseFlags);

    auto* mode =
        m_tree->InsertList(output, tr("Output Mode"),
                           tr("Output mode. Image format(.ppm/.pbm, .jpg, .bmp, .gif and so on)."));
    // The list index is the mode number: the rows come in mode order.
    for (const talvore::OutputFormat& format : talvore::OutputFormats())
        mode->AddChoice(QString::fromLatin1(format.GuiName));
    mode->SelectIndex(s.ImagesFormat);

    auto* quality =
        m_tree->InsertSpinner(mode, tr("Jpeg Quality (%)"), tr("Jpeg quality in percent."));
    quality->SetValue(s.JpegQuality);
    quality->SetLimits(1, 100);
    quality->SetReadOnly(s.ImagesFormat != talvore::OutputJpg);

    auto* gray =
        m_tree->InsertList(mode, tr("Jpeg Gray Scale"), tr("Generate gray scale jpg images."));
    gray->AddChoice(tr("True"));
    gray->AddChoice(tr("False"));
    gray->SelectIndex(s.JpegGrayScale);
    gray->SetReadOnly(s.ImagesFormat != talvore::OutputJpg);

    // "Yes" first, as with "Open Results".
    const auto insertYesNo = [&](const QString& label, const QString& description, bool value) {
        auto* list = m_tree->InsertList(output, label, description);
        list->AddChoice(tr("Yes"));
        list->AddChoice(tr("No"));
        list->SelectIndex(value ? 0 : 1);
    };
    insertYesNo(
        tr("Keep Transparency"),
        tr("Save masked images with their transparency: png, tif and tga get an alpha channel, "
           "the other formats the mask beside the image as <name>-alpha."),
        s.KeepAlpha);
    insertYesNo(tr("Keep Encoded Streams"),
                tr("Copy grey and CMYK jpg, JPEG 2000 and fax images as they are stored in the pdf "
                   "file, without decoding them."),
                s.KeepEncoded);

    m_tree->UpdateAllItems();
    m_tree->ExpandAllItems();
    return true;
}

void CRightView::StoreItem(const OptionItem* item) {
    auto listIndex = [item] { return static_cast<const OptionListItem*>(item)->SelectedIndex(); };
    auto number = [item] { return static_cast<const OptionSpinnerItem*>(item)->Number(); };
    switch (item->Id()) {
    case ItemPageRange:
        m_settings.PageRange = listIndex();
        break;
    case ItemBeginPage:
        m_settings.StartPage = number();
        break;
    case ItemEndPage:
        m_settings.EndPage = number();
        break;
    case ItemOpenResults:
        m_settings.OpenResult = listIndex();
        break;
    case ItemOutputDirectory:
        m_settings.OutputDirectory =
            QFile::encodeName(static_cast<const OptionFolderItem*>(item)->Folder()).toStdString();
        break;
    case ItemOutputMode:
        m_settings.ImagesFormat = listIndex();
        break;
    case ItemJpegQuality:
        m_settings.JpegQuality = number();
        break;
    case ItemJpegGrayScale:
        m_settings.JpegGrayScale = listIndex();
        break;
    case ItemKeepTransparency:
        m_settings.KeepAlpha = listIndex() == 0;
        break;
    case ItemKeepEncoded:
        m_settings.KeepEncoded = listIndex() == 0;
        break;
    default:
        break;
    }
}

void CRightView::SetReadOnly(int id, bool readOnly) {
    if (OptionItem* item = m_tree->FindItem(id))
        item->SetReadOnly(readOnly);
}

void CRightView::OnOptionChanged(OptionItem* item) {
    if (!item || !m_tree)
        return;
    StoreItem(item);
    if (item->Id() == ItemPageRange) {
        SetReadOnly(ItemBeginPage, m_settings.PageRange == 0);
        SetReadOnly(ItemEndPage, m_settings.PageRange == 0);
    } else if (item->Id() == ItemOutputMode) {
        SetReadOnly(ItemJpegQuality, m_settings.ImagesFormat != talvore::OutputJpg);
        SetReadOnly(ItemJpegGrayScale, m_settings.ImagesFormat != talvore::OutputJpg);
    }
    m_tree->UpdateAllItems();
}

void CRightView::ReadAllOptions() {
    if (!m_tree)
        return;
    for (int id = 1; id <= 16; ++id) {
        const OptionItem* item = m_tree->FindItem(id);
        if (!item)
            break;
        StoreItem(item);
    }
}

int CRightView::PageRangeIndex() const {
    if (!m_tree)
        return m_settings.PageRange;
    const auto* list = static_cast<const OptionListItem*>(m_tree->FindItem(ItemPageRange));
    return list ? list->SelectedIndex() : m_settings.PageRange;
}

void CRightView::SetEndPageText(const QString& text) {
    if (!m_tree)
        return;
    if (auto* spinner = static_cast<OptionSpinnerItem*>(m_tree->FindItem(ItemEndPage)))
        spinner->SetText(text);
    m_tree->UpdateAllItems();
}

// The options panel: the right-hand pane of the main window. It shows the
// conversion settings as an option tree (control 101), writes every
// committed change into the settings record at once, greys the options that
// do not apply, and copies every item's value (uncommitted edits included)
// into the record when ReadAllOptions is called at the start of a run.
// GUI thread only.
#pragma once

#include "settings/ConversionSettings.h"

#include <QWidget>

class OptionTree;
class OptionItem;

class CRightView : public QWidget {
    Q_OBJECT
public:
    // Identifiers of the option items, in insertion order.
    enum OptionItemId {
        ItemGeneralCategory = 1,
        ItemPageRange = 2,
        ItemBeginPage = 3,
        ItemEndPage = 4,
        ItemOpenResults = 5,
        ItemOutputCategory = 6,
        ItemOutputDirectory = 7,
        ItemOutputMode = 8,
        ItemJpegQuality = 9,
        ItemJpegGrayScale = 10,
        ItemKeepTransparency = 11,
        ItemKeepEncoded = 12,
    };
    static constexpr int OptionTreeId = 101;

    // Builds the tree from settings; the panel keeps a reference to the
    // record, which must outlive it.
    explicit CRightView(talvore::ConversionSettings& settings, QWidget* parent = nullptr);
    ~CRightView() override;

    // Copies every option item's value into the settings record, exactly as
    // a commit of each item would. Read-only states are left alone.
    void ReadAllOptions();

    // The selected index of the "Page Range" list (-1 without a selection).
    int PageRangeIndex() const;
    // Replaces the text of the "End Page" item and redraws the panel; the
    // record follows when the item commits or ReadAllOptions runs.
    void SetEndPageText(const QString& text);

    // Null when the tree could not be built.
    OptionTree* Tree() const { return m_tree; }

    // Builds the tree from the settings record; false when the control
    // could not be created (the pane stays empty).
    bool BuildOptionTree();

public slots:
    // Handler of the tree's item-committed notification.
    void OnOptionChanged(OptionItem* item);

private:
    void StoreItem(const OptionItem* item);
    void SetReadOnly(int id, bool readOnly);

    talvore::ConversionSettings& m_settings;
    OptionTree* m_tree = nullptr;
};

// The option tree: a two-column tree of option items (label, value) with a
// description pane under it. Items are numbered from 1 in insertion order.
// Kinds: category (a shaded heading row), list (fixed choices, value = index
// of the chosen entry, -1 without one), spinner (free text with up/down
// steps inside limits, read as the integer its text begins with) and folder
// (a path chosen in the folder browser).
//
// An item "commits" its value and the tree emits ItemCommitted: a list when
// an entry is picked, when Enter is pressed or when the focus leaves it; a
// spinner when Enter is pressed or its text field loses the focus. A folder
// item never emits; its owner reads it. Read-only items show their value
// greyed and cannot be activated or edited.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class OptionTree;

class OptionItem {
public:
    enum class Kind { Category, List, Spinner, Folder };

    virtual ~OptionItem();
    OptionItem(const OptionItem&) = delete;
    OptionItem& operator=(const OptionItem&) = delete;

    int Id() const { return m_id; }
    Kind ItemKind() const { return m_kind; }
    OptionItem* Parent() const { return m_parent; }
    QTreeWidgetItem* Row() const { return m_row; }

    QString Label() const { return m_label; }
    QString Description() const { return m_description; }
    void SetLabel(const QString& label);
    void SetDescription(const QString& description);

    bool IsReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly);

protected:
    OptionItem(OptionTree& tree, Kind kind, int id, OptionItem* parent, QTreeWidgetItem* row);
    virtual void ApplyReadOnly() {}

    OptionTree& m_tree;

private:
    Kind m_kind;
    int m_id;
    OptionItem* m_parent;
    QTreeWidgetItem* m_row;
    QString m_label;
    QString m_description;
    bool m_readOnly = false;
};

class OptionCategoryItem : public OptionItem {
public:
    OptionCategoryItem(OptionTree& tree, int id, OptionItem* parent, QTreeWidgetItem* row);
    void SetColours(const QColor& background, const QColor& text);
    QColor Background() const { return m_background; }

private:
    QColor m_background;
};

class OptionListItem : public OptionItem {
public:
    OptionListItem(OptionTree& tree, int id, OptionItem* parent, QTreeWidgetItem* row);
    void AddChoice(const QString& choice);
    // An index outside the choices leaves the list without a selection.
    void SelectIndex(int index);
    int SelectedIndex() const; // -1 without a selection
    QString SelectedText() const;
    QComboBox* Editor() const { return m_editor; }

private:
    void ApplyReadOnly() override;
    QComboBox* m_editor;
};

class OptionSpinnerItem : public OptionItem {
public:
    OptionSpinnerItem(OptionTree& tree, int id, OptionItem* parent, QTreeWidgetItem* row);
    void SetValue(int value); // shown as it is, even outside the limits
    void SetLimits(int lower, int upper);
    int Lower() const { return m_lower; }
    int Upper() const { return m_upper; }
    void SetText(const QString& text);
    QString Text() const;
    // The integer the text begins with (also uncommitted text), read as
    // the settings file's integers are: leading blanks, an optional sign,
    // decimal digits; no number reads 0, values beyond 32 bits saturate.
    int Number() const;
    // Steps the number by delta and keeps it within the limits.
    void Step(int delta);
    QLineEdit* Editor() const { return m_editor; }
    QToolButton* UpButton() const { return m_up; }
    QToolButton* DownButton() const { return m_down; }

private:
    void ApplyReadOnly() override;
    QLineEdit* m_editor;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_lower = 0;
    int m_upper = 100;
};

class OptionFolderItem : public OptionItem {
public:
    OptionFolderItem(OptionTree& tree, int id, OptionItem* parent, QTreeWidgetItem* row);
    void SetFolder(const QString& path);
    QString Folder() const { return m_folder; }
    void SetBrowserTitle(const QString& title) { m_title = title; }
    QString BrowserTitle() const { return m_title; }
    // Kept for the record; the browser here always offers folders only.
    void SetBrowserFlags(unsigned flags) { m_flags = flags; }
    unsigned BrowserFlags() const { return m_flags; }
    // Opens the folder browser on the current folder; a chosen folder
    // replaces the value, cancelling keeps it. Answers whether it changed.
    bool Browse();
    QLineEdit* Field() const { return m_field; }

private:
    void ApplyReadOnly() override;
    QLineEdit* m_field;
    QString m_folder;
    QString m_title;
    unsigned m_flags = 0;
};

class OptionTree : public QWidget {
    Q_OBJECT
public:
    static constexpr int DescriptionPaneHeight = 50;
    // The value column's least width, widened to what its lists and
    // spinners need, and the label column's, when the pane is narrow.
    static constexpr int MinValueWidth = 80;
    static constexpr int MinLabelWidth = 60;

    // Answers the chosen folder, or an empty string when cancelled.
    using FolderBrowser =
        std::function<QString(QWidget* parent, const QString& title, const QString& current)>;

    explicit OptionTree(int controlId, QWidget* parent = nullptr);
    ~OptionTree() override;

    int ControlId() const { return m_controlId; }

    // parent null inserts at top level.
    OptionCategoryItem* InsertCategory(OptionItem* parent, const QString& label,
                                       const QString& description);
    OptionListItem* InsertList(OptionItem* parent, const QString& label,
                               const QString& description);
    OptionSpinnerItem* InsertSpinner(OptionItem* parent, const QString& label,
                                     const QString& description);
    OptionFolderItem* InsertFolder(OptionItem* parent, const QString& label,
                                   const QString& description);

    OptionItem* FindItem(int id) const;
    int ItemCount() const { return static_cast<int>(m_items.size()); }
    void ExpandAllItems();
    void UpdateAllItems();

    // The item with the focus (the tree's current row), or null.
    OptionItem* FocusedItem() const;
    // What the description pane shows: the focused item's label and its
    // description, both empty without a focused item.
    QString DescriptionTitle() const;
    QString DescriptionText() const;
    QWidget* DescriptionPane() const;

    // The folder browser behind folder items; tests answer it themselves.
    void SetFolderBrowser(FolderBrowser browser);

    QTreeWidget* View() const { return m_view; }

signals:
    void ItemCommitted(OptionItem* item);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class OptionItem;
    friend class OptionListItem;
    friend class OptionSpinnerItem;
    friend class OptionFolderItem;

    template <class Item>
    Item* Insert(OptionItem* parent, const QString& label, const QString& description);
    void Commit(OptionItem* item);
    void ActivateRow(QTreeWidgetItem* row);
    void Watch(QWidget* editor, OptionItem* item);
    OptionItem* ItemOfRow(QTreeWidgetItem* row) const;
    void RefreshDescription();
    void FitLabelColumn();

    int m_controlId;
    QTreeWidget* m_view;
    QLabel* m_description;
    std::vector<std::unique_ptr<OptionItem>> m_items;
    FolderBrowser m_browser;
    bool m_destroying = false;
};

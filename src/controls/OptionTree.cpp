#include "controls/OptionTree.h"

#include "settings/IniFile.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cstdint>

namespace {

const char* const ItemIdProperty = "optionItemId";

QString DefaultBrowser(QWidget* parent, const QString& title, const QString& current) {
    return QFileDialog::getExistingDirectory(parent, title, current, QFileDialog::ShowDirsOnly);
}

// Shades a row whose item has a background across the whole width,
// the branch area included, as category rows want.
class OptionTreeView : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override {
        const QVariant background = index.data(Qt::BackgroundRole);
        if (background.canConvert<QBrush>()) {
            const QBrush brush = background.value<QBrush>();
            if (brush.style() != Qt::NoBrush)
                painter->fillRect(
                    QRect(0, option.rect.y(), viewport()->width(), option.rect.height()), brush);
        }
        QTreeWidget::drawRow(painter, option, index);
    }
};

bool IsEnterKey(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

} // namespace

OptionItem::OptionItem(OptionTree& tree, Kind kind, int id, OptionItem* parent,
                       QTreeWidgetItem* row)
    : m_tree(tree), m_kind(kind), m_id(id), m_parent(parent), m_row(row) {}

OptionItem::~OptionItem() = default;

void OptionItem::SetLabel(const QString& label) {
    m_label = label;
    m_row->setText(0, label);
    m_row->setToolTip(0, label); // the column may be too narrow for it
    // The value's widgets carry the label for assistive technology.
    const QString stepUp = OptionTree::tr("%1: step up");
    const QString stepDown = OptionTree::tr("%1: step down");
    switch (m_kind) {
    case Kind::List:
        static_cast<OptionListItem*>(this)->Editor()->setAccessibleName(label);
        break;
    case Kind::Spinner: {
        auto* spinner = static_cast<OptionSpinnerItem*>(this);
        spinner->Editor()->setAccessibleName(label);
        spinner->UpButton()->setAccessibleName(stepUp.arg(label));
        spinner->DownButton()->setAccessibleName(stepDown.arg(label));
        break;
    }
    case Kind::Folder:
        static_cast<OptionFolderItem*>(this)->Field()->setAccessibleName(label);
        break;
    case Kind::Category:
        break;
    }
    m_tree.FitLabelColumn();
    if (m_tree.FocusedItem() == this)
        m_tree.RefreshDescription();
}

void OptionItem::SetDescription(const QString& description) {
    m_description = description;
    if (m_tree.FocusedItem() == this)
        m_tree.RefreshDescription();
}

void OptionItem::SetReadOnly(bool readOnly) {
    m_readOnly = readOnly;
    ApplyReadOnly();
}

OptionCategoryItem::OptionCategoryItem(OptionTree& tree, int id, OptionItem* parent,
                                       QTreeWidgetItem* row)
    : OptionItem(tree, Kind::Category, id, parent, row) {
    row->setFirstColumnSpanned(true);
    QFont font = row->font(0);
    font.setBold(true);
    row->setFont(0, font);
}

void OptionCategoryItem::SetColours(const QColor& background, const QColor& text) {
    m_background = background;
    for (int column = 0; column < 2; ++column) {
        Row()->setBackground(column, background);
        Row()->setForeground(column, text);
    }
}

OptionListItem::OptionListItem(OptionTree& tree, int id, OptionItem* parent, QTreeWidgetItem* row)
    : OptionItem(tree, Kind::List, id, parent, row), m_editor(new QComboBox) {
    m_editor->setEditable(false);
    m_editor->setFocusPolicy(Qt::StrongFocus);
    // Sized for its longest choice, also for choices added later.
    m_editor->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    tree.m_view->setItemWidget(row, 1, m_editor);
    tree.Watch(m_editor, this);
    // Picking an entry is a commit of its own, so dependent items grey at once.
    QObject::connect(m_editor, &QComboBox::activated, &tree, [this] { m_tree.Commit(this); });
}

void OptionListItem::AddChoice(const QString& choice) {
    const int selected = m_editor->currentIndex();
    m_editor->addItem(choice);
    // QComboBox selects its first entry by itself; keep "no selection".
    m_editor->setCurrentIndex(selected);
}

void OptionListItem::SelectIndex(int index) {
    m_editor->setCurrentIndex(index >= 0 && index < m_editor->count() ? index : -1);
}

int OptionListItem::SelectedIndex() const {
    return m_editor->currentIndex();
}

QString OptionListItem::SelectedText() const {
    return m_editor->currentText();
}

void OptionListItem::ApplyReadOnly() {
    m_editor->setEnabled(!IsReadOnly());
}

OptionSpinnerItem::OptionSpinnerItem(OptionTree& tree, int id, OptionItem* parent,
                                     QTreeWidgetItem* row)
    : OptionItem(tree, Kind::Spinner, id, parent, row), m_editor(new QLineEdit),
      m_up(new QToolButton), m_down(new QToolButton) {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_editor, 1);
    auto* buttons = new QVBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(0);
    for (QToolButton* button : {m_up, m_down}) {
        button->setArrowType(button == m_up ? Qt::UpArrow : Qt::DownArrow);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedWidth(18);
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
        buttons->addWidget(button, 1);
        QObject::connect(button, &QToolButton::clicked, &tree, [this, button] {
            // The field takes the focus so that leaving it later commits.
            if (!m_editor->hasFocus())
                m_editor->setFocus(Qt::OtherFocusReason);
            Step(button == m_up ? 1 : -1);
        });
    }
    layout->addLayout(buttons);
    tree.m_view->setItemWidget(row, 1, box);
    tree.Watch(m_editor, this);
}

void OptionSpinnerItem::SetValue(int value) {
    SetText(QString::number(value));
}

void OptionSpinnerItem::SetLimits(int lower, int upper) {
    m_lower = std::min(lower, upper);
    m_upper = std::max(lower, upper);
}

void OptionSpinnerItem::SetText(const QString& text) {
    m_editor->setText(text);
}

QString OptionSpinnerItem::Text() const {
    return m_editor->text();
}

int OptionSpinnerItem::Number() const {
    return talvore::ParseProfileInt(m_editor->text().toStdString());
}

void OptionSpinnerItem::Step(int delta) {
    if (IsReadOnly())
        return;
    const int64_t stepped = std::clamp<int64_t>(int64_t{Number()} + delta, m_lower, m_upper);
    SetText(QString::number(stepped));
}

void OptionSpinnerItem::ApplyReadOnly() {
    const bool editable = !IsReadOnly();
    m_editor->setEnabled(editable);
    m_up->setEnabled(editable);
    m_down->setEnabled(editable);
}

OptionFolderItem::OptionFolderItem(OptionTree& tree, int id, OptionItem* parent,
                                   QTreeWidgetItem* row)
    : OptionItem(tree, Kind::Folder, id, parent, row), m_field(new QLineEdit) {
    m_field->setReadOnly(true);
    m_field->setPlaceholderText(OptionTree::tr("(each PDF's own folder)"));
    QAction* browse = m_field->addAction(tree.style()->standardIcon(QStyle::SP_DirOpenIcon),
                                         QLineEdit::TrailingPosition);
    browse->setText(OptionTree::tr("Choose a folder"));
    browse->setToolTip(browse->text());
    QObject::connect(browse, &QAction::triggered, &tree, [this] { Browse(); });
    tree.m_view->setItemWidget(row, 1, m_field);
    tree.Watch(m_field, this);
}

void OptionFolderItem::SetFolder(const QString& path) {
    m_folder = path;
    m_field->setText(path);
    m_field->setCursorPosition(0);
    m_field->setToolTip(path);
}

bool OptionFolderItem::Browse() {
    if (IsReadOnly() || !m_tree.m_browser)
        return false;
    const QString chosen = m_tree.m_browser(m_tree.window(), m_title, m_folder);
    if (chosen.isEmpty())
        return false;
    SetFolder(chosen);
    return true;
}

void OptionFolderItem::ApplyReadOnly() {
    m_field->setEnabled(!IsReadOnly());
}

OptionTree::OptionTree(int controlId, QWidget* parent)
    : QWidget(parent), m_controlId(controlId), m_view(new OptionTreeView(this)),
      m_description(new QLabel(this)), m_browser(DefaultBrowser) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_description);

    m_view->setColumnCount(2);
    m_view->setHeaderHidden(true);
    m_view->header()->setStretchLastSection(true);
    m_view->header()->setMinimumSectionSize(MinLabelWidth);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setTextElideMode(Qt::ElideRight);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setRootIsDecorated(true);
    m_view->viewport()->installEventFilter(this);
    connect(m_view, &QTreeWidget::currentItemChanged, this, [this] { RefreshDescription(); });
    // Enter or a double click on a row activates its value.
    connect(m_view, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* row) { ActivateRow(row); });

    m_description->setFixedHeight(DescriptionPaneHeight);
    m_description->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_description->setWordWrap(true);
    m_description->setTextFormat(Qt::RichText);
    m_description->setFrameShape(QFrame::StyledPanel);
    m_description->setContentsMargins(4, 2, 4, 2);
    m_description->setAutoFillBackground(true);
}

OptionTree::~OptionTree() {
    // Editors losing the focus while they are torn down must not commit.
    m_destroying = true;
}

template <class Item>
Item* OptionTree::Insert(OptionItem* parent, const QString& label, const QString& description) {
    auto* row = parent ? new QTreeWidgetItem(parent->Row()) : new QTreeWidgetItem(m_view);
    const int id = static_cast<int>(m_items.size()) + 1;
    auto item = std::make_unique<Item>(*this, id, parent, row);
    Item* raw = item.get();
    m_items.push_back(std::move(item));
    raw->SetLabel(label);
    raw->SetDescription(description);
    return raw;
}

OptionCategoryItem* OptionTree::InsertCategory(OptionItem* parent, const QString& label,
                                               const QString& description) {
    return Insert<OptionCategoryItem>(parent, label, description);
}

OptionListItem* OptionTree::InsertList(OptionItem* parent, const QString& label,
                                       const QString& description) {
    return Insert<OptionListItem>(parent, label, description);
}

OptionSpinnerItem* OptionTree::InsertSpinner(OptionItem* parent, const QString& label,
                                             const QString& description) {
    return Insert<OptionSpinnerItem>(parent, label, description);
}

OptionFolderItem* OptionTree::InsertFolder(OptionItem* parent, const QString& label,
                                           const QString& description) {
    return Insert<OptionFolderItem>(parent, label, description);
}

OptionItem* OptionTree::FindItem(int id) const {
    if (id < 1 || id > static_cast<int>(m_items.size()))
        return nullptr;
    return m_items[static_cast<size_t>(id - 1)].get();
}

void OptionTree::ExpandAllItems() {
    m_view->expandAll();
    FitLabelColumn();
}

void OptionTree::UpdateAllItems() {
    m_view->viewport()->update();
    RefreshDescription();
}

OptionItem* OptionTree::ItemOfRow(QTreeWidgetItem* row) const {
    if (!row)
        return nullptr;
    for (const auto& item : m_items) {
        if (item->Row() == row)
            return item.get();
    }
    return nullptr;
}

OptionItem* OptionTree::FocusedItem() const {
    return ItemOfRow(m_view->currentItem());
}

QString OptionTree::DescriptionTitle() const {
    const OptionItem* item = FocusedItem();
    return item ? item->Label() : QString();
}

QString OptionTree::DescriptionText() const {
    const OptionItem* item = FocusedItem();
    return item ? item->Description() : QString();
}

QWidget* OptionTree::DescriptionPane() const {
    return m_description;
}

void OptionTree::SetFolderBrowser(FolderBrowser browser) {
    m_browser = std::move(browser);
}

void OptionTree::RefreshDescription() {
    const OptionItem* item = FocusedItem();
    if (!item) {
        m_description->clear();
        return;
    }
    m_description->setText(
        QStringLiteral("<b>%1</b><br>%2")
            .arg(item->Label().toHtmlEscaped(), item->Description().toHtmlEscaped()));
}

void OptionTree::FitLabelColumn() {
    const QFontMetrics metrics(m_view->font());
    int widest = 0;
    for (const auto& item : m_items) {
        if (item->ItemKind() == OptionItem::Kind::Category)
            continue;
        int depth = 1;
        for (const OptionItem* up = item->Parent(); up; up = up->Parent())
            ++depth;
        widest = std::max(widest,
                          depth * m_view->indentation() + metrics.horizontalAdvance(item->Label()));
    }
    if (widest <= 0)
        return;
    // A narrow pane shortens the labels (their tool tips and the description
    // pane still tell them), never the values: each list shows its longest
    // choice and each spinner its field and buttons.
    int valueWidth = MinValueWidth;
    for (const auto& item : m_items) {
        if (item->ItemKind() == OptionItem::Kind::List) {
            valueWidth = std::max(
                valueWidth, static_cast<const OptionListItem&>(*item).Editor()->sizeHint().width());
        } else if (item->ItemKind() == OptionItem::Kind::Spinner) {
            const auto& spinner = static_cast<const OptionSpinnerItem&>(*item);
            valueWidth = std::max(valueWidth, spinner.Editor()->fontMetrics().horizontalAdvance(
                                                  QStringLiteral("00000")) +
                                                  2 * spinner.UpButton()->width() + 12);
        }
    }
    const int room = m_view->viewport()->width() - valueWidth;
    m_view->setColumnWidth(0, std::max(MinLabelWidth, std::min(widest + 12, room)));
}

void OptionTree::ActivateRow(QTreeWidgetItem* row) {
    OptionItem* item = ItemOfRow(row);
    if (!item || item->IsReadOnly())
        return;
    switch (item->ItemKind()) {
    case OptionItem::Kind::List:
        static_cast<OptionListItem*>(item)->Editor()->setFocus(Qt::OtherFocusReason);
        break;
    case OptionItem::Kind::Spinner:
        static_cast<OptionSpinnerItem*>(item)->Editor()->setFocus(Qt::OtherFocusReason);
        static_cast<OptionSpinnerItem*>(item)->Editor()->selectAll();
        break;
    case OptionItem::Kind::Folder:
        static_cast<OptionFolderItem*>(item)->Browse();
        break;
    case OptionItem::Kind::Category:
        break;
    }
}

void OptionTree::Commit(OptionItem* item) {
    if (!m_destroying)
        emit ItemCommitted(item);
}

void OptionTree::Watch(QWidget* editor, OptionItem* item) {
    editor->setProperty(ItemIdProperty, item->Id());
    editor->installEventFilter(this);
}

bool OptionTree::eventFilter(QObject* watched, QEvent* event) {
    if (m_destroying)
        return QWidget::eventFilter(watched, event);

    if (watched == m_view->viewport()) {
        if (event->type() == QEvent::Resize)
            FitLabelColumn();
        // A click on empty space leaves no item focused.
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (!m_view->itemAt(mouse->position().toPoint())) {
                m_view->setCurrentItem(nullptr);
                m_view->clearSelection();
                m_view->setFocus(Qt::MouseFocusReason);
                RefreshDescription();
                return true;
            }
        }
        return QWidget::eventFilter(watched, event);
    }

    const QVariant id = watched->property(ItemIdProperty);
    OptionItem* item = id.isValid() ? FindItem(id.toInt()) : nullptr;
    if (!item)
        return QWidget::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::FocusIn:
        if (m_view->currentItem() != item->Row())
            m_view->setCurrentItem(item->Row());
        break;
    case QEvent::FocusOut: {
        const auto* focus = static_cast<QFocusEvent*>(event);
        // A drop-down or context menu opening is not the focus leaving.
        if (focus->reason() != Qt::PopupFocusReason &&
            (item->ItemKind() == OptionItem::Kind::List ||
             item->ItemKind() == OptionItem::Kind::Spinner))
            Commit(item);
        break;
    }
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (item->ItemKind() == OptionItem::Kind::Spinner) {
            auto* spinner = static_cast<OptionSpinnerItem*>(item);
            if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
                spinner->Step(key->key() == Qt::Key_Up ? 1 : -1);
                return true;
            }
            if (IsEnterKey(key)) {
                Commit(item);
                return true;
            }
        } else if (item->ItemKind() == OptionItem::Kind::List && IsEnterKey(key)) {
            Commit(item);
            return true;
        } else if (item->ItemKind() == OptionItem::Kind::Folder &&
                   (IsEnterKey(key) || key->key() == Qt::Key_Space || key->key() == Qt::Key_F4)) {
            static_cast<OptionFolderItem*>(item)->Browse();
            return true;
        }
        break;
    }
    case QEvent::MouseButtonPress:
        if (item->ItemKind() == OptionItem::Kind::Folder &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            static_cast<OptionFolderItem*>(item)->Browse();
            return true;
        }
        break;
    case QEvent::Wheel:
        // The wheel scrolls the tree unless the list has been focused on purpose.
        if (item->ItemKind() == OptionItem::Kind::List &&
            !static_cast<QWidget*>(watched)->hasFocus()) {
            QCoreApplication::sendEvent(m_view->viewport(), event);
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

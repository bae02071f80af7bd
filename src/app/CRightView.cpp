#include "app/CRightView.h"

CRightView::CRightView(talvore::ConversionSettings& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings)
{
    BuildOptionTree();
}

CRightView::~CRightView() = default;

bool CRightView::BuildOptionTree()
{
    return false;
}

void CRightView::ReadAllOptions() {}

int CRightView::PageRangeIndex() const
{
    return m_settings.PageRange;
}

void CRightView::SetEndPageText(const QString&) {}

void CRightView::OnOptionChanged(OptionItem*) {}

void CRightView::StoreItem(OptionItem*) {}

void CRightView::UpdateReadOnly() {}

#include "app/CLeftView.h"

#include "app/MainForm.h"

#include <QResizeEvent>

CLeftView::CLeftView(talvore::ConversionSettings& settings, QWidget* parent)
    : QWidget(parent), m_form(new MainForm(settings, this)) {
    m_form->setGeometry(rect());
}

void CLeftView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_form->setGeometry(rect());
}

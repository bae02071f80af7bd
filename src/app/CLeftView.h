// The left pane of the main window: a view whose only child is the main
// form, kept at the view's whole size.
#pragma once

#include "settings/ConversionSettings.h"

#include <QWidget>

class MainForm;

class CLeftView : public QWidget {
    Q_OBJECT
public:
    CLeftView(talvore::ConversionSettings& settings, QWidget* parent = nullptr);

    MainForm* Form() const { return m_form; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    MainForm* m_form;
};

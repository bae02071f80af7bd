#include "app/CTipDialog.h"

CTipDialog::CTipDialog(const QString& settingsPath, const QString&, QWidget* parent)
    : QDialog(parent), m_settingsPath(settingsPath)
{
    setWindowTitle(QStringLiteral("Tip of the Day"));
}

CTipDialog::~CTipDialog()
{
    if (m_tips)
        std::fclose(m_tips);
}

bool CTipDialog::ShowAtStartup(const QString&)
{
    return true;
}

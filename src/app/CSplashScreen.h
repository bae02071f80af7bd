// The splash screen: the splash picture at its own size, centred over the
// main window, for 750 ms. Until then any key or mouse button pressed in any
// window of the application closes it at once and is used up.
#pragma once

#include <QSplashScreen>

class CSplashScreen : public QSplashScreen {
    Q_OBJECT
public:
    // Shows a splash over owner; does nothing when the picture is missing or
    // a splash is already up. Returns the splash (it deletes itself).
    static CSplashScreen* ShowOver(QWidget* owner);
    static CSplashScreen* Current();

    static constexpr int DisplayMs = 750;

    ~CSplashScreen() override;
    void Dismiss();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CSplashScreen(const QPixmap& picture, QWidget* owner);
    QWidget* m_owner;
    bool m_dismissed = false;
};

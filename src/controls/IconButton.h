// A 32 x 32 button without text that shows an icon in colour while enabled
// and a grey version of the same icon, made from it once, while disabled.
// It draws transparently over its parent and carries a command identifier,
// sent with Pressed() when the user clicks it.
#pragma once

#include <QIcon>
#include <QToolButton>

class IconButton : public QToolButton {
    Q_OBJECT
public:
    IconButton(int commandId, QWidget* parent = nullptr);

    // Sets the colour icon and builds the grey one for the disabled state.
    void SetIcon(const QIcon& icon);
    int CommandId() const { return m_commandId; }

    // The grey version of an image: luminance kept, lightened, alpha kept.
    static QImage GreyImage(const QImage& image);

signals:
    void Pressed(int commandId);

private:
    int m_commandId;
};

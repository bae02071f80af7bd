#include "app/CTipDialog.h"

#include "controls/MessageBoxes.h"
#include "convert/PathParts.h"
#include "settings/TipsSettings.h"

#include <QCheckBox>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadialGradient>

#include <algorithm>
#include <optional>
#include <string>

namespace {

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The light bulb beside "Did you know...", 40 by 53 pixels.
QPixmap PaintBulb(qreal ratio) {
    QPixmap pixmap(QSize(40, 53) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    QRadialGradient glow(QPointF(17, 15), 18);
    glow.setColorAt(0, QColor(255, 255, 210));
    glow.setColorAt(0.6, QColor(255, 230, 90));
    glow.setColorAt(1, QColor(235, 185, 30));
    QPainterPath glass;
    glass.addEllipse(QRectF(6, 3, 28, 28));
    QPainterPath neck;
    neck.moveTo(12, 26);
    neck.cubicTo(14, 31, 14, 33, 14.5, 37);
    neck.lineTo(25.5, 37);
    neck.cubicTo(26, 33, 26, 31, 28, 26);
    neck.closeSubpath();
    painter.setPen(QPen(QColor(150, 110, 0), 1.2));
    painter.setBrush(glow);
    painter.drawPath(glass.united(neck));

    painter.setPen(QPen(QColor(190, 140, 20), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(QPointF(17, 37), QPointF(18, 27));
    painter.drawLine(QPointF(23, 37), QPointF(22, 27));
    painter.drawArc(QRectF(17, 24, 5, 5), 0, 180 * 16);

    painter.setPen(QPen(QColor(90, 90, 90), 1));
    for (int i = 0; i < 3; ++i) {
        painter.setBrush(i % 2 ? QColor(150, 150, 150) : QColor(195, 195, 195));
        painter.drawRoundedRect(QRectF(14, 37.5 + i * 3.5, 12, 3.5), 1.2, 1.2);
    }
    painter.setBrush(QColor(70, 70, 70));
    painter.drawEllipse(QRectF(17, 47.5, 6, 3.5));
    return pixmap;
}

} // namespace

CTipDialog::CTipDialog(const QString& settingsPath, const QString& tipsPath, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_settingsPath(settingsPath) {
    setWindowTitle(tr("Tip of the Day"));
    const std::string settings = LocalPath(settingsPath);
    const talvore::TipsSettings stored = talvore::LoadTipsSettings(settings);
    m_showAtStartup = stored.TipOfDay != 0 ? 1 : 0;

    if (!m_tips.Open(LocalPath(tipsPath))) {
        m_tipText = NoTipsFileText();
    } else {
        const std::optional<std::time_t> created = talvore::FileCreationTime(m_tips.Descriptor());
        const std::string stamp = created ? talvore::TimeStampText(*created) : std::string();
        int64_t start = stored.FilePos;
        if (stamp != stored.TimeStamp) {
            talvore::SaveTipsTimeStamp(settings, stamp); // failures are silent
            start = 0;
        }
        if (!m_tips.Seek(start))
            talvore::ShowMessage(parent, TroubleReadingText(), talvore::MessageIcon::Error);
        else
            ReadNextTip();
    }

    // Dialog units of the dialog's own font, as the resource lays it out.
    resize(DialogUnits(0, 0, 231, 164).size());
    setFixedSize(size());
    m_frameRect = DialogUnits(12, 11, 207, 123);
    m_pictureRect = DialogUnits(20, 17, 190, 111);

    m_tipLabel = new QLabel(this);
    m_tipLabel->setObjectName(QStringLiteral("tipText"));
    m_tipLabel->setGeometry(DialogUnits(28, 63, 177, 60));
    m_tipLabel->setWordWrap(true);
    m_tipLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_tipLabel->setTextFormat(Qt::PlainText);
    m_tipLabel->setAutoFillBackground(true);
    QPalette white = m_tipLabel->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    m_tipLabel->setPalette(white);

    m_startup = new QCheckBox(tr("&Show Tips on StartUp"), this);
    m_startup->setGeometry(DialogUnits(13, 146, 85, 10));
    m_next = new QPushButton(tr("&Next Tip"), this);
    m_next->setGeometry(DialogUnits(109, 143, 50, 14));
    m_next->setAutoDefault(false);
    m_close = new QPushButton(tr("&Close"), this);
    m_close->setGeometry(DialogUnits(168, 143, 50, 14));
    m_close->setDefault(true);
    // The check box's label is wider than its box in some fonts.
    const int needed = m_startup->sizeHint().width();
    if (m_startup->width() < needed)
        m_startup->resize(std::min(needed, m_next->x() - m_startup->x() - 4), m_startup->height());

    m_startup->setChecked(m_showAtStartup == 1);
    m_next->setEnabled(m_tips.IsOpen() && !m_readingEnded);
    ShowTip();

    connect(m_next, &QPushButton::clicked, this, &CTipDialog::OnNextTip);
    connect(m_startup, &QCheckBox::clicked, this, &CTipDialog::OnStartupClicked);
    connect(m_close, &QPushButton::clicked, this, &CTipDialog::OnClose);
    m_close->setFocus();
}

CTipDialog::~CTipDialog() {
    if (!m_tips.IsOpen())
        return;
    if (const std::optional<int64_t> offset = m_tips.Position())
        talvore::SaveTipsFilePos(LocalPath(m_settingsPath), *offset);
}

bool CTipDialog::ShowAtStartup(const QString& settingsPath) {
    return talvore::LoadTipsSettings(LocalPath(settingsPath)).TipOfDay != 0;
}

QString CTipDialog::DidYouKnowText() {
    return tr("Did you know...");
}

QString CTipDialog::NoTipsFileText() {
    return tr("Tips file does not exist in the prescribed directory");
}

QString CTipDialog::TroubleReadingText() {
    return tr("Trouble reading the tips file");
}

QString CTipDialog::NoTipsText() {
    return tr("The tips file holds no tips.");
}

void CTipDialog::ReadNextTip() {
    if (!m_tips.IsOpen() || m_readingEnded)
        return;
    std::string tip;
    switch (m_tips.ReadNext(tip)) {
    case talvore::TipsFile::Read::Tip:
        m_tipText = QString::fromUtf8(tip.data(), static_cast<qsizetype>(tip.size()));
        break;
    case talvore::TipsFile::Read::NoTip:
        m_readingEnded = true;
        m_tipText = NoTipsText();
        break;
    case talvore::TipsFile::Read::RewindFailed:
        talvore::ShowMessage(this, TroubleReadingText(), talvore::MessageIcon::Error);
        m_readingEnded = true;
        m_tipText = TroubleReadingText();
        break;
    }
}

void CTipDialog::ShowTip() {
    QString shown = m_tipText;
    while (shown.endsWith(u'\n') || shown.endsWith(u'\r'))
        shown.chop(1);
    m_tipLabel->setText(shown);
}

void CTipDialog::OnNextTip() {
    ReadNextTip();
    ShowTip();
    if (m_readingEnded)
        m_next->setEnabled(false);
}

void CTipDialog::OnStartupClicked() {
    m_showAtStartup = m_showAtStartup == 0 ? 1 : 0;
}

void CTipDialog::OnClose() {
    talvore::SaveTipOfDay(LocalPath(m_settingsPath), m_showAtStartup);
    m_startup->setChecked(m_showAtStartup == 1);
    accept();
}

QRect CTipDialog::DialogUnits(int x, int y, int width, int height) const {
    // The base units as dialog templates define them: the average width of
    // the 52 letters and the font's height.
    const QFontMetrics metrics(font());
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int baseX = std::max(1, (letters / 26 + 1) / 2);
    const int baseY = std::max(1, metrics.height());
    auto horizontal = [baseX](int units) { return (units * baseX + 2) / 4; };
    auto vertical = [baseY](int units) { return (units * baseY + 4) / 8; };
    return QRect(horizontal(x), vertical(y), horizontal(width), vertical(height));
}

void CTipDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.drawRect(m_frameRect.adjusted(0, 0, -1, -1));
    painter.fillRect(m_pictureRect, Qt::white);

    if (m_bulb.isNull() || !qFuzzyCompare(m_bulb.devicePixelRatio(), devicePixelRatioF()))
        m_bulb = PaintBulb(devicePixelRatioF());
    const QSize bulb = m_bulb.deviceIndependentSize().toSize();
    painter.drawPixmap(m_pictureRect.topLeft(), m_bulb);

    QRect band(m_pictureRect.left() + bulb.width(), m_pictureRect.top(),
               m_pictureRect.width() - bulb.width(), bulb.height());
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(band.adjusted(6, 0, 0, 0),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, DidYouKnowText());
}

#include "app/CTipDialog.h"

#include "controls/MessageBoxes.h"

#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <QCheckBox>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadialGradient>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const TipsSection = "Tips";

// A present key reads like the profile functions read it: leading blanks,
// an optional sign, decimal digits; nothing numeric reads 0.
long long ProfileNumber(const char* text) {
    while (*text == ' ' || *text == '\t')
        ++text;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    return end == text ? 0 : value;
}

bool LoadIni(CSimpleIniA& ini, const std::string& path) {
    ini.SetSpaces(false);
    return ini.LoadFile(path.c_str()) >= 0;
}

long long ReadProfileNumber(const std::string& path, const char* key, long long fallback) {
    CSimpleIniA ini;
    if (!LoadIni(ini, path))
        return fallback;
    const char* value = ini.GetValue(TipsSection, key, nullptr);
    return value ? ProfileNumber(value) : fallback;
}

std::string ReadProfileText(const std::string& path, const char* key) {
    CSimpleIniA ini;
    if (!LoadIni(ini, path))
        return {};
    const char* value = ini.GetValue(TipsSection, key, "");
    // The profile functions read into a buffer of 128 characters.
    return std::string(value).substr(0, 127);
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

// Sets one key of the "Tips" section and leaves every other section and key
// of the file as it was. Failures are ignored, as the profile functions'
// are; a file that exists but cannot be read is never replaced.
void WriteProfileText(const std::string& path, const char* key, const std::string& value) {
    CSimpleIniA ini;
    ini.SetSpaces(false);
    const SI_Error loaded = ini.LoadFile(path.c_str());
    if (loaded < 0 && !(loaded == SI_FILE && access(path.c_str(), F_OK) != 0))
        return;
    ini.SetValue(TipsSection, key, value.c_str());
    std::string text;
    if (ini.Save(text) < 0)
        return;
    // Beside the old file and renamed over it, so a full disk never leaves
    // a truncated settings file behind.
    const std::string temporary = path + ".tmp";
    if (WriteWholeFile(temporary, text) && std::rename(temporary.c_str(), path.c_str()) == 0)
        return;
    std::remove(temporary.c_str());
    WriteWholeFile(path, text);
}

// The file's creation time: its birth time where the file system records
// one, else its last status change (as the file list reports it).
bool CreationTime(int fd, std::time_t& when) {
    struct statx info {};
    if (statx(fd, "", AT_EMPTY_PATH, STATX_BTIME | STATX_CTIME, &info) == 0) {
        // A birth time of 0 is what some file systems report for none.
        const bool hasBirth = (info.stx_mask & STATX_BTIME) != 0 && info.stx_btime.tv_sec != 0;
        when = hasBirth ? info.stx_btime.tv_sec : info.stx_ctime.tv_sec;
        return true;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0)
        return false;
    when = status.st_ctime;
    return true;
}

// ctime's fixed form without its line end: "Wed Jun 30 21:49:08 1993".
std::string TimeStampText(std::time_t when) {
    char text[64] = {};
    if (!ctime_r(&when, text))
        return {};
    std::string stamp(text);
    while (!stamp.empty() && (stamp.back() == '\n' || stamp.back() == '\r' || stamp.back() == ' ' ||
                              stamp.back() == '\t'))
        stamp.pop_back();
    return stamp;
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
    setWindowTitle(QStringLiteral("Tip of the Day"));
    const std::string settings = QFile::encodeName(settingsPath).toStdString();

    m_showAtStartup = ReadProfileNumber(settings, "TipOfDay", 1) != 0 ? 1 : 0;
    const long long position = ReadProfileNumber(settings, "FilePos", 0);

    m_tips = std::fopen(QFile::encodeName(tipsPath).constData(), "r");
    if (!m_tips) {
        m_tipText = NoTipsFileText();
    } else {
        std::time_t created = 0;
        const std::string stamp =
            CreationTime(fileno(m_tips), created) ? TimeStampText(created) : std::string();
        long long start = position;
        if (stamp != ReadProfileText(settings, "TimeStamp")) {
            WriteProfileText(settings, "TimeStamp", stamp);
            start = 0;
        }
        if (start < 0 || start > LONG_MAX ||
            std::fseek(m_tips, static_cast<long>(start), SEEK_SET) != 0)
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

    m_startup = new QCheckBox(QStringLiteral("&Show Tips on StartUp"), this);
    m_startup->setGeometry(DialogUnits(13, 146, 85, 10));
    m_next = new QPushButton(QStringLiteral("&Next Tip"), this);
    m_next->setGeometry(DialogUnits(109, 143, 50, 14));
    m_next->setAutoDefault(false);
    m_close = new QPushButton(QStringLiteral("&Close"), this);
    m_close->setGeometry(DialogUnits(168, 143, 50, 14));
    m_close->setDefault(true);
    // The check box's label is wider than its box in some fonts.
    const int needed = m_startup->sizeHint().width();
    if (m_startup->width() < needed)
        m_startup->resize(std::min(needed, m_next->x() - m_startup->x() - 4), m_startup->height());

    m_startup->setChecked(m_showAtStartup == 1);
    m_next->setEnabled(m_tips && !m_readingEnded);
    ShowTip();

    connect(m_next, &QPushButton::clicked, this, &CTipDialog::OnNextTip);
    connect(m_startup, &QCheckBox::clicked, this, &CTipDialog::OnStartupClicked);
    connect(m_close, &QPushButton::clicked, this, &CTipDialog::OnClose);
    m_close->setFocus();
}

CTipDialog::~CTipDialog() {
    if (!m_tips)
        return;
    const long offset = std::ftell(m_tips);
    if (offset >= 0)
        WriteProfileText(QFile::encodeName(m_settingsPath).toStdString(), "FilePos",
                         std::to_string(offset));
    std::fclose(m_tips);
}

bool CTipDialog::ShowAtStartup(const QString& settingsPath) {
    return ReadProfileNumber(QFile::encodeName(settingsPath).toStdString(), "TipOfDay", 1) != 0;
}

QString CTipDialog::DidYouKnowText() {
    return QStringLiteral("Did you know...");
}

QString CTipDialog::NoTipsFileText() {
    return QStringLiteral("Tips file does not exist in the prescribed directory");
}

QString CTipDialog::TroubleReadingText() {
    return QStringLiteral("Trouble reading the tips file");
}

QString CTipDialog::NoTipsText() {
    return QStringLiteral("The tips file holds no tips.");
}

void CTipDialog::ReadNextTip() {
    if (!m_tips || m_readingEnded)
        return;
    // One pass over the whole file at most: a file with no tip line, or one
    // that cannot be rewound, ends the reading instead of looping forever.
    bool rewound = false;
    char line[1000];
    for (;;) {
        if (!std::fgets(line, sizeof line, m_tips)) {
            if (rewound) {
                m_readingEnded = true;
                m_tipText = NoTipsText();
                return;
            }
            rewound = true;
            std::clearerr(m_tips);
            if (std::fseek(m_tips, 0, SEEK_SET) != 0) {
                talvore::ShowMessage(this, TroubleReadingText(), talvore::MessageIcon::Error);
                m_readingEnded = true;
                m_tipText = TroubleReadingText();
                return;
            }
            continue;
        }
        std::string text(line);
        // Text mode: a CRLF line end reads as a line break.
        if (text.size() >= 2 && text[text.size() - 2] == '\r' && text.back() == '\n')
            text.erase(text.size() - 2, 1);
        const char first = text.empty() ? '\n' : text.front();
        if (first == ' ' || first == '\t' || first == '\n' || first == ';')
            continue;
        m_tipText = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        return;
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
    WriteProfileText(QFile::encodeName(m_settingsPath).toStdString(), "TipOfDay",
                     std::to_string(m_showAtStartup));
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

#include "bench/FloorDialog.h"

#include "bench/ReadingSequence.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace bench {

namespace {

// Dialog units to pixels the way the console's window is laid out: the average width of
// "A".."Z","a".."z" and the cell height of the dialog font, 8 point on the screen's resolution.
struct Units
{
    int x, y;
};

QFont DialogFont()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int dpi = screen ? qRound(screen->logicalDotsPerInchY()) : 96;
    QFont font(QApplication::font().family());
    font.setPixelSize(std::max(1, (8 * dpi + 36) / 72));
    return font;
}

Units UnitsOf(const QFont& font)
{
    const QFontMetrics fm(font);
    const int width = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(width + 26) / 52, fm.height()};
}

int Scale(int v, int unit, int div) { return (v * unit + div / 2) / div; }

QRect Pixels(const Units& u, int x, int y, int cx, int cy)
{
    return QRect(Scale(x, u.x, 4), Scale(y, u.y, 8), Scale(cx, u.x, 4), Scale(cy, u.y, 8));
}

// The weight's big bold face: a 74-pixel cell, 26 pixels of average width.
QFont WeightFont()
{
    const QString face = QFontDatabase::hasFamily(QStringLiteral("Liberation Sans")) ? QStringLiteral("Liberation Sans")
                                                                                    : QApplication::font().family();
    QFont font(face);
    font.setBold(true);
    font.setPixelSize(74);
    font.setPixelSize(std::max(1, 74 * 74 / std::max(1, QFontMetrics(font).height())));
    const int natural = QFontMetrics(font).averageCharWidth();
    if (natural > 0)
        font.setStretch(std::clamp((26 * 100 + natural / 2) / natural, 1, 4000));
    return font;
}

QLabel* Label(QWidget* parent, const char* text, Qt::Alignment align, QFrame::Shape shape, QFrame::Shadow shadow)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(align);
    label->setWordWrap(!(align & Qt::AlignVCenter));
    label->setFrameStyle(shape | shadow);
    label->setLineWidth(1);
    return label;
}

QPushButton* Button(QWidget* parent, const char* text)
{
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

}

FloorDialog::FloorDialog()
{
    setWindowTitle(QStringLiteral("Floor"));
    setFont(DialogFont());
    setFixedSize(Pixels(UnitsOf(font()), 0, 0, 305, 186).size());
    BuildItems();
    connect(m_read, &QPushButton::clicked, this, [this] { ShowNextReading(); });
    connect(m_exit, &QPushButton::clicked, this, &QDialog::accept);
}

// The console's sixteen items, in its tab order and at its places (dialog units).
void FloorDialog::BuildItems()
{
    const Units u = UnitsOf(font());
    const auto place = [&](QWidget* w, int x, int y, int cx, int cy) { w->setGeometry(Pixels(u, x, y, cx, cy)); };
    const Qt::Alignment topLeft = Qt::AlignLeft | Qt::AlignTop, topCentre = Qt::AlignHCenter | Qt::AlignTop;

    place(m_exit = Button(this, "Exit"), 119, 165, 50, 14);
    place(new QLineEdit(this), 65, 118, 22, 14);
    place(Button(this, "Direct IO"), 7, 118, 50, 14);
    place(m_read = Button(this, "Read Weight"), 7, 67, 50, 14);
    m_weight = Label(this, "...", Qt::AlignCenter, QFrame::Panel, QFrame::Sunken);
    m_weight->setFont(WeightFont());
    place(m_weight, 69, 55, 150, 36);
    m_gauge = Label(this, "", topLeft, QFrame::Box, QFrame::Plain);
    QPalette black = m_gauge->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_gauge->setPalette(black);
    m_gauge->setAutoFillBackground(true);
    place(m_gauge, 226, 55, 45, 36);
    place(new QCheckBox(QStringLiteral("Loop"), this), 7, 91, 46, 16);
    place(Button(this, "Open"), 7, 9, 50, 14);
    place(Label(this, "", Qt::AlignLeft | Qt::AlignVCenter, QFrame::Panel, QFrame::Sunken), 69, 8, 169, 16);
    place(Button(this, "Close"), 248, 9, 50, 14);
    place(new QFrame(this), 13, 153, 19, 17);
    place(m_capacity = Label(this, "Static", topLeft, QFrame::NoFrame, QFrame::Plain), 71, 29, 161, 21);
    place(Label(this, "", topLeft, QFrame::NoFrame, QFrame::Plain), 99, 118, 99, 14);
    place(new QGroupBox(this), 203, 127, 95, 52);
    place(m_resultHex = Label(this, "-", topCentre, QFrame::NoFrame, QFrame::Plain), 209, 136, 80, 16);
    place(m_resultName = Label(this, "-", topCentre, QFrame::NoFrame, QFrame::Plain), 209, 159, 80, 16);
}

void FloorDialog::ShowNextReading()
{
    const Reading r = ReadingFor(++m_reads, 0);
    m_weight->setText(QString::asprintf("%.03f", double(r.weight) * 0.001));
    m_gauge->update();
    m_capacity->setText(QStringLiteral("Max Weight %1 Kg").arg(kCapacity / 1000));
    m_resultName->setText(QStringLiteral("OPOS_SUCCESS"));
    m_resultHex->setText(QString::asprintf("%08x", unsigned(r.result)));
}

}

#include "about.h"

#include "clicklabel.h"
#include "infostyle.h"
#include "twips.h"
#include "versiontext.h"
#include "xy.h"

#include <QApplication>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QShowEvent>

using namespace Qt::StringLiterals;
using Twips::toPixels;

namespace {

QPointer<about> s_about;

// Design rectangles in twips, inside their panel.
const QRect label4Design = toPixels(120, 120, 1995, 375);
const QRect label3Design = toPixels(2040, 120, 480, 405);
const QRect label9Design = toPixels(4200, 240, 840, 300);
const QRect label8Design = toPixels(5160, 240, 840, 300);
const QRect label7Design = toPixels(120, 720, 5460, 300);
const QRect label6Design = toPixels(120, 1080, 5730, 300);
const QRect label10Design = toPixels(3000, 1440, 720, 315);
const QRect label1Design = toPixels(1200, 1680, 2295, 690);
const QRect label2Design = toPixels(3600, 1920, 2430, 405);

QWidget *makePanel(QWidget *parent, const QString &name, QRect design)
{
    auto *panel = new QWidget(parent);
    panel->setObjectName(name);
    panel->setGeometry(design);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, Qt::white);
    panel->setPalette(palette);
    return panel;
}

void makeLine(QWidget *parent, const QString &name, int leftTwips, int rightTwips, int yTwips)
{
    auto *line = new QFrame(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(1);
    line->setGeometry(toPixels(leftTwips), toPixels(yTwips), toPixels(rightTwips - leftTwips), 1);
}

QLabel *makePicture(QWidget *parent, const QString &name, const QString &resource, QRect design)
{
    auto *picture = new QLabel(parent);
    picture->setObjectName(name);
    picture->setPixmap(QPixmap(resource));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setGeometry(design);
    return picture;
}

// A label of the information panel that sizes itself to its text.
QLabel *placeText(QLabel *label, const QString &text, const QColor &colour)
{
    label->setText(text);
    InfoStyle::setTextColour(label, colour);
    InfoStyle::fitToText(label, label->geometry());
    return label;
}

} // namespace

about *about::showAbout()
{
    if (!s_about)
        s_about = new about;
    s_about->show();
    s_about->raise();
    s_about->activateWindow();
    return s_about;
}

about::about(QWidget *parent)
    : QWidget(parent,
        Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
            | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(u"about"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"软件关于"_s);
    setWindowIcon(QIcon(u":/icons/kovalis.svg"_s));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setFixedSize(toPixels(6465), toPixels(4920));

    buildBanner();
    buildInformation();
}

void about::buildBanner()
{
    Picture1 = makePanel(this, u"Picture1"_s, toPixels(120, 120, 6375, 2175));
    makePicture(Picture1, u"Image1"_s, u":/pictures/about-banner.png"_s, toPixels(0, 0, 6540, 2055));
}

void about::buildInformation()
{
    Picture2 = makePanel(this, u"Picture2"_s, toPixels(120, 2400, 6375, 2655));
    const QColor highlight = QApplication::palette().color(QPalette::Highlight);
    const QColor pink(255, 128, 255);
    const QColor blue(0, 0, 255);

    placeText(
        InfoStyle::makeLabel(Picture2, u"Label4"_s, label4Design, 14.25), u"软件版本信息："_s, highlight);
    Label3 = placeText(InfoStyle::makeLabel(Picture2, u"Label3"_s, label3Design, 15), u"……"_s, pink);

    // 特别鸣谢 looks like a link but leads nowhere.
    auto *label9 = InfoStyle::makeLabel(Picture2, u"Label9"_s, label9Design, 10.5);
    label9->setFont(InfoStyle::textFont(10.5, true));
    placeText(label9, u"特别鸣谢"_s, blue);

    auto *label8 = new ClickLabel(Picture2);
    label8->setObjectName(u"Label8"_s);
    label8->setFont(InfoStyle::textFont(10.5, true));
    label8->setGeometry(label8Design);
    label8->setCursor(Qt::PointingHandCursor);
    placeText(label8, u"许可协议"_s, blue);
    connect(label8, &ClickLabel::clicked, this, [] { xy::showAgreement(); });

    makeLine(Picture2, u"Line2"_s, 120, 6120, 600);
    placeText(InfoStyle::makeLabel(Picture2, u"Label7"_s, label7Design, 10.5),
        u"官方网站：柯瓦软件工作室 http://www.kovalis.example.com"_s, Qt::black);
    placeText(InfoStyle::makeLabel(Picture2, u"Label6"_s, label6Design, 10.5),
        u"交流论坛：柯瓦用户论坛 http://bbs.kovalis.example.com"_s, Qt::black);
    makeLine(Picture2, u"Line3"_s, 120, 6120, 1440);

    makePicture(Picture2, u"Image4"_s, u":/pictures/about-mark.png"_s, toPixels(120, 1440, 945, 960));
    placeText(
        InfoStyle::makeLabel(Picture2, u"Label10"_s, label10Design, 12), u"实用版"_s, QColor(255, 0, 0));
    placeText(InfoStyle::makeLabel(Picture2, u"Label1"_s, label1Design, 26.25), u"柯浏览器"_s, highlight);
    placeText(InfoStyle::makeLabel(Picture2, u"Label2"_s, label2Design, 15), u"Kovalis"_s, pink);
    makeLine(Picture2, u"Line4"_s, 120, 6120, 2400);
}

void about::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
}

void about::Form_Load()
{
    Label3->setText(versionText(KOVALIS_VERSION_MAJOR, KOVALIS_VERSION_MINOR, KOVALIS_VERSION_REVISION));
    InfoStyle::fitToText(Label3, label3Design);
}

#include "xy.h"

#include "clicklabel.h"
#include "infostyle.h"
#include "twips.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QScreen>

using namespace Qt::StringLiterals;
using Twips::toPixels;

namespace {

QPointer<xy> s_xy;

const QRect labelbtDesign = toPixels(3120, 480, 1890, 420);
const QRect label8Design = toPixels(3960, 0, 5085, 510);

// Page heights and font sizes, page 1 first.
constexpr int pageHeights[xy::pageCount] = { 4455, 4455, 4455, 4575, 4575, 4575 };
constexpr qreal pagePoints[xy::pageCount] = { 11.25, 9, 8.25, 8.25, 8.25, 8.25 };

} // namespace

xy *xy::showAgreement()
{
    if (!s_xy) {
        s_xy = new xy;
        // Shown first so that the frame, which counts in the centring, is known.
        s_xy->show();
        s_xy->Form_Load();
    }
    s_xy->show();
    s_xy->raise();
    s_xy->activateWindow();
    return s_xy;
}

xy::xy(QWidget *parent)
    : QWidget(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
            | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(u"xy"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"重要须知"_s);
    setWindowIcon(QIcon(u":/icons/kovalis.svg"_s));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    setPalette(palette);
    setFont(InfoStyle::textFont(9));
    setFixedSize(toPixels(9060), toPixels(5640));

    auto *image1 = new QLabel(this);
    image1->setObjectName(u"Image1"_s);
    image1->setPixmap(QPixmap(u":/pictures/xy-background.png"_s));
    image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    image1->setGeometry(toPixels(0, 0, 9060, 5655));

    auto *labelbt = InfoStyle::makeLabel(this, u"Labelbt"_s, labelbtDesign, 15.75);
    labelbt->setText(u"用户许可协议"_s);
    InfoStyle::fitToText(labelbt, labelbtDesign);

    auto *label8 = InfoStyle::makeLabel(this, u"Label8"_s, label8Design, 9);
    label8->setText(u"Kovalis 的著作权及一切相关权利归柯瓦软件工作室所有。\n"
                    u"启动本程序，即视为您已阅读并接受本协议的全部条款。"_s);
    InfoStyle::fitToText(label8, label8Design);

    buildPages();
}

void xy::buildPages()
{
    for (int i = 0; i < pageCount; ++i) {
        auto *page = new ClickLabel(this);
        page->setObjectName(u"Label"_s + QString::number(i + 1));
        page->setFont(InfoStyle::textFont(pagePoints[i]));
        page->setGeometry(toPixels(240, 960, 8535, pageHeights[i]));
        page->setWordWrap(true);
        page->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        page->setTextFormat(Qt::PlainText);
        page->setText(InfoStyle::readText(u":/text/agreement-"_s + QString::number(i + 1) + u".txt"_s));
        page->setVisible(i == 0);
        const int number = i + 1;
        connect(page, &ClickLabel::clicked, this, [this, number] { turnPage(number); });
        m_pages.append(page);
    }
}

void xy::Form_Load()
{
    // Centred by the window's outer size.
    QScreen *screen = QGuiApplication::primaryScreen();
    if (screen)
        move(InfoStyle::centredTopLeft(screen->geometry(), frameGeometry().size()));
}

void xy::turnPage(int page)
{
    if (page != m_current)
        return;
    const int next = page % pageCount + 1;
    m_pages.at(next - 1)->setVisible(true);
    m_pages.at(page - 1)->setVisible(false);
    m_current = next;
}

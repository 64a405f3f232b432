#include "sessionkeeper.h"

#include "browser.h"
#include "failure.h"
#include "safefile.h"

#include <QChildEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace SessionFile {

namespace {

    const QByteArray kHeader = "[kovalis.pages]";

    // Tabs and line ends would break the line apart; other control characters are no use in a title.
    QString oneLine(const QString &text)
    {
        QString line = text;
        for (QChar &c : line) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                c = u' ';
        }
        return line;
    }

    bool isBlank(const QString &address)
    {
        return address.isEmpty() || address.compare(u"about:blank"_s, Qt::CaseInsensitive) == 0;
    }

} // namespace

QString fileName()
{
    return u"打开的网页.txt"_s;
}

bool reopenable(const QString &address)
{
    if (address.isEmpty() || address.size() > maxBytes || oneLine(address) != address)
        return false;
    const QUrl url(address);
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == u"http"_s || scheme == u"https"_s || scheme == u"file"_s || scheme == u"ftp"_s;
}

QByteArray compose(const Contents &contents)
{
    QByteArray bytes = kHeader + '\n' + QByteArray::number(contents.front) + '\n';
    for (const Page &page : contents.pages)
        bytes += page.address.toUtf8() + '\t' + oneLine(page.title).toUtf8() + '\n';
    return bytes;
}

ReadResult parse(const QByteArray &bytes)
{
    ReadResult result;
    const auto refuse = [&result] {
        result.error = u"它不是Kovalis的网页列表"_s;
        return result;
    };
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError() || text.contains(QChar(u'\0')))
        return refuse();
    QStringList lines = text.split(u'\n');
    for (QString &line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    if (lines.size() < 2 || lines.at(0) != QString::fromLatin1(kHeader))
        return refuse();
    bool numeric = false;
    const int front = lines.at(1).toInt(&numeric);
    if (!numeric)
        return refuse();
    int frontLine = -1; // the front page, counted among the lines that were pages
    int pageLines = 0;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (line.isEmpty())
            continue;
        const qsizetype tab = line.indexOf(u'\t');
        Page page { tab < 0 ? line : line.left(tab), tab < 0 ? QString() : line.mid(tab + 1) };
        if (!reopenable(page.address) || result.contents.pages.size() >= maxPages) {
            ++result.dropped;
            ++pageLines;
            continue;
        }
        if (pageLines == front)
            frontLine = int(result.contents.pages.size());
        ++pageLines;
        result.contents.pages.append(page);
    }
    result.contents.front = frontLine < 0 ? 0 : frontLine;
    return result;
}

ReadResult read(const QString &path)
{
    QByteArray bytes;
    QString error;
    if (!SafeFile::readRegular(path, maxBytes, &bytes, &error)) {
        ReadResult result;
        result.error = error;
        return result;
    }
    return parse(bytes);
}

} // namespace SessionFile

SessionKeeper::SessionKeeper(const QString &dataFolder, QObject *parent)
    : QObject(parent)
    , m_path(QDir(dataFolder).filePath(SessionFile::fileName()))
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(writeDelayMs);
    connect(m_timer, &QTimer::timeout, this, &SessionKeeper::writeNow);
}

SessionKeeper::~SessionKeeper()
{
    delete m_bar;
}

void SessionKeeper::watch(Browser *browser)
{
    connect(browser, &Browser::titleChanged, this, &SessionKeeper::noteChange);
    connect(browser, &Browser::loadFinished, this, &SessionKeeper::noteChange);
    connect(browser, &QObject::destroyed, this, &SessionKeeper::noteChange);
}

void SessionKeeper::noteChange()
{
    // Not restarted by later changes: a page that keeps changing its title is still written.
    if (m_keeping && !m_closed && !m_timer->isActive())
        m_timer->start();
}

void SessionKeeper::start(QWidget *pageArea)
{
    m_closed = false;
    if (QFileInfo::exists(m_path) || QFileInfo(m_path).isSymLink()) {
        const SessionFile::ReadResult last = SessionFile::read(m_path);
        if (!last.error.isEmpty()) {
            Q_EMIT message(u"上次打开的网页列表（%1）无法读取：%2。没有重新打开。"_s.arg(m_path, last.error));
        } else if (!last.contents.pages.isEmpty()) {
            m_offered = last.contents;
            // The file stays as it is until the question is answered, or the window closes normally.
            if (m_askUser)
                showBar(pageArea);
            return;
        }
    }
    m_keeping = true;
    noteChange();
}

void SessionKeeper::showBar(QWidget *pageArea)
{
    auto *bar = new QFrame(pageArea);
    bar->setObjectName(u"RestoreBar"_s);
    bar->setFrameShape(QFrame::StyledPanel);
    bar->setAutoFillBackground(true);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(8, 4, 8, 4);
    auto *text = new QLabel(
        u"Kovalis上次没有正常关闭。要重新打开那 %1 个网页吗？"_s.arg(m_offered.pages.size()), bar);
    layout->addWidget(text, 1);
    auto *yes = new QPushButton(u"重新打开"_s, bar);
    yes->setObjectName(u"RestoreYes"_s);
    auto *no = new QPushButton(u"不用"_s, bar);
    no->setObjectName(u"RestoreNo"_s);
    layout->addWidget(yes);
    layout->addWidget(no);
    connect(yes, &QPushButton::clicked, this, [this] { answer(true); });
    connect(no, &QPushButton::clicked, this, [this] { answer(false); });
    m_bar = bar;
    bar->setGeometry(0, 0, pageArea->width(), bar->sizeHint().height());
    bar->show();
    bar->raise();
    pageArea->installEventFilter(this);
}

bool SessionKeeper::eventFilter(QObject *watched, QEvent *event)
{
    if (m_bar && watched == m_bar->parentWidget()) {
        if (event->type() == QEvent::Resize)
            m_bar->setGeometry(0, 0, m_bar->parentWidget()->width(), m_bar->height());
        // A page made later is stacked above the bar; the bar goes back on top once it is in place.
        else if (event->type() == QEvent::ChildAdded
            && static_cast<QChildEvent *>(event)->child() != m_bar.data())
            QTimer::singleShot(0, m_bar.data(), &QWidget::raise);
    }
    return QObject::eventFilter(watched, event);
}

void SessionKeeper::answer(bool reopen)
{
    if (m_bar) {
        m_bar->parentWidget()->removeEventFilter(this);
        m_bar->hide();
        m_bar->deleteLater();
    }
    const SessionFile::Contents offered = std::exchange(m_offered, {});
    m_keeping = true;
    if (reopen && m_pages.open) {
        int failed = 0;
        int front = -1;
        for (int i = 0; i < offered.pages.size(); ++i) {
            try {
                m_pages.open(offered.pages.at(i).address);
                if (i == offered.front && m_pages.front)
                    front = m_pages.front();
            } catch (const Failure &) {
                ++failed;
            } catch (const std::exception &) {
                ++failed;
            }
        }
        if (front >= 0 && m_pages.select)
            m_pages.select(front);
        if (failed > 0)
            Q_EMIT message(u"有 %1 个网页没能重新打开。"_s.arg(failed));
    }
    noteChange();
}

void SessionKeeper::writeNow()
{
    if (!m_keeping || m_closed || !m_pages.list)
        return;
    SessionFile::Contents now;
    const QList<SessionFile::Page> all = m_pages.list();
    const int front = m_pages.front ? m_pages.front() : 0;
    for (int i = 0; i < all.size(); ++i) {
        const SessionFile::Page &page = all.at(i);
        if (SessionFile::isBlank(page.address) || !SessionFile::reopenable(page.address))
            continue;
        if (i == front)
            now.front = int(now.pages.size());
        now.pages.append(page);
    }
    if (now.pages.isEmpty()) {
        // Nothing worth offering next time, nor what an earlier run left.
        QFile::remove(m_path);
        m_written.clear();
        return;
    }
    const QByteArray bytes = SessionFile::compose(now);
    if (bytes == m_written)
        return;
    QString error;
    if (!SafeFile::write(m_path, bytes, &error)) {
        // Said once: the pages are still open, only the copy for a crash is missing.
        if (!m_reportedFailure)
            Q_EMIT message(u"无法保存打开的网页列表：%1"_s.arg(error));
        m_reportedFailure = true;
        return;
    }
    m_reportedFailure = false;
    m_written = bytes;
}

void SessionKeeper::closeNormally()
{
    m_closed = true;
    m_timer->stop();
    QFile::remove(m_path);
    m_written.clear();
}

#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class Browser;
class QTimer;
class QWidget;

// The open pages as a small file in the data folder, so they can be offered again after a crash,
// a power cut or a killed session. Nothing else of the program is kept.
//
// The file is UTF-8: the line "[kovalis.pages]", the position of the page in front, then one line
// per page, its address, a tab and its title, in tab order. Blank pages are left out.
namespace SessionFile {

struct Page
{
    QString address;
    QString title;
    bool operator==(const Page &other) const = default;
};

struct Contents
{
    QList<Page> pages;
    int front = 0; // a position in pages
};

struct ReadResult
{
    Contents contents;
    QString error; // the whole file refused: why
    int dropped = 0; // lines that were no page we would open, or beyond the limit
};

inline constexpr qint64 maxBytes = 4 * 1024 * 1024;
inline constexpr int maxPages = 500;

QString fileName();
QByteArray compose(const Contents &contents);
ReadResult parse(const QByteArray &bytes);
// Reads without blocking or reading more than maxBytes.
ReadResult read(const QString &path);
// The addresses a page is reopened with: web and file addresses only.
bool reopenable(const QString &address);

} // namespace SessionFile

// Keeps the session file in step with the open pages, a moment after they change, and at start-up
// offers the pages of a run that did not end normally.
class SessionKeeper final : public QObject
{
    Q_OBJECT

public:
    // What the keeper sees of the pages, and the two things it does with them.
    struct Pages
    {
        std::function<QList<SessionFile::Page>()> list; // in tab order
        std::function<int()> front; // position in that list
        std::function<void(const QString &address)> open; // a new page, made as NewP makes it
        std::function<void(int position)> select;
    };

    // How long after a change the file is written; changes in between are written together.
    static constexpr int writeDelayMs = 1000;

    SessionKeeper(const QString &dataFolder, QObject *parent = nullptr);
    ~SessionKeeper() override;

    void setPages(Pages pages) { m_pages = std::move(pages); }
    // With nobody at the screen the offer is answered no, and the file is kept until a normal close.
    void setAskUser(bool ask) { m_askUser = ask; }
    QString path() const { return m_path; }

    // Every event of the browser that may change its address or title counts as a change.
    void watch(Browser *browser);
    void noteChange();

    // At start-up, once the first page is open. The question is a bar over the top of pageArea.
    void start(QWidget *pageArea);
    // The answer to the question: reopen the pages of last time, or forget them.
    void answer(bool reopen);
    // The window closes normally: nothing is left to offer next time.
    void closeNormally();

    // How many pages are being offered (0 when there is no open question).
    int offered() const { return m_offered.pages.size(); }

Q_SIGNALS:
    // Something the user should read in the status bar.
    void message(const QString &text);

private:
    void writeNow();
    void showBar(QWidget *pageArea);
    bool eventFilter(QObject *watched, QEvent *event) override;

    QString m_path;
    Pages m_pages;
    bool m_askUser = true;
    bool m_keeping = false; // the file holds this run's pages
    bool m_closed = false;
    bool m_reportedFailure = false;
    QByteArray m_written; // what the file holds; empty when there is none
    QTimer *m_timer = nullptr;
    SessionFile::Contents m_offered;
    QPointer<QWidget> m_bar;
};

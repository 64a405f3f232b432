#pragma once

#include <QList>
#include <QWidget>

class ClickLabel;
class QLabel;

// The licence agreement: six pages turned by clicking on the text. At most one exists; it has
// no owner, so it outlives the about window that opened it, and deletes itself on close.
class xy final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int pageCount = 6;

    // Shows the one agreement window; a window already open comes to the front on its page.
    static xy *showAgreement();

    explicit xy(QWidget *parent = nullptr);

    // 1-based number of the page in view.
    int currentPage() const { return m_current; }

private:
    void buildPages();
    void Form_Load();
    void turnPage(int page);

    QList<ClickLabel *> m_pages;
    int m_current = 1;
};

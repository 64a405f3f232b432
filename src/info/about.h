#pragma once

#include <QWidget>

class QLabel;
class QShowEvent;

// The about window: product name, edition, version, the maker's site and forum, and the
// link to the licence agreement. At most one exists; it has no owner and deletes itself on close.
class about final : public QWidget
{
    Q_OBJECT

public:
    // Shows the one about window, making it on first use, and brings it to the front.
    static about *showAbout();

    explicit about(QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildBanner();
    void buildInformation();
    void Form_Load();

    QWidget *Picture1 = nullptr;
    QWidget *Picture2 = nullptr;
    QLabel *Label3 = nullptr;
    bool m_loaded = false;
};
